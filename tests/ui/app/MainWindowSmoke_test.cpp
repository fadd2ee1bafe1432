// The real main window on the default simulated bench: built, started, read, stopped.
#include <SQLiteCpp/SQLiteCpp.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTimer>

#include "../widgets/WidgetTestApp.h"
#include "core/app/IoSetup.h"
#include "core/app/MainWindowModel.h"
#include "core/base/Clock.h"
#include "core/burst/MultipleReadingsModel.h"
#include "core/console/ConsoleModel.h"
#include "core/measure/ChartModel.h"
#include "support/RecordFiles.h"
#include "support/ScriptedPrompter.h"
#include "support/TestSupport.h"
#include "ui/app/AboutDialog.h"
#include "ui/app/MainWindow.h"
#include "ui/app/MainWindowPanels.h"
#include "ui/burst/MultipleReadingsDialog.h"
#include "ui/console/CommandConsoleDialog.h"
#include "ui/readingconfig/ReadingSettingsDialog.h"
#include "ui/readingconfig/UnattendedRunDialog.h"

namespace merilog::ui {
namespace {

using merilog::test::RunUntil;

// A key press and release as the keyboard delivers it to the focus widget.
void Press(QWidget* target, int key, const QString& text = {}) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(target, &press);
  QApplication::sendEvent(target, &release);
}

// Closes the About box, failing when some other window is up instead.
void CloseAbout() {
  QWidget* modal = QApplication::activeModalWidget();
  EXPECT_NE(dynamic_cast<AboutDialog*>(modal), nullptr);
  if (modal) modal->close();
}

// True when the display shows a number, an overload or an open reading.
bool IsReading(const QString& text) {
  bool isNumber = false;
  text.toDouble(&isNumber);
  return isNumber || text == "OVLD" || text == "OPEN";
}

class MainWindowSmoke : public ::testing::Test {
 protected:
  void SetUp() override {
    test::App();
    IoOptions io;
    io.simulate = true;
    std::string error;
    ASSERT_TRUE(SetUpInstruments(io, &instruments_, &error)) << error;
    model_ = std::make_unique<MainWindowModel>(*instruments_.resources, prompter_, clock_, instruments_.lanResources);
    window_ = std::make_unique<MainWindow>(*model_, prompter_);
    model_->Initialise();
    window_->show();
    ASSERT_TRUE(RunUntil([this] { return model_->Idle(); })) << "the meters were never found";
  }
  void TearDown() override {
    window_.reset();
    model_.reset();
  }

  merilog::test::WorkingFolder work_;
  Instruments instruments_;
  merilog::test::ScriptedPrompter prompter_;
  SystemClock clock_;
  std::unique_ptr<MainWindowModel> model_;
  std::unique_ptr<MainWindow> window_;
};

// Keep reading is a check item of the Settings menu; Stop and Limits keeps its
// dialog open on a wrong field and plans the next run on OK.
TEST_F(MainWindowSmoke, UnattendedRunEntriesOfTheSettingsMenu) {
  merilog::test::TempFolder config;
  ASSERT_TRUE(QFile::copy(QStringLiteral(MERILOG_SOURCE_DATA_DIR "/MERILOG.ini"), config.File("MERILOG.ini")));
  QFile(config.File("MERILOG.ini")).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
  UseMessageFile(config.File("MERILOG.ini"));
  QAction* keep = window_->MenuAction(MenuCommand::KeepReading);
  ASSERT_TRUE(keep && keep->isCheckable());
  EXPECT_EQ(keep->text(), "Keep reading when a meter drops");
  const bool before = model_->KeepReading();
  keep->trigger();
  EXPECT_NE(model_->KeepReading(), before);
  EXPECT_EQ(keep->isChecked(), model_->KeepReading());
  merilog::test::UseConfigurationFile();

  UnattendedRunDialog& dialog = window_->UnattendedRun();
  prompter_.ExpectMessage(Prompter::Answer::Ok);
  QTimer::singleShot(0, [&] {
    dialog.AfterRadio()->click();
    dialog.AfterField()->setText("soon");
    dialog.HighField(1)->setText("10.5");
    dialog.accept();  // refused: the dialog stays
    EXPECT_TRUE(dialog.isVisible());
    dialog.AfterField()->setText("1h30m");
    dialog.accept();
  });
  window_->MenuAction(MenuCommand::UnattendedRun)->trigger();
  ASSERT_EQ(prompter_.shown.size(), 1u);
  EXPECT_TRUE(prompter_.shown[0].text.contains("\"soon\" is no duration")) << prompter_.shown[0].text.toStdString();
  EXPECT_EQ(model_->Unattended().stop, UnattendedRun::Stop::After);
  EXPECT_EQ(model_->NextRunPlan().runForMs, 5400000);
  EXPECT_EQ(model_->NextRunPlan().limits[1].high, 10.5);
}

TEST_F(MainWindowSmoke, TwoMetersIntoARecordThenOffsetByEnterAndEscCloses) {
  // Titled as such, so every window list shows the name (X11's WM_NAME as well).
  EXPECT_EQ(window_->windowTitle().toStdString(), "MERILOG");
  MainWindowModel& model = *model_;
  MainWindow& window = *window_;

  MainWindowPanels& panels = window.Panels();
  ASSERT_GE(panels.deviceList->count(), 2);
  EXPECT_FALSE(window.ToolbarStop()->isEnabled());

  // The About box from Help and from the logo's context menu, which stands in for the system menu.
  QTimer::singleShot(0, [] { CloseAbout(); });
  window.MenuAction(MenuCommand::About)->trigger();
  ASSERT_TRUE(RunUntil([&] { return model.Idle(); }));
  // The logo's context menu stands in for the system menu: the About box again.
  QTimer::singleShot(0, [] { CloseAbout(); });
  window.SystemAboutAction()->trigger();

  // Reading Settings: the first meter saves into a record, and both meters are read.
  ReadingSettingsDialog& dialog = window.ReadingSettings();
  QTimer::singleShot(0, [&] {
    ASSERT_EQ(QApplication::activeModalWidget(), &dialog);
    dialog.SingleSaveBox()->click();
    ASSERT_GT(dialog.SingleRecordList()->count(), 0);
    dialog.SingleRecordList()->setCurrentIndex(0);
    emit dialog.SingleRecordList()->activated(0);
    dialog.MultiRadio()->click();
    dialog.DeviceList()->item(0)->setSelected(true);
    dialog.DeviceList()->item(1)->setSelected(true);
    dialog.SelectButton()->click();
    dialog.OkButton()->click();
  });
  window.MenuAction(MenuCommand::ReadingSettings)->trigger();
  ASSERT_TRUE(RunUntil([&] { return model.Idle(); }));
  ASSERT_TRUE(panels.meters[1].value->isVisibleTo(&window));
  ASSERT_EQ(model.NextRunPlan().saveEnabled[0], 1);
  const int record = model.NextRunPlan().recordNumber[0];
  ASSERT_GE(record, 1);

  window.ToolbarStart()->trigger();
  ASSERT_TRUE(RunUntil([&] { return model.Idle(); }));
  ASSERT_TRUE(model.ReadingActive()) << "Start did not start a session";
  EXPECT_TRUE(window.ReadingTimer().isActive());
  EXPECT_FALSE(window.MenuAction(MenuCommand::ReadingSettings)->isEnabled());
  // Past the first redraws, so a fault that appears only once the chart scrolls shows too.
  ASSERT_TRUE(RunUntil([&] { return model.Chart().RedrawCount() > 60; }, 60000));
  for (int d = 0; d < 2; ++d) EXPECT_TRUE(IsReading(panels.meters[d].value->text())) << "meter " << d + 1;

  window.ToolbarStop()->trigger();
  ASSERT_TRUE(RunUntil([&] { return model.Idle(); }));
  EXPECT_FALSE(window.ReadingTimer().isActive());
  const QString file = QDir(work_.Path()).filePath(QStringLiteral("DB/Record %1.mdb").arg(record));
  ASSERT_TRUE(QFile::exists(file));
  SQLite::Database db(file.toStdString(), SQLite::OPEN_READONLY);
  EXPECT_GT(db.execAndGet("SELECT COUNT(*) FROM read").getInt(), 0);

  // Enter with the focus elsewhere: nothing happens, the window stays open.
  panels.deviceList->setFocus();
  Press(panels.deviceList, Qt::Key_Return);
  EXPECT_EQ(panels.dataOffsetBox->text(), "0");

  // Typed into the offset box and confirmed with Enter: applied once, shown as applied.
  panels.dataOffsetBox->setFocus();
  panels.dataOffsetBox->selectAll();
  for (QChar c : QStringLiteral("2.500")) Press(panels.dataOffsetBox, c.unicode(), QString(c));
  Press(panels.dataOffsetBox, Qt::Key_Return);
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(model.Chart().DataOffsetText(), "2.5");
  EXPECT_EQ(panels.dataOffsetBox->text(), "2.5");

  Press(&window, Qt::Key_Escape);
  EXPECT_FALSE(window.isVisible());
}

// Multiple Readings and Command Control from the menu, driven as a user clicks them.
// Opens the menu entry's dialog and runs `drive` inside its modal loop.
template <class Dialog>
void OpenFromMenu(MainWindow& window, MenuCommand command, const std::function<void(Dialog&)>& drive) {
  QAction* action = window.MenuAction(command);
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

TEST_F(MainWindowSmoke, MultipleReadingsTakesABurstIntoTheChosenRecord) {
  OpenFromMenu<MultipleReadingsDialog>(*window_, MenuCommand::MultipleReadings, [](MultipleReadingsDialog& d) {
    ASSERT_TRUE(RunUntil([&] { return d.StartButton()->isEnabled(); }));
    d.NumberField()->setText("300");
    emit d.NumberField()->textEdited("300");
    d.RecordChoice()->setCurrentIndex(1);
    emit d.RecordChoice()->activated(1);
    d.StartButton()->click();
    // Esc while running does not leave the dialog.
    d.reject();
    EXPECT_TRUE(d.isVisible());
    ASSERT_TRUE(RunUntil([&] { return d.Model().Idle(); }));
    EXPECT_EQ(d.Progress()->value(), 300);
    EXPECT_TRUE(d.RecordChoice()->currentText().startsWith("Record 2            ( "));
    // The dated label is shown whole.
    QApplication::processEvents();
    EXPECT_GE(d.RecordChoice()->width(), d.RecordChoice()->sizeHint().width());
    d.ExitButton()->click();
    EXPECT_FALSE(d.isVisible());
  });
  SQLite::Database db((work_.Path() + "/DB/Record 2.mdb").toStdString());
  EXPECT_EQ(db.execAndGet("SELECT count(*) FROM read").getInt(), 300);
}

TEST_F(MainWindowSmoke, CommandControlQueriesTheChosenMeterAndKeepsTheHistory) {
  OpenFromMenu<CommandConsoleDialog>(*window_, MenuCommand::CommandControl, [](CommandConsoleDialog& d) {
    EXPECT_EQ(d.DeviceChooser()->count(), 3);
    EXPECT_FALSE(d.HistoryList()->isVisible());
    d.DeviceChooser()->setCurrentIndex(1);
    emit d.DeviceChooser()->activated(1);
    // Enter in the send box sends a Query.
    Press(d.SendBox(), Qt::Key_Return);
    ASSERT_TRUE(RunUntil([&] { return !d.ReceivedBox()->toPlainText().isEmpty(); }));
    EXPECT_TRUE(d.ReceivedBox()->toPlainText().contains(",MODEL 6082,"))
        << d.ReceivedBox()->toPlainText().toStdString();
    EXPECT_EQ(d.HistoryList()->itemText(0), "*IDN?");
    d.ExitButton()->click();
    EXPECT_FALSE(d.isVisible());
  });
}

// The lab server's backlog in the status line; no server, no status bar.
class MainWindowLabServer : public MainWindowSmoke {};

TEST_F(MainWindowLabServer, TheStatusLineShowsWhatWaitsForAnAbsentServer) {
  EXPECT_EQ(window_->findChild<QStatusBar*>(), nullptr);
  merilog::test::WriteRecord(work_.File("DB/Record 2.mdb"), {{1.0}, {2.0}, {3.0}});
  LabForwardPolicy policy;
  policy.minPassMs = 0;
  policy.firstBackoffMs = policy.maxBackoffMs = 50;
  model_->UseLabServer({"host=" + work_.File("no-server-here") + " dbname=lab", "bench-ui"}, policy);
  QStatusBar* bar = window_->findChild<QStatusBar*>();
  ASSERT_TRUE(RunUntil([&] {
    bar = window_->findChild<QStatusBar*>();
    return bar && bar->currentMessage().startsWith("Lab server: 3 readings of 1 records waiting (");
  })) << (bar ? bar->currentMessage().toStdString() : "no status bar");
  EXPECT_TRUE(bar->currentMessage().contains("cannot be reached")) << bar->currentMessage().toStdString();
}

}  // namespace
}  // namespace merilog::ui
