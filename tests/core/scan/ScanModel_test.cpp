// The scan dialog over simulated meters: its own search, the card read back,
// runs on the card's own timing (plain, PerScan with start and stop times
// through a night), the end of a run at Exit, and the rebuilt grid.
#include <gtest/gtest.h>

#include "ScanBench.h"
#include "core/scan/ScanFunctionTable.h"
#include "support/PrintQString.h"

namespace merilog {
namespace {

using test::kScanner;
using test::ScanBench;

TEST(ScanSearch, FindsScannerMetersOfAnyMakerAndReadsTheChosenCard) {
  ScanBench b;
  const std::string gpibScanner = "GPIB0::9::INSTR", meter = "USB0::0x3A7D::0x6081::SN01::INSTR";
  b.Add(meter, "6081");
  b.Add(kScanner, "P7700A", 20, {"ROUT:SCAN:FUNC 1,\"VOLT:DC\";FUNC 2,\"CURR\";FUNC 3,\"FRES\";FUNC 4,\"VOLT:AC\""});
  b.Add(gpibScanner, "P7700A", 10);
  ScanModel& m = b.Open();

  ScanViewState v = m.View();
  EXPECT_EQ(v.deviceNames, (QStringList{"MODEL P7700A-USBTMC-SN04", "MODEL P7700A-GPIB-9"}));
  EXPECT_EQ(v.deviceSelected, 0);
  for (const std::string& r : {meter, std::string(kScanner), gpibScanner}) {
    const auto sent = b.Sent(r);
    ASSERT_GE(sent.size(), 2u) << r;
    EXPECT_EQ(sent[0], "L0\n");
    EXPECT_EQ(sent[1], "*IDN?\n");
  }
  EXPECT_EQ(b.Sent(meter).size(), 2u);  // not a scanner: asked nothing more
  EXPECT_EQ(b.wire.timeouts.size(), 3u);
  for (const auto& [r, ms] : b.wire.timeouts) EXPECT_EQ(ms, 30000) << r;

  std::vector<std::string> card{"Rout:state?\n"};
  for (int c = 1; c <= 20; ++c) card.push_back("Rout:scan:func? " + std::to_string(c) + "\n");
  card.push_back("Rout:scan:func? 1\n");
  EXPECT_EQ(b.SentFrom("Rout:state?"), card);
  const int functions[] = {kScanDcv, kScanNone, kScan4W, kScanAcv, kScanNone};
  for (int c = 0; c < 5; ++c) EXPECT_EQ(m.Setup().Channel(c).functionIndex, functions[c]) << c;
  EXPECT_EQ(v.channelItems.size(), 20);
  EXPECT_EQ(v.functionSelected, kScanDcv);
  EXPECT_EQ(v.scanCountText, "20");
  EXPECT_TRUE(v.startButton.enabled);

  m.ScanDeviceChosen(1);
  b.Settle();
  EXPECT_EQ(m.View().channelItems.size(), 10);
  EXPECT_EQ(m.View().scanCountText, "20");  // the defaults are set at the opening only
}

TEST(ScanSearch, WithoutAScannerOrItsCardTheSettingsStayDisabled) {
  struct Case {
    const char* model;
    int channels;
    int silentAfter;
    int listed;
    const char* message;
  };
  const Case cases[] = {
      {"6081", -1, -1, 0, nullptr},                     // no scanner-capable meter
      {"P7700A", 0, -1, 1, nullptr},                    // no card in it
      {"P7700A", 20, 1, 1, "Check Device Connection"},  // silent after its identification
  };
  for (const Case& k : cases) {
    ScanBench b;
    b.Add(kScanner, k.model, k.channels)->Faults().silentAfter = k.silentAfter;
    if (k.message) b.prompter.ExpectMessage(Prompter::Answer::Ok);
    const ScanViewState v = b.Open().View();
    EXPECT_EQ(v.deviceNames.size(), k.listed) << k.model;
    EXPECT_FALSE(v.startButton.enabled);
    EXPECT_FALSE(v.channelChooser.enabled);
    EXPECT_FALSE(v.stopAfterNBox.enabled);
    EXPECT_EQ(v.deviceList.enabled, k.listed > 0);
    ASSERT_EQ(b.prompter.shown.size(), k.message ? 1u : 0u) << k.model;
    if (k.message) {
      EXPECT_EQ(b.prompter.shown[0].text, k.message);
    }
  }
}

// (A PerScan run with Stop After N is the window test's run.)
TEST(ScanModelRun, FourWireLeavesItsPairOutAndChangedFunctionsRebuildTheGrid) {
  ScanBench b;
  b.Add(kScanner, "P7700A", 10);
  ScanModel& m = b.Open();
  b.Channels({{1, kScan4W}});
  m.StartScan();
  EXPECT_FALSE(m.View().startButton.enabled);  // locked while the run goes on
  EXPECT_FALSE(m.View().deviceList.enabled);
  EXPECT_FALSE(m.View().stopButton.enabled);  // one count the card makes to its end
  ASSERT_TRUE(b.RunScan());

  std::vector<std::string> expected{"rout:scan:func 1,\"FRES\"\n"};
  for (int c : {2, 3, 4, 5, 7, 8, 9, 10}) expected.push_back("rout:scan:func " + std::to_string(c) + ",\"NONE\"\n");
  for (const char* line : {"Rout:scan:count 10\n", "Rout:scan:timer 0.500000\n", "route:scan\n"})
    expected.push_back(line);
  const auto sent = b.SentFrom("rout:scan:func");
  ASSERT_GT(sent.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(sent.begin(), sent.begin() + expected.size()), expected);
  EXPECT_EQ(sent.back(), "fetch?\n");
  EXPECT_EQ(m.Run().ReadingsPerScanCount(), 1);
  EXPECT_EQ(b.GridRow(0), (QStringList{"", "Time", "CH1(4W)"}));
  ASSERT_EQ(m.Grid().Rows(), 11);
  for (int r = 1; r <= 10; ++r) {
    EXPECT_EQ(m.Grid().Cell(r, 0), QString::number(r));
    EXPECT_GT(m.Grid().Cell(r, 2).toDouble(), 10) << r;  // four-wire ohms of the simulated input
  }
  const ScanViewState v = m.View();
  EXPECT_EQ(v.progressText, "10/10");
  EXPECT_TRUE(v.startButton.enabled);
  EXPECT_TRUE(v.exportButton.enabled);

  b.Channels({{5, kScanAcv}});
  m.ScanCountEdited("2");  // fewer than the card's channels: the grid is cut first
  m.StartScan();
  ASSERT_TRUE(b.RunScan());
  EXPECT_EQ(b.GridRow(0), (QStringList{"", "Time", "CH5(ACV)"}));
  ASSERT_EQ(m.Grid().Rows(), 3);
  EXPECT_EQ(m.Grid().Cell(2, 0), "2");
}

TEST(ScanModelRun, PerScanRunFromAStartTimeToAStopTimeThroughTheNight) {
  ScanBench b;
  b.clock->Set(QDateTime(QDate(2024, 5, 6), QTime(19, 58, 30)));
  b.Add(kScanner, "P7700A", 20);
  ScanModel& m = b.Open();
  b.Channels({{1, kScanDcv}, {2, kScanAcv}, {11, kScan2W}, {12, kScanFreq}});
  m.AtTimeToggled(true);
  m.PickerChanged(ScanPicker::AtTime, QDateTime(QDate(2024, 5, 6), QTime(20, 0, 0)));
  m.PerScanIntervalToggled(true);
  m.IntervalChanged(QTime(0, 10, 0));
  m.StopTimeToggled(true);
  const QDateTime stop(QDate(2024, 5, 7), QTime(6, 0, 0));
  m.PickerChanged(ScanPicker::StopTime, stop);
  m.StartScan();
  EXPECT_EQ(m.Run().CurrentPhase(), ScanRun::Phase::WaitingForStart);
  ASSERT_TRUE(b.RunScan());

  // A scan counts its 4 readings in 2 s, settles 1 s, and the next starts 10 minutes after the
  // last look at its progress: every 602 s from 20:00:01, 60 scans before 06:00, one row each.
  const ScanResultsGrid& g = m.Grid();
  ASSERT_EQ(g.Rows(), 61);
  EXPECT_EQ(b.GridRow(0), (QStringList{"", "Time", "CH1(DCV)", "CH2(ACV)", "CH11(2W)", "CH12(Freq)"}));
  EXPECT_EQ(g.Cell(1, 1), "20:0:4");  // started once 20:00:00 had passed
  EXPECT_EQ(g.Cell(2, 1), "20:10:6");
  EXPECT_EQ(g.Cell(60, 0), "60");
  EXPECT_EQ(g.Cell(60, 1), "5:52:2");
  EXPECT_FALSE(g.Cell(60, 5).isEmpty());
  const auto starts = b.SentFrom("route:scan");
  EXPECT_EQ(std::count(starts.begin(), starts.end(), "route:scan\n"), 60);
  EXPECT_EQ(std::count(starts.begin(), starts.end(), "Rout:scan:count 4\n"), 59);  // the first is before
  EXPECT_EQ(b.clock->Now(), QDateTime(QDate(2024, 5, 7), QTime(6, 2, 1)));         // the 61st start found it past
  EXPECT_EQ(m.Run().ResultsRow(), 61);
  EXPECT_TRUE(m.View().startButton.enabled);
}

// An endless PerScan run ends with Stop: after the scan in progress, its rows
// kept, or at once while it waits for its next scan.
TEST(ScanModelRun, StopEndsAnEndlessPerScanRun) {
  ScanBench b;
  b.Add(kScanner, "P7700A", 10);
  ScanModel& m = b.Open();
  b.Channels({{1, kScanDcv}});
  m.PerScanIntervalToggled(true);
  m.StartScan();
  EXPECT_TRUE(m.View().stopButton.enabled);
  ASSERT_TRUE(test::RunSchedule(
      b.timers, *b.clock, [&] { return m.Run().ScansDone() < 3 || m.Run().CurrentPhase() != ScanRun::Phase::Scanning; },
      [&] { return m.WaitingForMeter(); }));
  m.StopScan();
  EXPECT_FALSE(m.View().stopButton.enabled);
  EXPECT_EQ(m.View().statusText, "Stopping after the scan in progress.");
  ASSERT_TRUE(b.RunScan());
  EXPECT_EQ(m.Grid().Rows(), 4);
  EXPECT_EQ(m.Grid().Cell(3, 0), "3");
  EXPECT_EQ(m.Run().LastEnding(), ScanRun::Ending::Stopped);
  EXPECT_EQ(m.View().statusText, "Stopped: 3 scans kept.");
  EXPECT_TRUE(m.View().startButton.enabled);

  m.StartScan();
  ASSERT_TRUE(test::RunSchedule(
      b.timers, *b.clock, [&] { return m.Run().CurrentPhase() != ScanRun::Phase::WaitingForInterval; },
      [&] { return m.WaitingForMeter(); }));
  m.StopScan();
  EXPECT_FALSE(m.Run().Active());
  EXPECT_EQ(m.View().statusText, "Stopped: 1 scan kept.");
  for (int i = 0; i < kScanTimerCount; ++i) EXPECT_FALSE(b.timers.Running(static_cast<ScanTimerId>(i)));
}

TEST(ScanModelRun, ExitStopsTheRunAndClosesTheMeters) {
  ScanBench b;
  b.Add(kScanner, "P7700A", 20);
  ScanModel& m = b.Open();
  b.Channels({{1, kScanDcv}});
  m.PerScanIntervalToggled(true);
  m.StartScan();
  // Exit with the set-up on its way, then at the wait for the next scan.
  m.Exit();
  EXPECT_FALSE(m.Run().Active());
  EXPECT_EQ(m.Devices().Count(), 0);
  EXPECT_FALSE(m.WaitingForMeter());
  for (int i = 0; i < kScanTimerCount; ++i) EXPECT_FALSE(b.timers.Running(static_cast<ScanTimerId>(i)));
  EXPECT_EQ(m.Run().LastEnding(), ScanRun::Ending::Exited);

  b.Open();
  b.Channels({{1, kScanDcv}});
  m.PerScanIntervalToggled(true);
  m.StartScan();
  ASSERT_TRUE(test::RunSchedule(
      b.timers, *b.clock, [&] { return m.Run().CurrentPhase() != ScanRun::Phase::WaitingForInterval; },
      [&] { return m.WaitingForMeter(); }));
  const int rows = m.Grid().Rows();
  m.Exit();
  EXPECT_FALSE(b.timers.Running(ScanTimerId::Interval));
  EXPECT_EQ(m.Grid().Rows(), rows);  // what was measured stays
  EXPECT_TRUE(m.View().exportButton.enabled);
}

}  // namespace
}  // namespace merilog
