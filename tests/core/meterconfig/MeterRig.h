#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/meterconfig/ApplySettings.h"
#include "core/meterconfig/SettingsCatalogue.h"
#include "sim/SimMeter.h"
#include "sim/SimSession.h"
#include "support/MainWindowBench.h"

namespace merilog::test {

// The expected writes, one per line of `sent`.
inline std::vector<std::string> Writes(std::string_view sent) {
  std::vector<std::string> out;
  std::size_t at = 0;
  for (std::size_t end; (end = sent.find('\n', at)) != std::string_view::npos; at = end + 1)
    out.emplace_back(sent.substr(at, end + 1 - at));
  if (at < sent.size()) out.emplace_back(sent.substr(at));  // a last line without its end, which no write matches
  return out;
}

// A simulated meter whose sessions record every command written to them.
class MeterRig {
 public:
  explicit MeterRig(const std::string& model, double capMaxRange = 0) {
    sim::SimMeterDescription description;
    description.resource = "USB0::0x3A7D::0x" + model + "::SN7::INSTR";
    description.model = model;
    description.overloadEvery = 0;
    description.capMaxRange = capMaxRange;
    meter = std::make_shared<sim::SimMeter>(description, nullptr);
  }
  // A session of its own over the meter, for a procedure or a worker.
  std::unique_ptr<Session> Open() {
    return std::make_unique<RecordingSession>(std::make_unique<sim::SimSession>(meter, meter->Resource()), wire);
  }
  // Runs commands on the meter directly, unrecorded.
  void Setup(const std::vector<const char*>& commands) {
    for (const char* c : commands) meter->Execute(c);
  }
  SettingsModel Model() const {
    return meter->Description().model == "6082" ? SettingsModel::Dual : SettingsModel::Basic;
  }
  // Set's request as the dialog builds it; a dual meter with the 10 mF range works with list C.
  ApplyRequest Request(int function, int range, int second) const {
    ApplyRequest r;
    r.model = Model();
    r.capacitanceTo10mF = r.model == SettingsModel::Dual && meter->Description().capMaxRange == 0;
    r.function = function;
    r.primaryLabel = SettingsEntry(function).label;
    r.range = range;
    r.second = second;
    return r;
  }
  std::vector<std::string> Sent() const { return wire->To(meter->Resource()); }
  void ClearSent() {
    std::lock_guard lock(wire->mutex);
    wire->writes.clear();
  }

  std::shared_ptr<sim::SimMeter> meter;
  std::shared_ptr<WireLog> wire = std::make_shared<WireLog>();
};

}  // namespace merilog::test
