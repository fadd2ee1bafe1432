#pragma once
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/base/Clock.h"
#include "sim/SimMeter.h"
#include "sim/SimMeterDescription.h"

namespace merilog::sim {

// The simulated instruments on the buses, in the order the buses list them.
// Shared by the sim backend and its sessions: listed and opened from the
// session threads, so the table is locked; each meter is used by one session
// thread at a time.
class SimBench {
 public:
  explicit SimBench(std::shared_ptr<const Clock> clock = nullptr);
  SimBench(const SimBench&) = delete;
  SimBench& operator=(const SimBench&) = delete;

  // Two USB meters of vendor 0x3A7D (a 6081 and a dual 6082) with an unsupported
  // instrument of the same vendor between them, a 6081 at GPIB0::16::INSTR, and
  // a scanner-capable P7700A with a 20-channel card on USB under another vendor id.
  static std::shared_ptr<SimBench> Default(std::shared_ptr<const Clock> clock = nullptr);
  // A bench description file (see data/bench-example.ini). Null with a message naming
  // the file and line when it cannot be used.
  static std::shared_ptr<SimBench> LoadFile(const std::string& path, std::string* error,
                                            std::shared_ptr<const Clock> clock = nullptr);
  // The same from text; origin names it in messages.
  static std::shared_ptr<SimBench> LoadText(const std::string& text, const std::string& origin, std::string* error,
                                            std::shared_ptr<const Clock> clock = nullptr);

  // Puts a meter on the bench. Null with a message for an unknown model, a malformed
  // or duplicate resource, or setup commands the meter rejects.
  SimMeter* Add(const SimMeterDescription& desc, std::string* error = nullptr);
  // By resource string, compared case-insensitively; null if absent.
  SimMeter* Meter(const std::string& resource) const;
  // With `name`, the meter's resource as the bench spells it, read under the
  // bench's lock (a meter may be plugged back under another name meanwhile).
  std::shared_ptr<SimMeter> SharedMeter(const std::string& resource, std::string* name = nullptr) const;
  std::vector<std::shared_ptr<SimMeter>> Meters() const;

  // Resources of the meters now on the bus, in bench order.
  std::vector<std::string> Resources() const;
  // Unplug and plug back: a dropped meter is not listed and its sessions report
  // a lost connection; plugged back, it is listed and opens again.
  bool DropMeter(const std::string& resource);
  bool ReattachMeter(const std::string& resource);
  // Plugged back under another resource (a USB meter on another device node);
  // false when the new name is taken or malformed.
  bool ReattachMeter(const std::string& resource, const std::string& newResource);
  // Takes the meter off the bench for good.
  bool RemoveMeter(const std::string& resource);

  const std::shared_ptr<const Clock>& ClockSource() const { return clock_; }

 private:
  std::shared_ptr<const Clock> clock_;
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<SimMeter>> meters_;
};

// True for the resource forms the bench accepts: USB<b>::0x<vid>::0x<pid>::<serial>::INSTR,
// GPIB<b>::<address>::INSTR and the LAN forms (TCPIP<b>::<host>::<port>::SOCKET,
// TCPIP<b>::<host>[::inst0]::INSTR, TCPIP<b>::<host>::hislip0[,port]::INSTR), at most
// kMaxSimResourceLength characters.
constexpr std::size_t kMaxSimResourceLength = 1024;
bool IsSimResourceName(const std::string& resource);

}  // namespace merilog::sim
