#include "ui/readingconfig/ReadingSettingsDialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>

#include "core/base/MessageTable.h"
#include "core/readingconfig/ReadingRig.h"
#include "ui/app/AboutDialog.h"
#include "ui/widgets/WidgetTestApp.h"

using namespace merilog;

TEST(ReadingSettingsDialog, ShowsTheModelAndForwardsClicks) {
  ui::test::App();
  test::ReadingRig b(3);
  ReadingSettingsModel& model = *b.model;
  test::ScriptedPrompter& prompter = b.prompter;
  ui::ReadingSettingsDialog dialog(model);
  model.Settings().mode = kSingleDeviceMode;
  dialog.Open();
  dialog.show();

  EXPECT_TRUE(dialog.SingleRadio()->isChecked());
  EXPECT_EQ(dialog.SingleRecordList()->count(), 10);
  EXPECT_FALSE(dialog.SingleRecordList()->isEnabled());
  dialog.SingleSaveBox()->click();
  EXPECT_TRUE(dialog.SingleRecordList()->isEnabled());
  dialog.DualMeasureBox()->click();

  // OK without a record keeps the dialog open with the message.
  prompter.ExpectMessage(Prompter::Answer::Ok);
  dialog.OkButton()->click();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(prompter.shown.size(), 1u);
  dialog.SingleSaveBox()->click();

  dialog.MultiRadio()->click();
  EXPECT_TRUE(dialog.DeviceList()->isVisible());
  ASSERT_EQ(dialog.DeviceList()->count(), 3);
  dialog.DeviceList()->item(0)->setSelected(true);
  dialog.DeviceList()->item(1)->setSelected(true);
  dialog.SelectButton()->click();
  EXPECT_TRUE(dialog.OkButton()->isEnabled());
  dialog.NextButton()->click();
  ASSERT_TRUE(merilog::test::RunUntil([&] { return !model.Busy(); }));  // the meter names itself on its thread
  EXPECT_EQ(dialog.DeviceNameLabel()->text(), QString::fromStdString(b.devices->Devices()[1].displayName));
  EXPECT_TRUE(dialog.MultiSecondColourButton()->isVisible());  // the dual-function meter
  dialog.MultiSaveBox()->click();
  dialog.MultiRecordList()->setCurrentIndex(4);
  emit dialog.MultiRecordList()->activated(4);
  EXPECT_EQ(model.Settings().recordNumber[1], 5);
  dialog.OkButton()->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(model.Settings().saveEnabled[1], 1);

  // The next opening in another language: texts from that section.
  SetCurrentLanguageSection(kTraditionalChineseSection);
  dialog.Open();
  SetCurrentLanguageSection(kEnglishSection);
  dialog.show();
  EXPECT_EQ(dialog.OkButton()->text(), QString::fromUtf8("確定"));
  dialog.reject();
}

TEST(AboutDialog, OpensInEnglishSwitchesTabsAndChoosesALanguage) {
  ui::test::App();
  SetCurrentLanguageSection(kTraditionalChineseSection);
  ui::AboutDialog box;
  box.show();
  EXPECT_EQ(box.Tabs()->tabText(1), QString::fromUtf8("語言"));  // labelled before the reset to English
  EXPECT_FALSE(box.LanguageChooser()->isVisible());
  const QRect link = box.LinkRect();
  EXPECT_TRUE(!link.isEmpty() && box.rect().contains(link));

  const QSize size = box.size();
  box.Tabs()->setCurrentIndex(1);
  EXPECT_TRUE(box.LanguageChooser()->isVisible());
  EXPECT_EQ(box.size(), size);
  emit box.LanguageChooser()->activated(2);
  EXPECT_EQ(CurrentLanguageSection(), kSimplifiedChineseSection);
  SetCurrentLanguageSection(kEnglishSection);
}
