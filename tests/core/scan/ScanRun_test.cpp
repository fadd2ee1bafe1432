// A scan run against a scripted meter: the checks and their messages, the
// commands sent, the waits before "fetch?", the current conversion and
// overloads, and the ends of a run whose meter stops answering or counting.
#include "core/scan/ScanRun.h"

#include <gtest/gtest.h>

#include <QDateTime>

#include "core/base/Clock.h"
#include "core/instrument/ScriptSession.h"
#include "core/instrument/SessionWorker.h"
#include "core/scan/ScanFunctionTable.h"
#include "core/scan/ScanResultsGrid.h"
#include "core/scan/ScanSetup.h"
#include "support/PrintQString.h"
#include "support/ScriptedPrompter.h"
#include "support/VirtualScanTimers.h"

namespace merilog {
namespace {

using test::ScriptSession;

struct RunFixture : ::testing::Test {
  test::ScriptedPrompter prompter;
  FixedClock clock{QDateTime(QDate(2024, 5, 6), QTime(14, 3, 27))};
  test::VirtualScanTimers timers{clock};
  ScanSetup setup{prompter, clock};
  ScanResultsGrid grid;
  ScanRun run{setup, grid, prompter, clock, timers};
  ScriptSession* session = nullptr;  // lives on the worker's thread; read once the run is idle
  std::unique_ptr<SessionWorker> worker;
  std::vector<QString> progress;

  RunFixture() {
    test::EnsureEventLoop();
    auto s = std::make_unique<ScriptSession>("SCAN");
    session = s.get();
    worker = std::make_unique<SessionWorker>(std::move(s));
    run.SetMeter(worker.get());
    run.onChanged = [this] {
      if (progress.empty() || progress.back() != run.ProgressText()) progress.push_back(run.ProgressText());
    };
  }
  // A card of `channels` with the given channels (1-based) set and every other one None.
  void Card(int channels, const std::vector<std::pair<int, int>>& functions) {
    setup.LoadCard(channels, std::vector<std::string>(static_cast<std::size_t>(channels), "\"NONE\""), "NONE");
    for (auto [channel, function] : functions) {
      setup.ScanChannelChosen(channel - 1);
      setup.ScanFunctionChosen(function);
    }
  }
  void Answers(std::vector<std::string> answers) {
    for (auto& a : answers) session->answers.push_back(a + "\n");
  }
  bool RunToEnd() {
    run.StartScan();
    return test::RunSchedule(
        timers, clock, [&] { return run.Active(); }, [&] { return run.WaitingForMeter(); });
  }
  std::vector<std::string> Writes() {
    return worker->Call<std::vector<std::string>>([this](Session*) { return session->writes; });
  }
  std::vector<int> FetchWaits() const {
    std::vector<int> waits;
    for (auto [timer, ms] : timers.starts)
      if (timer == ScanTimerId::FetchWait) waits.push_back(ms);
    return waits;
  }
  QStringList Row(int row) const {
    QStringList cells;
    for (int c = 0; c < grid.Columns(); ++c) cells << grid.Cell(row, c);
    return cells;
  }
};

TEST_F(RunFixture, StopAfterThreeScansOfFourChannelsAsksForTwelveReadings) {
  Card(20, {{1, kScanDcv}, {2, kScanAcv}, {3, kScan2W}, {5, kScanFreq}});
  setup.StopAfterNToggled(true);
  setup.NEdited("3");
  Answers({"5", "12", "1,2,3,4,5,6,7,8,9,10,11,12"});
  ASSERT_TRUE(RunToEnd());

  std::vector<std::string> expected;
  for (int c = 1; c <= 20; ++c) {
    const char* name = c == 1 ? "VOLT:DC" : c == 2 ? "VOLT:AC" : c == 3 ? "RES" : c == 5 ? "FREQ" : "NONE";
    expected.push_back("rout:scan:func " + std::to_string(c) + ",\"" + name + "\"\n");
  }
  for (const char* line : {"Rout:scan:count 12\n", "Rout:scan:timer 0.500000\n", "route:scan\n", "Rout:scan:state?\n",
                           "Rout:scan:state?\n", "fetch?\n"})
    expected.push_back(line);
  EXPECT_EQ(Writes(), expected);
  EXPECT_EQ(run.ReadingsPerScanCount(), 4);
  EXPECT_EQ(run.ExpectedReadings(), 12);
  EXPECT_EQ(progress, (std::vector<QString>{"0/12", "5/12", "12/12"}));
  EXPECT_EQ(setup.ScanCountText(), "12");  // the total is written back
  EXPECT_EQ(FetchWaits(), std::vector<int>{1000});
  EXPECT_EQ(Row(0), (QStringList{"", "Time", "CH1(DCV)", "CH2(ACV)", "CH3(2W)", "CH5(Freq)"}));
  EXPECT_EQ(grid.Rows(), 4);
  EXPECT_EQ(Row(3), (QStringList{"3", "14:3:29", "9.00000000", "10.00000000", "11.00000000", "12.00000000"}));
  EXPECT_TRUE(grid.Centred(2));
  EXPECT_FALSE(grid.Centred(1));
  EXPECT_EQ(run.LastEnding(), ScanRun::Ending::Completed);
}

TEST_F(RunFixture, CurrentChannelsAreConvertedAndOverloadsShownAsOvld) {
  Card(20, {{1, kScanDci}, {4, kScanDcv}, {3, kScanDci}});
  setup.ShuntREdited("100");
  setup.CurrentOffsetEdited("0.01");
  setup.ScanChannelChosen(0);  // DCI without a shunt on show: refused, nothing sent
  prompter.ExpectMessage(Prompter::Answer::Ok);
  run.StartScan();
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text, "The value of \"R\" can't equal to 0 ! Please re-enter.");
  EXPECT_FALSE(run.Active());
  EXPECT_TRUE(Writes().empty());

  setup.ScanChannelChosen(3);
  setup.ScanCountEdited("6");
  Answers({"6", "0.5,0.5,+9.9E37\n,-1,+9.90000000E+37,2"});
  ASSERT_TRUE(RunToEnd());
  const auto writes = Writes();
  EXPECT_EQ(writes[0], "rout:scan:func 1,\"VOLT:DC\"\n");  // measured as the voltage it is
  EXPECT_EQ(writes[2], "rout:scan:func 3,\"VOLT:DC\"\n");
  EXPECT_EQ(setup.Channel(0).functionIndex, kScanDcv);  // and shown as DCV from now on
  EXPECT_EQ(Row(0), (QStringList{"", "Time", "CH1(DCV)", "CH3(DCI)", "CH4(DCV)"}));
  EXPECT_EQ(Row(1), (QStringList{"1", "14:3:28", "0.50000000", "0.01500000", "OVLD"}));
  EXPECT_EQ(Row(2), (QStringList{"2", "14:3:28", "-1.00000000", "OVLD", "2.00000000"}));
}

// Every STEP run, plain, Stop After N or PerScan, waits for the last dwell.
TEST_F(RunFixture, StepModeWaitsForTheLastDwellBeforeFetching) {
  struct Case {
    QString timer;
    bool step, stopAfterN, perScan;
    int wait;
  };
  const Case cases[] = {
      {"2", true, false, false, 2300},  {"1", true, false, false, 1300},   {"4", true, false, false, 5000},
      {"12", true, false, false, 1000}, {"0.5", true, false, false, 1000}, {"2", false, false, false, 1000},
      {"2", true, true, false, 2300},   {"2", true, true, true, 2300},
  };
  for (const Case& k : cases) {
    timers.starts.clear();
    Card(10, {{1, kScanDcv}, {2, kScanDcv}});
    setup.StopAfterNToggled(k.stopAfterN);
    setup.PerScanIntervalToggled(k.perScan);
    setup.ScanModeChosen(k.step ? 1 : 0);
    setup.TimerEdited(k.timer);
    setup.ScanCountEdited("2");
    Answers({"2", "1,2"});
    const auto before = Writes().size();
    ASSERT_TRUE(RunToEnd()) << k.timer.toStdString();
    const auto writes = Writes();
    EXPECT_EQ(writes[before + 11], "Rout:scan:timer " + std::to_string(k.timer.toDouble()) + "\n");
    EXPECT_EQ(writes[before + 12], k.step ? "route:scan:step\n" : "route:scan\n");
    EXPECT_EQ(FetchWaits(), std::vector<int>{k.wait}) << k.timer.toStdString() << (k.step ? " STEP" : " SCAN");
  }
}

// A fetch short of what the card counted: the cells are marked and the status says so.
TEST_F(RunFixture, ReadingsTheCardDidNotReturnAreMarkedAndCounted) {
  Card(10, {{1, kScanDcv}, {2, kScanDcv}});
  setup.ScanCountEdited("5");
  Answers({"5", "1,2,,4"});
  ASSERT_TRUE(RunToEnd());
  EXPECT_EQ(Row(2), (QStringList{"2", "14:3:28", "MISSING", "4.00000000"}));
  EXPECT_EQ(Row(3), (QStringList{"3", "14:3:28", "MISSING", ""}));  // the count ends after one reading
  EXPECT_EQ(run.MissingReadings(), 2);
  EXPECT_EQ(run.StatusText(), "The card returned 3 of 5 readings; the cells without one read MISSING.");
}

// An unfinished or malformed Timer, a malformed N, no channel to measure, a
// value out of range (reported by the field, then by the start's own
// exchange), or a run of no reading: one message at the start each, and
// nothing sent, also when the start would wait for its moment.
TEST_F(RunFixture, RefusedEntriesShowAMessageAndSendNothing) {
  const std::pair<std::function<void()>, bool> entries[] = {
      {[&] { setup.TimerEdited("1."); }, false},
      {[&] { setup.TimerEdited("0,5"); }, false},
      {[&] { setup.NEdited("2a"); }, false},
      {[&] { setup.ScanFunctionChosen(kScanNone); }, false},
      {[&] { setup.ScanCountEdited("2001"); }, true},
      {[&] { setup.ScanCountEdited("0"); }, false},
      {[&] {
         setup.StopAfterNToggled(true);
         setup.NEdited("1000000000");
       },
       false},
  };
  for (const auto& [enter, fieldReports] : entries) {
    Card(10, {{1, kScanDcv}});
    setup.ScanCountEdited("10");
    setup.TimerEdited("0.5");
    setup.NEdited("1");
    setup.StopAfterNToggled(false);
    setup.AtTimeToggled(true);
    if (fieldReports) prompter.ExpectMessage(Prompter::Answer::Ok);
    enter();
    const auto before = prompter.shown.size();
    prompter.ExpectMessage(Prompter::Answer::Ok);
    run.StartScan();
    EXPECT_EQ(prompter.shown.size(), before + 1) << prompter.shown.back().text.toStdString();
    EXPECT_FALSE(run.Active());
  }
  EXPECT_EQ(prompter.shown.back().text, "Please enter an integer between 1 and 200.");
  EXPECT_TRUE(prompter.AllAnswersUsed());
  EXPECT_TRUE(Writes().empty());
}

TEST_F(RunFixture, AMeterThatStopsAnsweringOrCountingEndsTheRun) {
  // Silent: the first poll fails.
  Card(10, {{1, kScanDcv}});
  prompter.ExpectMessage(Prompter::Answer::Ok);
  prompter.onMessage = [this] { EXPECT_FALSE(run.Active()); };  // over before the message shows
  ASSERT_TRUE(RunToEnd());
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text, "Check Device Connection");
  EXPECT_EQ(run.LastEnding(), ScanRun::Ending::MeterSilent);

  // Stuck at 3 of 10: polled until a minute and twice the timer pass without a new reading.
  prompter.shown.clear();
  Answers(std::vector<std::string>(400, "3"));
  prompter.ExpectMessage(Prompter::Answer::Ok);
  const qint64 start = clock.Now().toMSecsSinceEpoch();
  ASSERT_TRUE(RunToEnd());
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text, "The scan stopped at 3/10: the meter counted no reading for 61 s.");
  EXPECT_EQ(run.LastEnding(), ScanRun::Ending::NoProgress);
  EXPECT_NEAR(clock.Now().toMSecsSinceEpoch() - start, 61500, 500);
  EXPECT_FALSE(timers.Running(ScanTimerId::Progress));

  // A count that is no number ("nan") is no reading counted.
  prompter.shown.clear();
  session->answers.clear();
  Answers(std::vector<std::string>(400, "nan"));
  prompter.ExpectMessage(Prompter::Answer::Ok);
  ASSERT_TRUE(RunToEnd());
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text, "The scan stopped at 0/10: the meter counted no reading for 61 s.");
}

}  // namespace
}  // namespace merilog
