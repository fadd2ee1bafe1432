// The real main window on the default simulated bench: built, started, read, stopped.
#include <SQLiteCpp/SQLiteCpp.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "core/app/MainWindowModel.h"
#include "core/base/Clock.h"
#include "core/measure/ChartModel.h"
#include "sim/IoSetup.h"
#include "support/ScriptedPrompter.h"
#include "support/TestSupport.h"
#include "ui/app/AboutDialog.h"
#include "ui/app/MainWindow.h"
#include "ui/app/MainWindowPanels.h"
#include "ui/readingconfig/ReadingSettingsDialog.h"

namespace merilog::ui {
namespace {

// One application object per test program, whichever test file makes it first.
void App() {
  static int argc = 1;
  static char name[] = "merilog-test";
  static char* argv[] = {name, nullptr};
  if (!QApplication::instance()) new QApplication(argc, argv);
}

// Runs the event loop until the condition holds. The deadline only keeps a
// broken build from hanging the run; nothing is asserted about time.
bool RunUntil(const std::function<bool()>& done) {
  QDeadlineTimer safety(60000);
  while (!done() && !safety.hasExpired()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  return done();
}

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

// True when the display shows a number (or, when allowed, an overload or open reading).
bool IsReading(const QString& text, bool outOfRangeToo) {
  bool isNumber = false;
  text.toDouble(&isNumber);
  return isNumber || (outOfRangeToo && (text == "OVLD" || text == "OPEN"));
}

class MainWindowSmoke : public ::testing::Test {
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
    ASSERT_TRUE(RunUntil([this] { return model_->Idle(); })) << "the meters were never found";
  }
  void TearDown() override {
    window_.reset();
    model_.reset();
    QDir::setCurrent(previousDir_);
  }

  test::TempFolder work_;
  QString previousDir_;
  Instruments instruments_;
  test::ScriptedPrompter prompter_;
  SystemClock clock_;
  std::unique_ptr<MainWindowModel> model_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(MainWindowSmoke, OneMeterIntoARecordThenTwoMetersThenOffsetByEnterAndEscCloses) {
  MainWindowModel& model = *model_;
  MainWindow& window = *window_;

  MainWindowPanels& panels = window.Panels();
  ASSERT_GE(panels.deviceList->count(), 2);
  EXPECT_TRUE(panels.deviceList->isEnabled());
  EXPECT_EQ(panels.deviceList->currentRow(), 0);
  EXPECT_FALSE(window.ToolbarStop()->isEnabled());

  // The About box opened from Help, closed again: the window is relabelled in English.
  QTimer::singleShot(0, [] { CloseAbout(); });
  window.MenuAction(MenuCommand::About)->trigger();
  ASSERT_TRUE(RunUntil([&] { return model.Idle(); }));
  EXPECT_EQ(window.MenuAction(MenuCommand::StartReading)->text(), "Start Reading");
  // The logo's context menu stands in for the system menu: the About box again.
  QTimer::singleShot(0, [] { CloseAbout(); });
  window.SystemAboutAction()->trigger();

  // Reading Settings: save the first meter's readings into record 1.
  ReadingSettingsDialog& dialog = window.ReadingSettings();
  QTimer::singleShot(0, [&] {
    ASSERT_EQ(QApplication::activeModalWidget(), &dialog);
    dialog.SingleSaveBox()->click();
    ASSERT_GT(dialog.SingleRecordList()->count(), 0);
    dialog.SingleRecordList()->setCurrentIndex(0);
    emit dialog.SingleRecordList()->activated(0);
    dialog.OkButton()->click();
  });
  window.MenuAction(MenuCommand::ReadingSettings)->trigger();
  ASSERT_TRUE(RunUntil([&] { return model.Idle(); }));
  EXPECT_FALSE(dialog.isVisible());
  ASSERT_EQ(model.NextRunPlan().saveEnabled[0], 1);
  const int record = model.NextRunPlan().recordNumber[0];
  ASSERT_GE(record, 1);

  window.ToolbarStart()->trigger();
  ASSERT_TRUE(RunUntil([&] { return model.Idle(); }));
  ASSERT_TRUE(model.ReadingActive()) << "Start did not start a session";
  EXPECT_TRUE(window.ReadingTimer().isActive());
  EXPECT_TRUE(window.ToolbarStop()->isEnabled());
  EXPECT_FALSE(panels.deviceList->isEnabled());
  EXPECT_FALSE(window.MenuAction(MenuCommand::ReadingSettings)->isEnabled());

  QLabel* value = panels.meters[0].value;
  ASSERT_TRUE(RunUntil([&] { return value->text() != "0"; })) << "no reading reached the first value display";
  EXPECT_TRUE(IsReading(value->text(), true)) << value->text().toStdString();

  window.ToolbarStop()->trigger();
  ASSERT_TRUE(RunUntil([&] { return model.Idle(); }));
  EXPECT_FALSE(model.ReadingActive());
  EXPECT_FALSE(window.ReadingTimer().isActive());
  EXPECT_TRUE(panels.deviceList->isEnabled());

  const QString file = QDir(work_.Path()).filePath(QStringLiteral("DB/Record %1.mdb").arg(record));
  ASSERT_TRUE(QFile::exists(file));
  SQLite::Database db(file.toStdString(), SQLite::OPEN_READONLY);
  EXPECT_GT(db.execAndGet("SELECT COUNT(*) FROM read").getInt(), 0);

  // Two meters chosen in the dialog: both show readings.
  QTimer::singleShot(0, [&] {
    dialog.MultiRadio()->click();
    dialog.DeviceList()->item(0)->setSelected(true);
    dialog.DeviceList()->item(1)->setSelected(true);
    dialog.SelectButton()->click();
    dialog.OkButton()->click();
  });
  window.MenuAction(MenuCommand::ReadingSettings)->trigger();
  ASSERT_TRUE(RunUntil([&] { return model.Idle(); }));
  ASSERT_TRUE(model.MultiDeviceMode());
  ASSERT_TRUE(panels.meters[1].value->isVisibleTo(&window));

  prompter_.ExpectMessage(Prompter::Answer::Yes);  // the first meter still saves into that record
  window.ToolbarStart()->trigger();
  ASSERT_TRUE(RunUntil([&] { return model.Idle(); }));
  ASSERT_TRUE(model.ReadingActive());
  // Past the first redraws, so a fault that appears only once the chart scrolls shows too.
  ASSERT_TRUE(RunUntil([&] { return model.Chart().RedrawCount() > 60; }));
  for (int d = 0; d < 2; ++d) EXPECT_TRUE(IsReading(panels.meters[d].value->text(), false)) << "meter " << d + 1;
  window.ToolbarStop()->trigger();
  ASSERT_TRUE(RunUntil([&] { return model.Idle(); }));
  EXPECT_FALSE(model.ReadingActive());

  // Enter with the focus elsewhere: nothing happens, the window stays open.
  panels.deviceList->setFocus();
  Press(panels.deviceList, Qt::Key_Return);
  EXPECT_TRUE(window.isVisible());
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

}  // namespace
}  // namespace merilog::ui
