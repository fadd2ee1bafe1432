// Multiple Readings and Command Control opened from the real main window's
// menu on the default simulated bench, driven as a user clicks them.
#include <SQLiteCpp/SQLiteCpp.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "core/app/MainWindowModel.h"
#include "core/base/Clock.h"
#include "core/console/ConsoleModel.h"
#include "core/recordview/MultipleReadingsModel.h"
#include "sim/IoSetup.h"
#include "support/ScriptedPrompter.h"
#include "support/TestSupport.h"
#include "ui/app/MainWindow.h"
#include "ui/console/CommandConsoleDialog.h"
#include "ui/recordview/MultipleReadingsDialog.h"

namespace merilog::ui {
namespace {

void App() {
  static int argc = 1;
  static char name[] = "merilog-test";
  static char* argv[] = {name, nullptr};
  if (!QApplication::instance()) new QApplication(argc, argv);
}

bool Wait(const std::function<bool()>& done) {
  QDeadlineTimer safety(60000);
  while (!done() && !safety.hasExpired()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  return done();
}

class BurstConsoleMenu : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    previousDir_ = QDir::currentPath();
    ASSERT_TRUE(QDir(work_.Path()).mkpath("DB"));
    ASSERT_TRUE(QDir::setCurrent(work_.Path()));
    IoOptions io;
    io.simulate = true;
    std::string error;
    ASSERT_TRUE(SetUpInstruments(io, &instruments_, &error)) << error;
    model_ = std::make_unique<MainWindowModel>(*instruments_.resources, prompter_, clock_, instruments_.lanResources);
    window_ = std::make_unique<MainWindow>(*model_, prompter_);
    model_->Initialise();
    window_->show();
  }
  void TearDown() override {
    window_.reset();
    model_.reset();
    QDir::setCurrent(previousDir_);
  }
  // Opens the menu entry's dialog and runs `drive` inside its modal loop.
  template <class Dialog>
  void OpenFromMenu(MenuCommand command, const std::function<void(Dialog&)>& drive) {
    QAction* action = window_->MenuAction(command);
    ASSERT_NE(action, nullptr);
    ASSERT_TRUE(action->isEnabled());
    bool driven = false;
    QTimer::singleShot(0, [&] {
      auto* dialog = dynamic_cast<Dialog*>(QApplication::activeModalWidget());
      EXPECT_NE(dialog, nullptr);
      if (dialog) drive(*dialog);
      driven = true;
      if (dialog && dialog->isVisible()) dialog->reject();
    });
    action->trigger();
    EXPECT_TRUE(driven);
  }

  test::TempFolder work_;
  QString previousDir_;
  Instruments instruments_;
  test::ScriptedPrompter prompter_;
  SystemClock clock_;
  std::unique_ptr<MainWindowModel> model_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(BurstConsoleMenu, MultipleReadingsTakesABurstIntoTheChosenRecord) {
  OpenFromMenu<MultipleReadingsDialog>(MenuCommand::MultipleReadings, [](MultipleReadingsDialog& d) {
    ASSERT_TRUE(Wait([&] { return d.StartButton()->isEnabled(); }));
    EXPECT_EQ(d.windowTitle(), "Multiple Readings");
    EXPECT_EQ(d.RecordChoice()->count(), 10);
    d.NumberField()->setText("300");
    emit d.NumberField()->textEdited("300");
    d.RecordChoice()->setCurrentIndex(1);
    emit d.RecordChoice()->activated(1);
    d.StartButton()->click();
    EXPECT_FALSE(d.ExitButton()->isEnabled());
    // Esc while running does not leave the dialog.
    d.reject();
    EXPECT_TRUE(d.isVisible());
    ASSERT_TRUE(Wait([&] { return d.Model().Idle(); }));
    EXPECT_EQ(d.Progress()->value(), 300);
    EXPECT_TRUE(d.ProgressText()->text().startsWith("300 of 300 readings")) << d.ProgressText()->text().toStdString();
    EXPECT_TRUE(d.RecordChoice()->currentText().startsWith("Record 2            ( "));
    d.ExitButton()->click();
    EXPECT_FALSE(d.isVisible());
  });
  SQLite::Database db((work_.Path() + "/DB/Record 2.mdb").toStdString());
  EXPECT_EQ(db.execAndGet("SELECT count(*) FROM read").getInt(), 300);
}

TEST_F(BurstConsoleMenu, CommandControlQueriesTheChosenMeterAndKeepsTheHistory) {
  OpenFromMenu<CommandConsoleDialog>(MenuCommand::CommandControl, [](CommandConsoleDialog& d) {
    EXPECT_EQ(d.windowTitle(), "Command Control");
    EXPECT_EQ(d.DeviceChooser()->count(), 3);
    EXPECT_EQ(d.SendBox()->text(), "*IDN?");
    EXPECT_FALSE(d.HistoryList()->isVisible());
    d.DeviceChooser()->setCurrentIndex(1);
    emit d.DeviceChooser()->activated(1);
    d.QueryButton()->click();
    ASSERT_TRUE(Wait([&] { return !d.ReceivedBox()->toPlainText().isEmpty(); }));
    EXPECT_TRUE(d.ReceivedBox()->toPlainText().contains(",MODEL 6082,"))
        << d.ReceivedBox()->toPlainText().toStdString();
    EXPECT_TRUE(d.HistoryList()->isVisible());
    EXPECT_EQ(d.HistoryList()->itemText(0), "*IDN?");
    d.ExitButton()->click();
    EXPECT_FALSE(d.isVisible());
  });
}

}  // namespace
}  // namespace merilog::ui
