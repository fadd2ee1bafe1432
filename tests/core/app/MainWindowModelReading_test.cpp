#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "../../support/MainWindowBench.h"

using namespace merilog;
using namespace merilog::test;
using Answer = Prompter::Answer;

namespace {

using Strings = std::vector<std::string>;
const char kRows[] = "SELECT read_value, read_value_2ND, read_time FROM read ORDER BY rowid";
const char kFunctions[] = "SELECT r_function1, r_function2 FROM read_function";

class Reading : public ::testing::Test {
 protected:
  MainWindowBench b;
  CountingView view;
  sim::SimMeter* meter = nullptr;
  MainWindowModel& Open(const char* resource, const char* model, std::vector<std::string> setup) {
    meter = b.Add(resource, model, std::move(setup));
    auto& m = b.Open();
    m.SetObserver(&view);
    return m;
  }
  // Starts, ticks n times and stops.
  void Run(int ticks) {
    b.model->StartReading();
    b.Settle();
    for (int i = 0; i < ticks; ++i) b.model->OnReadingTimer(), b.Settle();
    b.model->StopReading();
    b.Settle();
  }
  // Start answered with Ok: returns the one message it showed.
  std::string Refused() {
    const size_t before = b.prompter.shown.size();
    b.prompter.ExpectMessage(Answer::Ok);
    b.model->StartReading();
    b.Settle();
    EXPECT_FALSE(b.model->ReadingActive());
    return b.prompter.shown.size() == before + 1 ? b.prompter.shown.back().text.toStdString() : "";
  }
  const MeterRowState& Row(int position) { return b.model->Panel().State().meters[position]; }
  std::string Main() { return Row(0).valueText; }
  double Chart(int trace, int point) { return b.model->Chart().Buffer().Value(trace, point); }
};

TEST_F(Reading, DualMeterIntoNewRecordStoresFunctionsAndRows) {
  auto& m = Open(kUsb82, "6082", {"CONF:VOLT:DC", "FUNC2 \"VOLT:AC\""});
  b.SaveInto(3);
  b.wire.clears.clear();
  m.StartReading();
  b.Settle();
  ASSERT_TRUE(m.ReadingActive());
  EXPECT_EQ(view.timerStarts, std::vector<int>{25});
  EXPECT_EQ(Query(b.RecordPath(3), kFunctions), (std::vector<Strings>{{"DCV", "ACV"}}));

  meter->QueueReadAnswers({"1.23456E+00,5.0E-03", "0,-5.0E-01"});
  m.OnReadingTimer();
  b.Settle();
  EXPECT_EQ(Main(), "1.234560000000");
  EXPECT_EQ(Row(0).secondValueText, "0.005000000000");
  EXPECT_DOUBLE_EQ(Chart(0, 1), 1.23456);
  EXPECT_DOUBLE_EQ(Chart(4, 1), 0.005);
  b.clock.AdvanceMs(25);
  m.OnReadingTimer();
  b.Settle();
  EXPECT_EQ(Main(), "0.000000000000");
  EXPECT_EQ(Row(0).secondValueText, "-0.500000000000000");
  EXPECT_DOUBLE_EQ(Chart(0, 2), 1e-25);
  m.StopReading();
  b.Settle();

  EXPECT_EQ(view.timerStops, 1);
  EXPECT_EQ(Query(b.RecordPath(3), kRows),
            (std::vector<Strings>{{"1.23456", "0.005", "14:03:27:045"}, {"0.0", "-0.5", "14:03:27:070"}}));
  // Stop clears the meter and writes the four bytes "*cls".
  EXPECT_EQ(b.wire.clears, std::vector<std::string>{kUsb82});
  EXPECT_TRUE(b.wire.Sent(kUsb82, "*cls"));
}

TEST_F(Reading, MultiMeterPositionsFillTheirTracesAndRecords) {
  auto* basic = b.Add(kUsb81, "6081", {"CONF:VOLT:DC"});
  auto* dual = b.Add(kUsb82, "6082", {"CONF:CURR:DC", "FUNC2 \"VOLT:DC\""});
  auto& m = b.Open();
  m.SetObserver(&view);
  b.MultiInto({5, 6});
  m.StartReading();
  b.Settle();
  ASSERT_TRUE(m.ReadingActive());
  basic->QueueReadAnswers({"1.5"});
  dual->QueueReadAnswers({"-2.5,3.25"});
  m.OnReadingTimer();
  b.Settle();
  m.StopReading();
  b.Settle();

  EXPECT_DOUBLE_EQ(Chart(0, 1), 1.5);
  EXPECT_DOUBLE_EQ(Chart(1, 1), -2.5);
  EXPECT_DOUBLE_EQ(Chart(5, 1), 3.25);  // the second position's 2ND trace
  EXPECT_DOUBLE_EQ(Chart(4, 1), 0.0);   // the basic meter has none
  EXPECT_EQ(Row(1).valueText, "-2.500000000000000");
  EXPECT_EQ(Row(1).secondValueText, "3.250000000000");
  EXPECT_EQ(Query(b.RecordPath(5), kRows), (std::vector<Strings>{{"1.5", "9.9e+21", "14:03:27:045"}}));
  EXPECT_EQ(Query(b.RecordPath(6), kRows), (std::vector<Strings>{{"-2.5", "3.25", "14:03:27:045"}}));
  EXPECT_EQ(Query(b.RecordPath(6), kFunctions), (std::vector<Strings>{{"DCI", "DCV"}}));
}

TEST_F(Reading, RefusedStartsLeaveTheFrontPanelAsItWas) {
  b.Open();
  EXPECT_EQ(Refused(), "No Device Connected");
  b.model.reset();
  auto& m = Open(kUsb82, "6082", {"CONF:VOLT:DC"});
  auto panel = [&] {
    std::vector<bool> enabled{m.DeviceListEnabled(), m.SecondChooser().enabled, m.ToolbarStartEnabled()};
    for (int i = 0; i < kFunctionButtonCount; ++i) enabled.push_back(m.FunctionButton(i).enabled);
    return enabled;
  };
  const auto before = panel();
  // A meter plugged in since the last search: the guard refuses.
  b.Add("USB0::0x3A7D::0x6081::SN09::INSTR", "6081", {"CONF:VOLT:DC"});
  EXPECT_EQ(Refused(), "Connection status has changed.Please select \"Refresh\".");
  EXPECT_EQ(panel(), before);
  m.RefreshDevices();
  b.Settle();
  EXPECT_EQ(panel(), before);
  b.SaveInto(11);  // beyond the records a list shows
  EXPECT_EQ(Refused(), "Please select a record.");
  EXPECT_FALSE(QFile::exists(b.RecordPath(11)));
  EXPECT_EQ(panel(), before);
}

// Locked before the meters are asked (here, at the continuation question) and
// while reading; a disabled command does nothing.
TEST_F(Reading, WhileStartingOrReadingOnlyStopIsEnabled) {
  auto& m = Open(kUsb81, "6081", {"CONF:VOLT:DC"});
  b.SaveInto(2);
  Run(1);
  auto onlyStop = [&] {
    for (MenuCommand c : {MenuCommand::ReadingSettings, MenuCommand::Refresh, MenuCommand::StartReading,
                          MenuCommand::About, MenuCommand::ViewRecord})
      EXPECT_FALSE(m.CommandEnabled(c));
    EXPECT_TRUE(m.CommandEnabled(MenuCommand::StopReading));
    EXPECT_FALSE(m.ToolbarStartEnabled());
    EXPECT_TRUE(m.ToolbarStopEnabled());
    EXPECT_FALSE(m.DeviceListEnabled());
    EXPECT_FALSE(m.FunctionButton(0).enabled);
  };
  bool asked = false;
  b.prompter.onMessage = [&] {
    asked = true;
    onlyStop();
  };
  b.prompter.ExpectMessage(Answer::No);
  m.StartReading();
  b.Settle();
  EXPECT_TRUE(asked);
  b.prompter.onMessage = nullptr;

  b.prompter.ExpectMessage(Answer::Yes);
  m.OnCommand(MenuCommand::StartReading);
  b.Settle();
  onlyStop();
  m.OnCommand(MenuCommand::Refresh);
  b.Settle();
  EXPECT_TRUE(m.ReadingActive());
  m.OnCommand(MenuCommand::StopReading);
  b.Settle();
  EXPECT_FALSE(m.ReadingActive());
  EXPECT_TRUE(m.CommandEnabled(MenuCommand::StartReading));
  EXPECT_TRUE(m.FunctionButton(0).enabled);
}

TEST_F(Reading, OverloadOpenAndDiodeReadings) {
  auto& m = Open(kUsb81, "6081", {"CONF:VOLT:DC"});
  meter->QueueReadAnswers({"1.0", "9.9E+37"});
  Run(2);
  EXPECT_EQ(Main(), "OVLD");
  EXPECT_DOUBLE_EQ(Chart(0, 2), 0.0);  // nothing charted at that position

  meter->Execute("CONF:DIOD");
  m.StartReading();
  b.Settle();
  meter->QueueReadAnswers({"2.5", "0.65", "9.9E+37"});
  for (const char* text : {"OPEN", "0.650000000000", "OPEN"}) {
    m.OnReadingTimer();
    b.Settle();
    EXPECT_EQ(Main(), text);
  }
  EXPECT_DOUBLE_EQ(Chart(0, 1), 0.0);
  EXPECT_DOUBLE_EQ(Chart(0, 2), 0.65);
  m.StopReading();
  b.Settle();
}

TEST_F(Reading, FailedReadStopsTheRunKeepsEveryRowAndTheRecordCanContinue) {
  auto& m = Open(kUsb81, "6081", {"CONF:VOLT:DC"});
  b.SaveInto(1);
  m.StartReading();
  b.Settle();
  for (int i = 0; i < 5; ++i) m.OnReadingTimer(), b.Settle();
  meter->Detach();
  b.prompter.ExpectMessage(Answer::Ok);
  m.OnReadingTimer();
  b.Settle();
  ASSERT_EQ(b.prompter.shown.size(), 1u);
  EXPECT_EQ(b.prompter.shown[0].text, "Check Device Connection");
  EXPECT_EQ(b.prompter.shown[0].caption, "ERROR");
  EXPECT_FALSE(m.ReadingActive());
  EXPECT_EQ(Query(b.RecordPath(1), kRows).size(), 5u);

  // Once the meter is back, the matching record asks before continuing.
  meter->Attach();
  m.RefreshDevices();
  b.Settle();
  b.prompter.ExpectMessage(Answer::Yes);
  Run(1);
  EXPECT_EQ(b.prompter.shown.back().text, "Record 1 will continue saving the readings.  Continue?");
  EXPECT_EQ(Query(b.RecordPath(1), kRows).size(), 6u);
  EXPECT_EQ(Query(b.RecordPath(1), kFunctions)[0][1], "NONE");  // a basic meter has no 2ND function
}

TEST_F(Reading, ARecordThatRefusesReadingsEndsTheRunAndSaysHowManyWereLost) {
  auto& m = Open(kUsb81, "6081", {"CONF:VOLT:DC"});
  b.SaveInto(1);
  m.StartReading();
  b.Settle();
  ASSERT_TRUE(m.ReadingActive());
  // From here on the disk takes nothing more: no file of this process may grow.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const rlimit full{4096, saved.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
  b.prompter.ExpectMessage(Answer::Ok);
  for (int i = 0; i < 100 && m.ReadingActive(); ++i) {
    m.OnReadingTimer();
    b.Settle();
    RunUntil([&] { return !m.ReadingActive(); }, 20);  // a batch is committed every 100 ms
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_FALSE(m.ReadingActive());
  ASSERT_EQ(b.prompter.shown.size(), 1u);
  const std::string text = b.prompter.shown[0].text.toStdString();
  EXPECT_NE(text.find("Record 1.mdb"), std::string::npos) << text;
  EXPECT_NE(text.find("readings were not saved"), std::string::npos) << text;
}

TEST_F(Reading, AMeterSilentAtTheStartIsReportedAsSuchAtOnce) {
  auto& m = Open(kUsb82, "6082", {"CONF:VOLT:DC", "FUNC2 \"VOLT:AC\""});
  b.SaveInto(1);
  meter->Faults().silentAfter = 0;  // still on the bus, answering nothing
  EXPECT_EQ(Refused(), "Check Device Connection");
  EXPECT_EQ(b.prompter.shown.back().caption, "ERROR");
  // One question went unanswered; nothing more was asked and no record was made.
  const auto sent = b.wire.To(kUsb82);
  EXPECT_EQ(std::count(sent.begin(), sent.end(), "*idn?\n"), 0);
  EXPECT_EQ(std::count(sent.begin(), sent.end(), "*cls\n"), 0);
  EXPECT_EQ(std::count(sent.begin(), sent.end(), "*cls"), 1);  // the stop's clearing
  EXPECT_FALSE(QFile::exists(b.RecordPath(1)));
  EXPECT_TRUE(m.ToolbarStartEnabled());
}

TEST_F(Reading, SlowAcBandwidthPipelinesReads) {
  auto& m = Open(kUsb82, "6082", {"CONF:VOLT:AC", "DET:BAND 3"});
  b.wire.timeouts.clear();
  m.StartReading();
  b.Settle();
  ASSERT_TRUE(m.Run().SlowAcBandwidth());
  ASSERT_FALSE(b.wire.timeouts.empty());
  EXPECT_EQ(b.wire.timeouts.back().second, 1000);
  for (int i = 1; i <= 2; ++i) {
    EXPECT_EQ(b.wire.To(kUsb82).back(), "read?");  // five bytes, no line feed, sent ahead of the tick
    m.OnReadingTimer();
    b.Settle();
    EXPECT_EQ(m.Chart().Buffer().PointCount(), i);
  }
  // A failed read in this mode stops the run like any other.
  meter->Detach();
  b.prompter.ExpectMessage(Answer::Ok);
  m.OnReadingTimer();
  b.Settle();
  EXPECT_EQ(b.prompter.shown.back().text, "Check Device Connection");
  EXPECT_FALSE(m.ReadingActive());
  EXPECT_EQ(b.wire.timeouts.back().second, 20000);
  EXPECT_FALSE(m.Run().SlowAcBandwidth());
}

TEST(ReadingRun, OnlyABandwidthOfThreePipelinesTheReads) {
  for (const char* yes : {"3", "3.0", "3.9", " 3"}) EXPECT_TRUE(IsSlowBandwidth(yes)) << yes;
  for (const char* no : {"", "abc", "nan", "inf", "1e30", "-3", "20", "2.99"}) EXPECT_FALSE(IsSlowBandwidth(no)) << no;
}

TEST_F(Reading, RedrawsEveryXMaxOver50Ticks) {
  auto& m = Open(kUsb81, "6081", {"CONF:VOLT:DC"});
  m.StartReading();
  b.Settle();
  int before = view.redraws;
  for (int i = 0; i < 10; ++i) m.OnReadingTimer(), b.Settle();
  EXPECT_EQ(view.redraws - before, 5);  // XMax 100: every second tick
  m.SetXMax(5);                         // 2000 readings: every fortieth
  before = view.redraws;
  for (int i = 0; i < 40; ++i) m.OnReadingTimer(), b.Settle();
  EXPECT_EQ(view.redraws - before, 1);
  m.StopReading();
  b.Settle();
}

TEST_F(Reading, ReadingSpeedRestartsARunningTimer) {
  auto& m = Open(kUsb81, "6081", {"CONF:VOLT:DC"});
  m.ReadingSpeedChosen(3);
  EXPECT_EQ(m.IntervalCaption(), "Trigger Interval : 500ms");
  EXPECT_TRUE(view.timerStarts.empty());
  m.StartReading();
  b.Settle();
  m.ReadingSpeedChosen(4);
  EXPECT_EQ(view.timerStarts, (std::vector<int>{500, 1000}));
  m.StopReading();
  b.Settle();
}

}  // namespace
