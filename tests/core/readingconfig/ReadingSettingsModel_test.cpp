#include "core/readingconfig/ReadingSettingsModel.h"

#include <gtest/gtest.h>

#include "core/base/MessageTable.h"
#include "core/instrument/DeviceListModel.h"
#include "core/instrument/ResourceManager.h"
#include "sim/SimBackend.h"
#include "sim/SimBench.h"
#include "support/MainWindowBench.h"
#include "support/ScriptedPrompter.h"
#include "support/TestSupport.h"

using namespace merilog;
using merilog::test::ScriptedPrompter;

namespace {

const QString kNoRecord = QStringLiteral("Please select a record.");
const QString kDuplicate = QStringLiteral("The record has been selected, please select a different record.");

// Discovery lists USB before GPIB: slot 0 is a 6081, slot 1 a 6082, slots 2 to 4 are 6081s on GPIB.
const char* const kMeters[][2] = {
    {"USB0::0x3A7D::0x6081::SN01::INSTR", "6081"},
    {"USB0::0x3A7D::0x6082::SN02::INSTR", "6082"},
    {"GPIB0::16::INSTR", "6081"},
    {"GPIB0::17::INSTR", "6081"},
    {"GPIB0::18::INSTR", "6081"},
};

struct Fixture {
  std::shared_ptr<sim::SimBench> bench = std::make_shared<sim::SimBench>();
  std::shared_ptr<test::WireLog> wireLog = std::make_shared<test::WireLog>();
  test::WireLog& wire = *wireLog;
  ResourceManager rm;
  std::unique_ptr<DeviceListModel> devices;
  ScriptedPrompter prompter;
  test::TempFolder records;
  std::unique_ptr<ReadingSettingsModel> model;

  explicit Fixture(int meters, bool folderFound = true) {
    rm.AddBackend(std::make_unique<test::RecordingBackend>(std::make_unique<sim::SimBackend>(bench), wireLog));
    for (int i = 0; i < meters; ++i)
      EXPECT_NE(bench->Add({.resource = kMeters[i][0], .model = kMeters[i][1]}), nullptr);
    devices = std::make_unique<DeviceListModel>(rm, std::vector<std::string>{});
    devices->Discover();
    EXPECT_TRUE(test::RunUntil([this] { return !devices->Discovering(); }));
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
    EXPECT_TRUE(test::RunUntil([this] { return !model->Busy(); }));
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

}  // namespace

TEST(ReadingSettingsModel, RadiosFollowTheNumberOfMetersFound) {
  Fixture none(0);
  none.OpenIn(kSingleDeviceMode);
  EXPECT_FALSE(none.V().singleRadio.enabled || none.V().multiRadio.enabled || none.V().singleSaveBox.enabled);

  Fixture one(1);
  one.OpenIn(kMultiDeviceMode);  // one meter cannot run in multi-device mode
  EXPECT_TRUE(one.V().singleRadio.enabled);
  EXPECT_FALSE(one.V().multiRadio.enabled);
  EXPECT_EQ(one.S().mode, kSingleDeviceMode);
  EXPECT_TRUE(one.V().singleGroup.shown);
  EXPECT_FALSE(one.V().multiGroup.shown);

  Fixture two(2);
  two.OpenIn(kSingleDeviceMode);
  EXPECT_TRUE(two.V().multiRadio.enabled && two.V().singleSaveBox.enabled);
  EXPECT_EQ(two.V().singleRecords.entries.size(), 10);
  EXPECT_EQ(two.V().singleRecords.selected, -1);
  EXPECT_EQ(two.V().singleRecords.placeholder, kNoRecord);
  EXPECT_FALSE(two.V().singleRecords.control.enabled);
}

TEST(ReadingSettingsModel, SelectStoresMetersInListOrderStepsThroughThemAndRefusesTooManyOrTooFew) {
  Fixture f(5);
  f.OpenIn(kMultiDeviceMode);
  EXPECT_FALSE(f.V().okButton.enabled);
  ASSERT_EQ(f.V().deviceNames.size(), 5);
  f.Select({4, 1, 2});
  EXPECT_TRUE(f.prompter.shown.empty());
  ASSERT_EQ(f.S().chosenCount, 3);
  const std::vector<ChosenDevice> chosen = f.S().chosenDevice;
  EXPECT_EQ((std::vector<int>{chosen[0].slot, chosen[1].slot, chosen[2].slot}), (std::vector<int>{1, 2, 4}));
  EXPECT_EQ(QString::fromStdString(chosen[0].displayName), f.V().deviceNames[1]);
  EXPECT_EQ(f.S().deviceNameText, chosen[0].displayName);
  EXPECT_TRUE(f.V().okButton.enabled && f.V().nextButton.enabled);
  EXPECT_FALSE(f.V().previousButton.enabled);

  // Stepping asks only the meter stepped to, and only for its identification.
  f.wire.writes.clear();
  f.Next();
  ASSERT_EQ(f.wire.writes.size(), 1u);
  EXPECT_EQ(f.wire.writes[0].resource, f.devices->Devices()[2].resource);
  EXPECT_EQ(f.wire.writes[0].bytes, "*IDN?\n");
  EXPECT_EQ(f.S().deviceNameText, f.devices->Devices()[2].displayName);
  EXPECT_TRUE(f.V().previousButton.enabled && f.V().nextButton.enabled);
  f.Next();
  EXPECT_FALSE(f.V().nextButton.enabled);
  f.Next();  // nothing beyond the last meter
  EXPECT_EQ(f.S().currentChosen, 2);
  f.Previous();
  f.Previous();
  EXPECT_EQ(f.S().currentChosen, 0);
  EXPECT_FALSE(f.V().previousButton.enabled);

  f.prompter.ExpectMessage(Prompter::Answer::Ok);
  f.Select({4, 3, 2, 1, 0});
  f.prompter.ExpectMessage(Prompter::Answer::Ok);
  f.Select({3});
  EXPECT_EQ(f.Shown(), (std::vector<QString>{"MAX. 4 Devices.", "At least 2 Devices."}));
  for (const auto& s : f.prompter.shown) {
    EXPECT_EQ(s.caption, "MERILOG");
    EXPECT_EQ(s.icon, Prompter::Icon::None);
  }
  EXPECT_EQ(f.S().chosenDevice, chosen);
  // The multi-device layout again: per-meter controls and OK wait for a good Select.
  EXPECT_FALSE(f.V().okButton.enabled || f.V().nextButton.enabled || f.V().multiSaveBox.enabled);
}

TEST(ReadingSettingsModel, SaveWithoutARecordStopsPreviousNextAndOk) {
  Fixture f(2);
  f.ChooseMeters({0, 1});
  f.model->MultiSaveToggled(true);
  f.prompter.ExpectMessage(Prompter::Answer::Ok);
  f.Next();
  f.prompter.ExpectMessage(Prompter::Answer::Ok);
  EXPECT_FALSE(f.model->Ok());
  EXPECT_EQ(f.Shown(), (std::vector<QString>{kNoRecord, kNoRecord}));
  EXPECT_EQ(f.prompter.shown[0].icon, Prompter::Icon::Exclamation);
  EXPECT_EQ(f.prompter.shown[0].caption, QString());
  EXPECT_EQ(f.S().currentChosen, 0);

  Fixture g(1);
  g.OpenIn(kSingleDeviceMode);
  g.model->SingleSaveToggled(true);
  EXPECT_TRUE(g.V().singleRecords.control.enabled);
  g.prompter.ExpectMessage(Prompter::Answer::Ok);
  EXPECT_FALSE(g.model->Ok());
  g.model->SingleRecordChosen(6);
  EXPECT_TRUE(g.model->Ok());
  g.model->SingleSaveToggled(false);
  EXPECT_EQ(g.S().saveEnabled[0], 0);
  EXPECT_FALSE(g.V().singleRecords.control.enabled);
}

TEST(ReadingSettingsModel, TheSameRecordForTwoSavingMetersIsRefused) {
  Fixture f(4);
  // A save flag left on a meter outside the current choice blocks no record.
  f.ChooseMeters({0, 1, 2, 3});
  for (int k = 0; k < 3; ++k) f.Next();
  f.model->MultiSaveToggled(true);
  f.model->MultiRecordChosen(0);
  ASSERT_EQ(f.S().recordNumber[3], 1);

  f.ChooseMeters({0, 1, 2});
  f.model->MultiSaveToggled(true);
  f.model->MultiRecordChosen(0);
  EXPECT_EQ(f.S().recordNumber[0], 1);
  EXPECT_TRUE(f.prompter.shown.empty());
  f.Next();
  f.model->MultiSaveToggled(true);
  f.prompter.ExpectMessage(Prompter::Answer::Ok);
  f.model->MultiRecordChosen(0);
  EXPECT_EQ(f.Shown(), std::vector<QString>{kDuplicate});
  EXPECT_EQ(f.prompter.shown[0].icon, Prompter::Icon::Exclamation);
  EXPECT_EQ(f.S().recordNumber[1], 0);
  EXPECT_EQ(f.V().multiRecords.selected, -1);
  f.model->MultiRecordChosen(4);
  EXPECT_EQ(f.S().recordNumber[1], 5);
  f.Next();
  EXPECT_EQ(f.S().currentChosen, 2);

  // Going back and changing meter 0 to meter 1's record is refused too.
  f.Previous();
  f.Previous();
  f.prompter.ExpectMessage(Prompter::Answer::Ok);
  f.model->MultiRecordChosen(4);
  EXPECT_EQ(f.S().recordNumber[0], 1);
  EXPECT_EQ(f.V().multiRecords.selected, 0);
  EXPECT_EQ(f.prompter.shown.size(), 2u);
  EXPECT_TRUE(f.model->Ok());
}

TEST(ReadingSettingsModel, ColourButtonsSetTheirTraceAndTheSecondOnlyShowsForADualMeter) {
  Fixture f(3);  // chosen 0 is a 6081, chosen 1 a 6082
  f.ChooseMeters({0, 1, 2});
  f.model->DualMeasureToggled(true);
  EXPECT_EQ(f.S().dualMeasure, 1);
  EXPECT_FALSE(f.V().multiSecondChangeColour.shown);
  f.Next();
  EXPECT_TRUE(f.V().multiSecondChangeColour.shown && f.V().multiSecondSwatch.shown);

  const Rgb before = f.S().plotColour[5];
  f.prompter.ExpectColour(std::nullopt);  // cancelled
  f.model->ChangeColour(ColourButton::MultiSecond);
  EXPECT_EQ(f.S().plotColour[5], before);
  f.prompter.ExpectColour(Rgb{10, 20, 30});
  f.model->ChangeColour(ColourButton::MultiSecond);
  EXPECT_EQ(f.V().multiSecondSwatchColour, (Rgb{10, 20, 30}));
  f.prompter.ExpectColour(Rgb{1, 2, 3});
  f.model->ChangeColour(ColourButton::MultiMain);

  f.Next();
  EXPECT_FALSE(f.V().multiSecondChangeColour.shown);
  f.Previous();
  f.model->DualMeasureToggled(false);
  EXPECT_FALSE(f.V().multiSecondChangeColour.shown);

  f.model->SingleDeviceChosen();
  EXPECT_FALSE(f.V().singleSecondChangeColour.shown);
  f.model->DualMeasureToggled(true);
  EXPECT_TRUE(f.V().singleSecondChangeColour.shown);
  EXPECT_FALSE(f.V().multiSecondChangeColour.shown);
  f.prompter.ExpectColour(Rgb{4, 5, 6});
  f.model->ChangeColour(ColourButton::SingleMain);
  f.prompter.ExpectColour(Rgb{7, 8, 9});
  f.model->ChangeColour(ColourButton::SingleSecond);
  const auto& c = f.S().plotColour;
  EXPECT_EQ((std::vector<Rgb>{c[0], c[1], c[4], c[5]}),
            (std::vector<Rgb>{{4, 5, 6}, {1, 2, 3}, {7, 8, 9}, {10, 20, 30}}));
  EXPECT_EQ(f.V().singleSwatchColour, (Rgb{4, 5, 6}));
  EXPECT_TRUE(f.prompter.AllAnswersUsed());
}

TEST(ReadingSettingsModel, ChangesPersistAcrossCancelAndTheNextOpening) {
  Fixture f(2);
  f.OpenIn(kSingleDeviceMode);
  f.prompter.ExpectColour(Rgb{9, 9, 9});
  f.model->ChangeColour(ColourButton::SingleMain);
  f.model->SingleSaveToggled(true);
  f.model->SingleRecordChosen(3);
  f.model->DualMeasureToggled(true);
  f.model->Cancel();
  EXPECT_EQ(f.S().recordNumber[0], 4);

  f.OpenIn(kSingleDeviceMode);
  EXPECT_EQ(f.V().singleSwatchColour, (Rgb{9, 9, 9}));
  EXPECT_TRUE(f.V().singleSaveChecked && f.V().singleRecords.control.enabled);
  EXPECT_EQ(f.V().singleRecords.selected, 3);
  EXPECT_TRUE(f.V().dualMeasureChecked && f.V().singleSecondSwatch.shown);

  // Multi-device: the choice and each meter's record come back, but Select must be pressed again.
  f.ChooseMeters({0, 1});
  f.Next();
  f.model->MultiSaveToggled(true);
  f.model->MultiRecordChosen(8);
  f.model->Cancel();
  f.OpenIn(kMultiDeviceMode);
  EXPECT_EQ(f.S().chosenCount, 2);
  EXPECT_EQ(f.S().currentChosen, 0);
  EXPECT_FALSE(f.V().okButton.enabled);
  f.Select({0, 1});
  f.Next();
  EXPECT_TRUE(f.V().multiSaveChecked);
  EXPECT_EQ(f.V().multiRecords.selected, 8);
  EXPECT_EQ(f.S().recordNumber[1], 9);
}

TEST(ReadingSettingsModel, MissingWorkingFolderDisablesSaving) {
  Fixture f(2, /*folderFound=*/false);
  f.S().saveEnabled[0] = 1;
  f.OpenIn(kMultiDeviceMode);
  EXPECT_TRUE(f.V().singleRecords.entries.isEmpty());
  EXPECT_FALSE(f.V().singleSaveBox.enabled || f.V().multiSaveChecked);
  f.Select({0, 1});
  EXPECT_FALSE(f.V().multiSaveBox.enabled);
}

TEST(ReadingSettingsModel, TextsComeFromTheMessageTableAtEachOpening) {
  Fixture f(2);
  SetCurrentLanguageSection(kSimplifiedChineseSection);
  f.OpenIn(kSingleDeviceMode);
  SetCurrentLanguageSection(kEnglishSection);
  EXPECT_EQ(f.V().singleRecords.placeholder, QString::fromUtf8("请选择一条记录。"));
  EXPECT_EQ(f.V().secondChangeColourText, QString::fromUtf8("2ND 更改颜色"));
  EXPECT_EQ(f.V().dualMeasureText, "DUAL MEASURE");
  f.OpenIn(kSingleDeviceMode);
  EXPECT_EQ(f.V().changeColourText, "Change Color");
}
