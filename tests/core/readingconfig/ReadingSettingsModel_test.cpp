#include "core/readingconfig/ReadingSettingsModel.h"

#include <gtest/gtest.h>

#include "ReadingRig.h"

using namespace merilog;
using Fixture = merilog::test::ReadingRig;

namespace {

const QString kNoRecord = QStringLiteral("Please select a record.");
const QString kDuplicate = QStringLiteral("The record has been selected, please select a different record.");

}  // namespace

TEST(ReadingSettingsModel, RadiosFollowTheNumberOfMetersFound) {
  Fixture one(1);
  one.OpenIn(kMultiDeviceMode);  // one meter cannot run in multi-device mode
  EXPECT_TRUE(one.V().singleRadio.enabled && one.V().singleGroup.shown);
  EXPECT_FALSE(one.V().multiRadio.enabled || one.V().multiGroup.shown);
  EXPECT_EQ(one.S().mode, kSingleDeviceMode);

  Fixture two(2);
  two.OpenIn(kSingleDeviceMode);
  EXPECT_TRUE(two.V().multiRadio.enabled && two.V().singleSaveBox.enabled);
  EXPECT_EQ(two.V().singleRecords.selected, -1);
  EXPECT_FALSE(two.V().singleRecords.control.enabled);
}

TEST(ReadingSettingsModel, SelectStoresMetersInListOrderStepsThroughThemAndRefusesTooManyOrTooFew) {
  Fixture f(5);
  f.OpenIn(kMultiDeviceMode);
  ASSERT_EQ(f.V().deviceNames.size(), 5);
  f.Select({4, 1, 2});
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

  f.prompter.ExpectMessage(Prompter::Answer::Ok);
  f.Select({4, 3, 2, 1, 0});
  f.prompter.ExpectMessage(Prompter::Answer::Ok);
  f.Select({3});
  EXPECT_EQ(f.Shown(), (std::vector<QString>{"MAX. 4 Devices.", "At least 2 Devices."}));
  EXPECT_EQ(f.S().chosenDevice, chosen);
  // The multi-device layout again: per-meter controls and OK wait for a good Select.
  EXPECT_FALSE(f.V().okButton.enabled || f.V().nextButton.enabled || f.V().multiSaveBox.enabled);
}

// While the meter stepped to is still naming itself, every control already acts
// on it; a name that comes after a further step is not shown.
TEST(ReadingSettingsModel, AStepShowsTheNewMeterAtOnceWhileItsNameIsAsked) {
  Fixture f(3);
  f.ChooseMeters({0, 1, 2});
  f.S().plotColour[1] = Rgb{1, 1, 1};
  f.S().saveEnabled[1] = 1;
  f.S().recordNumber[1] = 5;
  const std::string held = f.devices->Devices()[1].resource;
  f.latency->Hold(held);
  f.model->Next();
  ASSERT_TRUE(f.model->Busy());
  EXPECT_EQ(f.S().deviceNameText, f.devices->Devices()[1].displayName);
  EXPECT_EQ(f.V().multiSwatchColour, (Rgb{1, 1, 1}));
  EXPECT_TRUE(f.V().multiSaveChecked);
  EXPECT_EQ(f.V().multiRecords.selected, 4);
  f.prompter.ExpectColour(Rgb{2, 2, 2});
  f.model->ChangeColour(ColourButton::MultiMain);
  EXPECT_EQ(f.S().plotColour[1], (Rgb{2, 2, 2}));
  f.model->Next();
  f.latency->Release(held);
  ASSERT_TRUE(test::RunUntil([&] { return !f.model->Busy(); }));
  EXPECT_EQ(f.S().currentChosen, 2);
  EXPECT_EQ(f.S().deviceNameText, f.devices->Devices()[2].displayName);
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
  EXPECT_EQ(f.S().currentChosen, 0);

  Fixture g(1);
  g.OpenIn(kSingleDeviceMode);
  g.model->SingleSaveToggled(true);
  g.prompter.ExpectMessage(Prompter::Answer::Ok);
  EXPECT_FALSE(g.model->Ok());
  g.model->SingleRecordChosen(6);
  EXPECT_TRUE(g.model->Ok());
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
  EXPECT_EQ(f.S().recordNumber[1], 0);
  EXPECT_EQ(f.V().multiRecords.selected, -1);
  f.model->MultiRecordChosen(4);
  EXPECT_EQ(f.S().recordNumber[1], 5);

  // Going back and changing meter 0 to meter 1's record is refused too.
  f.Previous();
  f.prompter.ExpectMessage(Prompter::Answer::Ok);
  f.model->MultiRecordChosen(4);
  EXPECT_EQ(f.S().recordNumber[0], 1);
  EXPECT_EQ(f.V().multiRecords.selected, 0);
  EXPECT_EQ(f.prompter.shown.size(), 2u);
  EXPECT_TRUE(f.model->Ok());
}

TEST(ReadingSettingsModel, ColourButtonsSetTheirTraceAndTheSecondOnlyShowsForADualMeter) {
  Fixture f(2);  // chosen 0 is a 6081, chosen 1 a 6082
  f.ChooseMeters({0, 1});
  f.model->DualMeasureToggled(true);
  EXPECT_FALSE(f.V().multiSecondChangeColour.shown);
  f.Next();
  EXPECT_TRUE(f.V().multiSecondChangeColour.shown && f.V().multiSecondSwatch.shown);

  const Rgb before = f.S().plotColour[5];
  f.prompter.ExpectColour(std::nullopt);  // cancelled
  f.model->ChangeColour(ColourButton::MultiSecond);
  EXPECT_EQ(f.S().plotColour[5], before);
  f.prompter.ExpectColour(Rgb{10, 20, 30});
  f.model->ChangeColour(ColourButton::MultiSecond);
  f.prompter.ExpectColour(Rgb{1, 2, 3});
  f.model->ChangeColour(ColourButton::MultiMain);
  f.model->DualMeasureToggled(false);
  EXPECT_FALSE(f.V().multiSecondChangeColour.shown);

  f.model->SingleDeviceChosen();
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
