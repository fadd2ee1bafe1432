#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/instrument/SessionWorker.h"
#include "core/meterconfig/ApplySettings.h"
#include "core/meterconfig/DeviceSettingsModel.h"
#include "core/meterconfig/SettingsCatalogue.h"
#include "sim/SimMeter.h"
#include "sim/SimSession.h"
#include "support/MainWindowBench.h"
#include "support/ScriptedPrompter.h"
#include "support/TestSupport.h"

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

// The Device Settings model over rigs, each meter on a session thread of its own.
class DeviceSettingsRig {
 public:
  MeterRig& Add(const std::string& model, const std::vector<const char*>& setup = {}, double capMaxRange = 0) {
    rigs_.push_back(std::make_unique<MeterRig>(model, capMaxRange));
    rigs_.back()->Setup(setup);
    workers_.push_back(std::make_unique<SessionWorker>(rigs_.back()->Open()));
    return *rigs_.back();
  }
  // The meters as the main window hands them over.
  void HandOver() {
    DeviceHandOver h;
    for (std::size_t i = 0; i < rigs_.size(); ++i) {
      HandedDevice d;
      d.worker = workers_[i].get();
      d.resource = rigs_[i]->meter->Resource();
      d.identification = rigs_[i]->meter->Identification();
      d.slot = static_cast<int>(i);
      h.devices.push_back(d);
    }
    h.deviceCount = static_cast<int>(rigs_.size());
    model.HandOverDevices(h);
  }
  void Open(int first = 0) {
    HandOver();
    model.OpenDialog(first);
    Wait();
  }
  void Wait() {
    ASSERT_TRUE(RunUntil([this] { return !model.Busy(); }));
  }
  const DeviceSettingsViewState& View() const { return model.View(); }
  // Chooses an entry of a box by its text, as the user would.
  static int Find(const ChoiceBoxState& box, const char* text) { return static_cast<int>(box.items.indexOf(text)); }
  void Function(const char* label) {
    model.OnFunctionSelected(static_cast<int>(View().functions.indexOf(label)));
    Wait();
  }
  void Second(const char* label) {
    model.OnSecondFunctionSelected(Find(View().secondFunction, label));
    Wait();
  }

  ScriptedPrompter prompter;

 private:
  std::vector<std::unique_ptr<MeterRig>> rigs_;
  std::vector<std::unique_ptr<SessionWorker>> workers_;

 public:
  DeviceSettingsModel model{prompter};
};

}  // namespace merilog::test
