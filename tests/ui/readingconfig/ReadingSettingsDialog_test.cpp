#include "ui/readingconfig/ReadingSettingsDialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>

#include "core/base/MessageTable.h"
#include "core/instrument/DeviceListModel.h"
#include "core/instrument/ResourceManager.h"
#include "core/readingconfig/ReadingSettingsModel.h"
#include "sim/SimBackend.h"
#include "sim/SimBench.h"
#include "support/ScriptedPrompter.h"
#include "support/TestSupport.h"
#include "ui/app/AboutDialog.h"
#include "ui/widgets/WidgetTestApp.h"

using namespace merilog;
using merilog::test::ScriptedPrompter;
using merilog::test::TempFolder;

namespace {

// Pictures for a person to look at: saved only when MERILOG_SCREENSHOT_DIR names a folder.
void SavePicture(QWidget& w, const QString& name) {
  const QString dir = qEnvironmentVariable("MERILOG_SCREENSHOT_DIR");
  if (dir.isEmpty()) return;
  QDir().mkpath(dir);
  w.repaint();
  QApplication::processEvents();
  EXPECT_TRUE(w.grab().save(dir + "/" + name + ".png"));
}

struct Bench {
  std::shared_ptr<sim::SimBench> bench = std::make_shared<sim::SimBench>();
  ResourceManager rm;
  std::unique_ptr<DeviceListModel> devices;
  Bench() {
    rm.AddBackend(std::make_unique<sim::SimBackend>(bench));
    for (auto [resource, model] : {std::pair{"USB0::0x3A7D::0x6081::SN01::INSTR", "6081"},
                                   {"USB0::0x3A7D::0x6082::SN02::INSTR", "6082"},
                                   {"GPIB0::16::INSTR", "6081"}})
      EXPECT_NE(bench->Add({.resource = resource, .model = model}), nullptr);
    devices = std::make_unique<DeviceListModel>(rm, std::vector<std::string>{});
    devices->Discover();
    EXPECT_TRUE(merilog::test::RunUntil([this] { return !devices->Discovering(); }));
  }
};

}  // namespace

TEST(ReadingSettingsDialog, ShowsTheModelAndForwardsClicks) {
  ui::test::App();
  Bench b;
  ScriptedPrompter prompter;
  TempFolder records;
  const QString folder = records.Path();
  ReadingSettingsModel model(prompter, [folder](Prompter&) { return std::optional<QString>(folder); });
  model.HandOverDevices(HandOverTo(HandOverDialog::ReadingSettings, b.devices->Devices()));
  ui::ReadingSettingsDialog dialog(model);
  model.Settings().mode = kSingleDeviceMode;
  dialog.Open();
  dialog.show();

  EXPECT_TRUE(dialog.SingleRadio()->isChecked());
  EXPECT_EQ(dialog.SingleRecordList()->count(), 10);
  EXPECT_EQ(dialog.SingleRecordList()->placeholderText(), "Please select a record.");
  EXPECT_FALSE(dialog.SingleRecordList()->isEnabled());
  dialog.SingleSaveBox()->click();
  EXPECT_TRUE(dialog.SingleRecordList()->isEnabled());
  dialog.DualMeasureBox()->click();
  SavePicture(dialog, "reading-settings-single");

  // OK without a record keeps the dialog open with the message.
  prompter.ExpectMessage(Prompter::Answer::Ok);
  dialog.OkButton()->click();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(prompter.shown.size(), 1u);
  dialog.SingleSaveBox()->click();

  dialog.MultiRadio()->click();
  EXPECT_EQ(model.Settings().mode, kMultiDeviceMode);
  EXPECT_TRUE(dialog.DeviceList()->isVisible());
  EXPECT_FALSE(dialog.OkButton()->isEnabled());
  ASSERT_EQ(dialog.DeviceList()->count(), 3);
  dialog.DeviceList()->item(0)->setSelected(true);
  dialog.DeviceList()->item(1)->setSelected(true);
  dialog.SelectButton()->click();
  EXPECT_EQ(model.Settings().chosenCount, 2);
  EXPECT_TRUE(dialog.OkButton()->isEnabled());
  dialog.NextButton()->click();
  ASSERT_TRUE(merilog::test::RunUntil([&] { return !model.Busy(); }));  // the meter names itself on its thread
  EXPECT_EQ(dialog.DeviceNameLabel()->text(), QString::fromStdString(b.devices->Devices()[1].displayName));
  EXPECT_TRUE(dialog.MultiSecondColourButton()->isVisible());  // the dual-function meter
  dialog.MultiSaveBox()->click();
  dialog.MultiRecordList()->setCurrentIndex(4);
  emit dialog.MultiRecordList()->activated(4);
  EXPECT_EQ(model.Settings().recordNumber[1], 5);
  SavePicture(dialog, "reading-settings-multi");
  dialog.OkButton()->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(model.Settings().saveEnabled[1], 1);

  // The next opening in another language: texts from that section.
  SetCurrentLanguageSection(kTraditionalChineseSection);
  dialog.Open();
  SetCurrentLanguageSection(kEnglishSection);
  dialog.show();
  EXPECT_EQ(dialog.OkButton()->text(), QString::fromUtf8("確定"));
  SavePicture(dialog, "reading-settings-multi-tc");
  dialog.reject();
}

TEST(AboutDialog, OpensInEnglishSwitchesTabsAndChoosesALanguage) {
  ui::test::App();
  SetCurrentLanguageSection(kTraditionalChineseSection);
  ui::AboutDialog box;
  box.show();
  EXPECT_EQ(CurrentLanguageSection(), kEnglishSection);
  EXPECT_EQ(box.Tabs()->tabText(1), QString::fromUtf8("語言"));  // labelled before the reset
  EXPECT_FALSE(box.LanguageChooser()->isVisible());
  const QRect link = box.LinkRect();
  EXPECT_TRUE(!link.isEmpty() && box.rect().contains(link));
  EXPECT_TRUE(box.Model().LeftButtonPressed(link.center(), link));
  SavePicture(box, "about-about");

  const QSize size = box.size();
  box.Tabs()->setCurrentIndex(1);
  EXPECT_TRUE(box.LanguageChooser()->isVisible());
  EXPECT_EQ(box.size(), size);
  emit box.LanguageChooser()->activated(2);
  EXPECT_EQ(CurrentLanguageSection(), kSimplifiedChineseSection);
  SavePicture(box, "about-language");
  SetCurrentLanguageSection(kEnglishSection);
}
