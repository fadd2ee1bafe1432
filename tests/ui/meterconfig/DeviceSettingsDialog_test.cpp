// The Device Settings window renders its model and forwards choices; while the
// meter is asked its choices are disabled, and Exit still closes it.
#include "ui/meterconfig/DeviceSettingsDialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "core/app/IoSetup.h"
#include "core/app/MainWindowModel.h"
#include "core/base/Clock.h"
#include "core/meterconfig/DeviceSettingsModel.h"
#include "core/meterconfig/MeterRig.h"
#include "support/ScriptedPrompter.h"
#include "support/TestSupport.h"
#include "ui/app/MainWindow.h"
#include "ui/widgets/WidgetTestApp.h"

namespace merilog {
namespace {

TEST(DeviceSettingsDialog, ShowsTheModelAndForwardsChoices) {
  ui::test::App();
  test::DeviceSettingsRig d;
  d.Add("6081");
  test::MeterRig& dual = d.Add("6082");
  d.HandOver();
  DeviceSettingsModel& model = d.model;
  test::ScriptedPrompter& prompter = d.prompter;
  ui::DeviceSettingsDialog dialog(model);
  dialog.Open();
  dialog.show();
  EXPECT_TRUE(dialog.BusyBar()->isVisible());
  EXPECT_FALSE(dialog.FunctionList()->isEnabled());
  ASSERT_TRUE(test::RunUntil([&] { return !model.Busy(); }));
  EXPECT_FALSE(dialog.BusyBar()->isVisible());
  EXPECT_TRUE(dialog.FunctionList()->isEnabled());
  EXPECT_EQ(dialog.FunctionList()->count(), 12);

  // The dual meter on TEMP with the USER sensor: its coefficients, then a 2ND function.
  dialog.DeviceList()->setCurrentRow(1);
  ASSERT_TRUE(test::RunUntil([&] { return !model.Busy(); }));
  EXPECT_EQ(dialog.FunctionList()->count(), 14);
  dialog.FunctionList()->setCurrentRow(10);
  ASSERT_TRUE(test::RunUntil([&] { return !model.Busy(); }));
  const int user = dialog.RangeBox()->findText("USER");
  ASSERT_GE(user, 0);
  emit dialog.RangeBox()->activated(user);
  ASSERT_TRUE(test::RunUntil([&] { return !model.Busy(); }));
  EXPECT_TRUE(dialog.CoefficientField(3)->isVisible());
  EXPECT_FALSE(dialog.CoefficientField(4)->isVisible());
  EXPECT_EQ(dialog.CoefficientField(3)->text().toDouble(), model.CoefficientValues()[3]);
  dialog.CoefficientField(0)->setText("0.02");
  emit dialog.CoefficientField(0)->textEdited("0.02");
  // Enter in a field presses no button: nothing is sent, nothing typed is lost.
  dialog.activateWindow();
  dialog.CoefficientField(0)->setFocus();
  const std::size_t sent = dual.Sent().size();
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(dialog.CoefficientField(0), &enter);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_FALSE(model.Busy());
  EXPECT_EQ(dual.Sent().size(), sent);
  EXPECT_EQ(dialog.CoefficientField(0)->text(), "0.02");
  // Set refuses the coefficient in a box of its own.
  prompter.ExpectMessage(Prompter::Answer::Ok);
  dialog.SetButton()->click();
  ASSERT_TRUE(test::RunUntil([&] { return !model.Busy(); }));
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text, "ALPHA range is 0 - 0.01，please re-enter.");
  EXPECT_EQ(prompter.shown[0].buttons, Prompter::Buttons::Ok);
  EXPECT_EQ(prompter.shown[0].icon, Prompter::Icon::None);

  // Exit while the meter is asked: the window closes at once.
  dual.meter->Faults().delayMs = 100000;
  model.GetMultimeterSetting();
  EXPECT_FALSE(dialog.SetButton()->isEnabled());
  EXPECT_TRUE(dialog.ExitButton()->isEnabled());
  dialog.ExitButton()->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_FALSE(model.Busy());
}

// The menu entry and the toolbar button open the dialog on the window's meters.
TEST(DeviceSettingsDialog, OpensFromTheMenuAndTheToolbar) {
  ui::test::App();
  test::WorkingFolder work;
  Instruments instruments;
  IoOptions io;
  io.simulate = true;
  std::string error;
  ASSERT_TRUE(SetUpInstruments(io, &instruments, &error)) << error;
  test::ScriptedPrompter prompter;
  SystemClock clock;
  MainWindowModel model(*instruments.resources, prompter, clock, instruments.lanResources);
  {
    ui::MainWindow window(model, prompter);
    model.Initialise();
    ASSERT_TRUE(test::RunUntil([&] { return model.Idle(); })) << "the meters were never found";
    for (QAction* opener : {window.MenuAction(MenuCommand::DeviceSettings), window.ToolbarDeviceSettings()}) {
      ASSERT_TRUE(opener->isEnabled());
      ui::DeviceSettingsDialog& dialog = window.DeviceSettings();
      int devices = 0;
      QString function;
      // A timer, not a posted call: the dialog's loop delivers the meter's answers meanwhile.
      QTimer poll;
      QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!dialog.isVisible() || dialog.BusyBar()->isVisible()) return;
        devices = dialog.DeviceList()->count();
        function = dialog.FunctionList()->currentItem() ? dialog.FunctionList()->currentItem()->text() : QString();
        dialog.ExitButton()->click();
      });
      poll.start(5);
      opener->trigger();
      poll.stop();
      ASSERT_TRUE(test::RunUntil([&] { return model.Idle(); }));
      EXPECT_FALSE(dialog.isVisible());
      EXPECT_EQ(devices, 3);
      EXPECT_EQ(function, "DC Voltage");
    }
  }
}

}  // namespace
}  // namespace merilog
