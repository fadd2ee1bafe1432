#include <gtest/gtest.h>

#include <SQLiteCpp/SQLiteCpp.h>

#include "../../support/MainWindowBench.h"
#include "core/records/RecordAppender.h"

using namespace merilog;
using namespace merilog::test;
using Answer = Prompter::Answer;

namespace {

struct Row {
  double value, value2;
  std::string time;
};

std::vector<Row> Rows(const QString& path) {
  SQLite::Database db(path.toStdString());
  SQLite::Statement q(db, "SELECT read_value, read_value_2ND, read_time FROM read ORDER BY rowid");
  std::vector<Row> rows;
  while (q.executeStep()) rows.push_back({q.getColumn(0).getDouble(), q.getColumn(1).getDouble(), q.getColumn(2).getString()});
  return rows;
}

std::pair<std::string, std::string> StoredFunctions(const QString& path) {
  SQLite::Database db(path.toStdString());
  SQLite::Statement q(db, "SELECT r_function1, r_function2 FROM read_function");
  if (!q.executeStep()) return {};
  return {q.getColumn(0).getString(), q.getColumn(1).getString()};
}

// Observer that counts what the model asked of the view.
struct View : MainWindowObserver {
  std::vector<int> timerStarts;
  int timerStops = 0, redraws = 0;
  void StartReadingTimer(int ms) override { timerStarts.push_back(ms); }
  void StopReadingTimer() override { ++timerStops; }
  void RedrawChart() override { ++redraws; }
  void StateChanged() override {}
};

class Reading : public ::testing::Test {
 protected:
  MainWindowBench b;
  View view;
  MainWindowModel& Open() {
    auto& m = b.Open();
    m.SetObserver(&view);
    return m;
  }
  std::string Main(int d = 0) { return b.model->Devices().State().meters[d].valueText; }
  std::string Second(int d = 0) { return b.model->State().meterTexts[d].secondValueText; }
};

TEST_F(Reading, DualMeterIntoNewRecordStoresFunctionsAndRows) {
  b.Add(kUsb82, "6082", {"CONF:VOLT:DC", "FUNC2 \"VOLT:AC\""});
  auto& m = Open();
  b.SaveInto(3);
  b.wire.clears.clear();
  m.StartReading();
  ASSERT_TRUE(m.State().readingActive);
  ASSERT_EQ(view.timerStarts, std::vector<int>{25});
  EXPECT_TRUE(b.prompter.shown.empty());
  EXPECT_EQ(StoredFunctions(b.RecordPath(3)), std::make_pair(std::string("DCV"), std::string("ACV")));

  b.Meter(kUsb82)->QueueReadAnswers({"1.23456E+00,5.0E-03", "0,-5.0E-01"});
  m.OnReadingTimer();
  EXPECT_EQ(Main(), "1.234560000000");
  EXPECT_EQ(Second(), "0.005000000000");
  EXPECT_DOUBLE_EQ(m.Chart().Buffer().Value(0, 1), 1.23456);
  EXPECT_DOUBLE_EQ(m.Chart().Buffer().Value(4, 1), 0.005);
  b.clock.AdvanceMs(25);
  m.OnReadingTimer();
  EXPECT_EQ(Main(), "0.000000000000");
  EXPECT_EQ(Second(), "-0.500000000000000");
  EXPECT_DOUBLE_EQ(m.Chart().Buffer().Value(0, 2), 1e-25);
  m.StopReading();

  EXPECT_FALSE(m.State().readingActive);
  EXPECT_EQ(view.timerStops, 1);
  const auto rows = Rows(b.RecordPath(3));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_DOUBLE_EQ(rows[0].value, 1.23456);
  EXPECT_DOUBLE_EQ(rows[0].value2, 0.005);
  EXPECT_EQ(rows[0].time, "14:03:27:045");
  EXPECT_DOUBLE_EQ(rows[1].value, 0.0);
  EXPECT_EQ(rows[1].time, "14:03:27:070");
  // Stop clears the meter and writes the four bytes "*cls".
  EXPECT_EQ(b.wire.clears, std::vector<std::string>{kUsb82});
  const auto sent = b.wire.To(kUsb82);
  EXPECT_NE(std::find(sent.begin(), sent.end(), "*cls"), sent.end());
  EXPECT_TRUE(m.State().menu[static_cast<int>(MenuCommand::StartReading)].enabled);
  EXPECT_TRUE(m.State().functionButtonsEnabled);
}

TEST_F(Reading, ChangedFunctionRefusesTheRecord) {
  auto* meter = b.Add(kUsb81, "6081", {"CONF:VOLT:DC"});
  auto& m = Open();
  b.SaveInto(1);
  m.StartReading();
  m.StopReading();
  meter->Execute("CONF:RES");
  b.prompter.ExpectMessage(Answer::Ok);
  m.StartReading();
  ASSERT_EQ(b.prompter.shown.size(), 1u);
  EXPECT_EQ(b.prompter.shown[0].text.toStdString(),
            "Function has changed from DCV to 2W. Please select a different record.");
  EXPECT_EQ(b.prompter.shown[0].caption, "");
  EXPECT_EQ(b.prompter.shown[0].icon, Prompter::Icon::Exclamation);
  EXPECT_FALSE(m.State().readingActive);
  EXPECT_TRUE(m.Devices().State().listEnabled);
}

TEST_F(Reading, ChangedSecondAndBothFunctions) {
  auto* meter = b.Add(kUsb82, "6082", {"CONF:VOLT:DC", "FUNC2 \"VOLT:AC\""});
  auto& m = Open();
  b.SaveInto(1);
  m.StartReading();
  m.StopReading();
  meter->Execute("FUNC2 \"CURR:DC\"");
  b.prompter.ExpectMessage(Answer::Ok);
  m.StartReading();
  EXPECT_EQ(b.prompter.shown.back().text.toStdString(),
            "2ND Function has changed from ACV to DCI. Please select a different record.");
  meter->Execute("CONF:VOLT:AC");
  meter->Execute("FUNC2 \"VOLT:DC\"");
  b.prompter.ExpectMessage(Answer::Ok);
  m.StartReading();
  EXPECT_EQ(b.prompter.shown.back().text.toStdString(),
            "Function has changed from DCV to ACV. 2ND Function has changed from ACV to DCV. Please select a "
            "different record.");
  EXPECT_FALSE(m.State().readingActive);
}

TEST_F(Reading, MatchingRecordAsksToContinue) {
  b.Add(kUsb81, "6081", {"CONF:VOLT:DC"});
  auto& m = Open();
  b.SaveInto(2);
  m.StartReading();
  b.Meter(kUsb81)->QueueReadAnswers({"1.5"});
  m.OnReadingTimer();
  m.StopReading();

  b.prompter.ExpectMessage(Answer::No);
  m.StartReading();
  ASSERT_EQ(b.prompter.shown.size(), 1u);
  EXPECT_EQ(b.prompter.shown[0].text.toStdString(), "Record 2 will continue saving the readings.  Continue?");
  EXPECT_EQ(b.prompter.shown[0].buttons, Prompter::Buttons::YesNo);
  EXPECT_FALSE(m.State().readingActive);
  EXPECT_TRUE(m.State().toolbarStartEnabled);
  EXPECT_TRUE(m.Devices().State().listEnabled);

  b.prompter.ExpectMessage(Answer::Yes);
  m.StartReading();
  EXPECT_TRUE(m.State().readingActive);
  b.Meter(kUsb81)->QueueReadAnswers({"2.5"});
  m.OnReadingTimer();
  m.StopReading();
  EXPECT_EQ(Rows(b.RecordPath(2)).size(), 2u);
  // A basic meter's 2ND function is "NONE".
  EXPECT_EQ(StoredFunctions(b.RecordPath(2)).second, "NONE");
}

TEST_F(Reading, RecordWithOnlyOtherKindOfFileHasReadings) {
  b.Add(kUsb81, "6081", {"CONF:VOLT:DC"});
  auto& m = Open();
  {
    QFile f(b.folder.Path() + "/DB/DBfile_DB4.mdb");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  b.SaveInto(4);
  b.prompter.ExpectMessage(Answer::Ok);
  m.StartReading();
  ASSERT_EQ(b.prompter.shown.size(), 1u);
  EXPECT_EQ(b.prompter.shown[0].text.toStdString(),
            "The record already has readings. Please select a different record.");
  EXPECT_FALSE(m.State().readingActive);
}

TEST_F(Reading, MultiDeviceSecondMeterFailsLaterOnesAreNotWritten) {
  b.Add(kUsb81, "6081", {"CONF:VOLT:DC"});
  b.Add(kUsb82, "6082", {"CONF:VOLT:DC"});
  b.Add(kUsb82b, "6082", {"CONF:VOLT:DC"});
  b.Add(kUsb82c, "6082", {"CONF:VOLT:DC"});
  auto& m = Open();
  ASSERT_EQ(m.Devices().DeviceCount(), 4);
  // Record 6 holds DCV readings: the second meter, now on 2W, fails its check.
  b.SaveInto(6);
  m.StartReading();
  m.StopReading();
  b.Meter(kUsb82)->Execute("CONF:RES");
  b.Multi({0, 1, 2, 3}, {5, 6, 7, 8});
  b.prompter.ExpectMessage(Answer::Ok);
  m.StartReading();
  ASSERT_EQ(b.prompter.shown.size(), 1u);
  EXPECT_NE(b.prompter.shown[0].text.indexOf("from DCV to 2W"), -1);
  EXPECT_FALSE(m.State().readingActive);
  EXPECT_TRUE(m.Session().RecordBlocked(2));
  EXPECT_TRUE(m.Session().RecordBlocked(3));
  EXPECT_FALSE(QFile::exists(b.RecordPath(7)));
  EXPECT_FALSE(QFile::exists(b.RecordPath(8)));
}

TEST_F(Reading, OverloadOpenAndDiodeReadings) {
  auto* meter = b.Add(kUsb81, "6081", {"CONF:VOLT:DC"});
  auto& m = Open();
  m.StartReading();
  meter->QueueReadAnswers({"1.0", "9.9E+37"});
  m.OnReadingTimer();
  m.OnReadingTimer();
  EXPECT_EQ(Main(), "OVLD");
  EXPECT_DOUBLE_EQ(m.Chart().Buffer().Value(0, 2), 0.0);  // nothing written at that position
  m.StopReading();

  meter->Execute("CONF:DIOD");
  m.StartReading();
  meter->QueueReadAnswers({"2.5", "0.65", "9.9E+37"});
  m.OnReadingTimer();
  EXPECT_EQ(Main(), "OPEN");
  EXPECT_DOUBLE_EQ(m.Chart().Buffer().Value(0, 1), 0.0);
  m.OnReadingTimer();
  EXPECT_EQ(Main(), "0.650000000000");
  EXPECT_DOUBLE_EQ(m.Chart().Buffer().Value(0, 2), 0.65);
  m.OnReadingTimer();
  EXPECT_EQ(Main(), "OPEN");
  m.StopReading();
}

TEST_F(Reading, FailedReadStopsTheRunAndKeepsEveryEarlierRow) {
  auto* meter = b.Add(kUsb81, "6081", {"CONF:VOLT:DC"});
  auto& m = Open();
  b.SaveInto(1);
  m.StartReading();
  for (int i = 0; i < 5; ++i) m.OnReadingTimer();
  meter->Detach();
  b.prompter.ExpectMessage(Answer::Ok);
  m.OnReadingTimer();
  ASSERT_EQ(b.prompter.shown.size(), 1u);
  EXPECT_EQ(b.prompter.shown[0].text.toStdString(), "Check Device Connection");
  EXPECT_EQ(b.prompter.shown[0].caption.toStdString(), "ERROR");
  EXPECT_EQ(b.prompter.shown[0].icon, Prompter::Icon::Stop);
  EXPECT_FALSE(m.State().readingActive);
  EXPECT_EQ(Rows(b.RecordPath(1)).size(), 5u);

  // The record can be continued once the meter is back.
  meter->Attach();
  m.RefreshDevices();
  b.prompter.ExpectMessage(Answer::Yes);
  m.StartReading();
  EXPECT_TRUE(m.State().readingActive);
  m.OnReadingTimer();
  m.StopReading();
  EXPECT_EQ(Rows(b.RecordPath(1)).size(), 6u);
}

TEST_F(Reading, SlowAcBandwidthPipelinesReads) {
  b.Add(kUsb82, "6082", {"CONF:VOLT:AC", "DET:BAND 3"});
  auto& m = Open();
  b.wire.writes.clear();
  b.wire.timeouts.clear();
  b.wire.clears.clear();
  m.StartReading();
  ASSERT_TRUE(m.Session().SlowAcBandwidth());
  auto sent = b.wire.To(kUsb82);
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.back(), "read?");  // five bytes, no line feed
  ASSERT_FALSE(b.wire.timeouts.empty());
  EXPECT_EQ(b.wire.timeouts.back().second, 1000);

  m.OnReadingTimer();
  EXPECT_EQ(m.Chart().Buffer().PointCount(), 1);
  EXPECT_EQ(b.wire.To(kUsb82).back(), "read?");
  m.OnReadingTimer();
  EXPECT_EQ(m.Chart().Buffer().PointCount(), 2);
  m.StopReading();
  EXPECT_EQ(b.wire.timeouts.back().second, 20000);
  EXPECT_FALSE(m.Session().SlowAcBandwidth());
}

TEST_F(Reading, RedrawEveryXMaxOver50TicksAndScrollAfterXMax) {
  b.Add(kUsb81, "6081", {"CONF:VOLT:DC"});
  auto& m = Open();
  m.StartReading();
  const int before = view.redraws;
  for (int i = 0; i < 10; ++i) m.OnReadingTimer();
  EXPECT_EQ(view.redraws - before, 5);  // XMax 100: every second tick
  m.SetXMax(5);                         // 2000 readings: every fortieth
  const int at = view.redraws;
  for (int i = 0; i < 80; ++i) m.OnReadingTimer();
  EXPECT_EQ(view.redraws - at, 2);
  m.SetXMax(0);  // 50 readings: the window is full and scrolls
  m.OnReadingTimer();
  EXPECT_EQ(m.Chart().Buffer().PointCount(), 50);
  m.StopReading();
}

TEST_F(Reading, StartRefusedWithoutMeters) {
  auto& m = Open();
  b.prompter.ExpectMessage(Answer::Ok);
  m.StartReading();
  ASSERT_EQ(b.prompter.shown.size(), 1u);
  EXPECT_EQ(b.prompter.shown[0].text.toStdString(), "No Device Connected");
  EXPECT_FALSE(m.State().readingActive);
}

TEST_F(Reading, ReadingSpeedRestartsARunningTimer) {
  b.Add(kUsb81, "6081", {"CONF:VOLT:DC"});
  auto& m = Open();
  m.ReadingSpeedChosen(3);
  EXPECT_EQ(m.State().intervalCaption, "Trigger Interval : 500ms");
  EXPECT_TRUE(view.timerStarts.empty());
  m.StartReading();
  m.ReadingSpeedChosen(4);
  EXPECT_EQ(view.timerStarts, (std::vector<int>{500, 1000}));
  m.StopReading();
}

TEST_F(Reading, WhileReadingOnlyStopIsEnabled) {
  b.Add(kUsb81, "6081", {"CONF:VOLT:DC"});
  auto& m = Open();
  m.OnCommand(MenuCommand::StartReading);
  const auto& s = m.State();
  for (MenuCommand c : {MenuCommand::ReadingSettings, MenuCommand::Refresh, MenuCommand::StartReading,
                        MenuCommand::About, MenuCommand::ViewRecord})
    EXPECT_FALSE(s.menu[static_cast<int>(c)].enabled);
  EXPECT_TRUE(s.menu[static_cast<int>(MenuCommand::StopReading)].enabled);
  EXPECT_FALSE(s.toolbarStartEnabled);
  EXPECT_FALSE(m.Devices().State().listEnabled);
  m.OnCommand(MenuCommand::Refresh);  // disabled: nothing happens
  EXPECT_TRUE(s.readingActive);
  m.OnCommand(MenuCommand::StopReading);
  EXPECT_FALSE(s.readingActive);
  // Dialogs not built yet stay disabled.
  EXPECT_FALSE(s.menu[static_cast<int>(MenuCommand::CommandControl)].enabled);
}

}  // namespace
