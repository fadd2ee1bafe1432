#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

#include "core/instrument/DeviceListModel.h"
#include "core/instrument/ResourceManager.h"
#include "core/readingconfig/ReadingSettingsModel.h"
#include "sim/SimBackend.h"
#include "sim/SimBench.h"
#include "support/MainWindowBench.h"
#include "support/ScriptedPrompter.h"
#include "support/SlowBackend.h"
#include "support/TestSupport.h"

namespace merilog::test {

// Discovery lists USB before GPIB: slot 0 is a 6081, slot 1 a 6082, slots 2 to 4 are 6081s on GPIB.
inline const char* const kReadingMeters[][2] = {
    {"USB0::0x3A7D::0x6081::SN01::INSTR", "6081"},
    {"USB0::0x3A7D::0x6082::SN02::INSTR", "6082"},
    {"GPIB0::16::INSTR", "6081"},
    {"GPIB0::17::INSTR", "6081"},
    {"GPIB0::18::INSTR", "6081"},
};

// The Reading Settings model over discovered simulated meters, its record folder a temporary one.
struct ReadingRig {
  std::shared_ptr<sim::SimBench> bench = std::make_shared<sim::SimBench>();
  std::shared_ptr<WireLog> wireLog = std::make_shared<WireLog>();
  // Holds a meter in the middle of its answer when the test asks.
  std::shared_ptr<Latency> latency = std::make_shared<Latency>();
  WireLog& wire = *wireLog;
  ResourceManager rm;
  std::unique_ptr<DeviceListModel> devices;
  ScriptedPrompter prompter;
  TempFolder records;
  std::unique_ptr<ReadingSettingsModel> model;

  explicit ReadingRig(int meters, bool folderFound = true) {
    rm.AddBackend(std::make_unique<RecordingBackend>(
        std::make_unique<SlowBackend>(std::make_unique<sim::SimBackend>(bench), latency), wireLog));
    for (int i = 0; i < meters; ++i)
      EXPECT_NE(bench->Add({.resource = kReadingMeters[i][0], .model = kReadingMeters[i][1]}), nullptr);
    devices = std::make_unique<DeviceListModel>(rm, std::vector<std::string>{});
    devices->Discover();
    EXPECT_TRUE(RunUntil([this] { return !devices->Discovering(); }));
    const QString folder = records.Path();
    model = std::make_unique<ReadingSettingsModel>(prompter, [folder, folderFound](Prompter&) {
      return folderFound ? std::optional<QString>(folder) : std::nullopt;
    });
    model->HandOverDevices(HandOverTo(HandOverDialog::ReadingSettings, devices->Devices()));
  }
  ReadingSettings& S() { return model->Settings(); }
  // Stepping asks the meter its name on the meter's thread: wait for the answer.
  void Step(void (ReadingSettingsModel::*step)()) {
    (model.get()->*step)();
    EXPECT_TRUE(RunUntil([this] { return !model->Busy(); }));
  }
  void Next() { Step(&ReadingSettingsModel::Next); }
  void Previous() { Step(&ReadingSettingsModel::Previous); }
  const ReadingSettingsViewState& V() { return model->View(); }
  void OpenIn(int mode) {
    S().mode = mode;
    model->Opening();
  }
  void Select(std::vector<int> lines) {
    model->DeviceListSelectionChanged(std::move(lines));
    model->Select();
  }
  // Multi-device mode with the given lines chosen.
  void ChooseMeters(std::vector<int> lines) {
    OpenIn(kMultiDeviceMode);
    Select(std::move(lines));
  }
  std::vector<QString> Shown() const {
    std::vector<QString> texts;
    for (const auto& s : prompter.shown) texts.push_back(s.text);
    return texts;
  }
};

}  // namespace merilog::test
