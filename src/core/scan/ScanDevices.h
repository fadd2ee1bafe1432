#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/base/WorkerThread.h"
#include "core/instrument/SessionWorker.h"

namespace merilog {

class ResourceManager;

// USB instruments of any maker, and every GPIB instrument.
inline constexpr char kScanUsbSearchPattern[] = "USB[0-9]::?*INSTR";
inline constexpr char kScanGpibSearchPattern[] = "GPIB[0-9]?*INSTR";

struct ScanDevice {
  std::unique_ptr<SessionWorker> worker;  // every exchange with the meter runs on it
  std::string resource;
  std::string identification;
  std::string displayName;
};

// The scan dialog's own meters: it searches for them itself and owns their
// sessions, each on a thread of its own, until it closes them. The search
// never holds the window: finding and opening run on a search thread, and
// every candidate (USB, then GPIB, then the LAN instruments the program was
// told of) is identified on its own session thread at the same time;
// the scanner-capable ones are listed in search order once all have answered.
class ScanDevices {
 public:
  // LAN instruments are searched after the buses, in the order given.
  ScanDevices(ResourceManager& rm, std::vector<std::string> lanResources)
      : rm_(rm), lanResources_(std::move(lanResources)) {}
  ~ScanDevices() { Close(); }
  ScanDevices(const ScanDevices&) = delete;
  ScanDevices& operator=(const ScanDevices&) = delete;

  // Closes the meters of an earlier search and searches again; `done` runs
  // here when the list is complete.
  void Search(std::function<void()> done);
  bool Searching() const { return searching_; }

  int Count() const { return static_cast<int>(devices_.size()); }
  // Null outside the list.
  const ScanDevice* Device(int line) const;
  SessionWorker* Worker(int line) const;

  // Closes every session (on its own thread: a silent meter is waited for by
  // nobody) and forgets a search under way.
  void Close();

 private:
  struct Candidate {
    std::string resource;
    std::unique_ptr<Session> session;
  };
  void Identify(std::vector<Candidate> candidates, std::function<void()> done);

  ResourceManager& rm_;
  std::vector<std::string> lanResources_;
  std::unique_ptr<WorkerThread> searchThread_;
  std::vector<ScanDevice> candidates_;
  std::vector<ScanDevice> devices_;
  bool searching_ = false;
  std::unique_ptr<CallbackGuard> guard_ = std::make_unique<CallbackGuard>();
};

}  // namespace merilog
