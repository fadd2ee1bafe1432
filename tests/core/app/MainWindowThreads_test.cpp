// The window never waits for a meter: what the threads change, seen from the
// model. Meters here take real time to answer (SlowBackend), so answers come
// in whatever order the threads give them.
#include <gtest/gtest.h>

#include "../../support/MainWindowBench.h"

using namespace merilog;
using namespace merilog::test;
using Answer = Prompter::Answer;

namespace {

constexpr char kUsb83[] = "USB0::0x3A7D::0x6081::SN03::INSTR";

const char kTimes[] = "SELECT read_time FROM read ORDER BY rowid";

class Threads : public ::testing::Test {
 protected:
  MainWindowBench b;
  CountingView view;
  void Meters(int n) {
    const char* resources[] = {kUsb81, kUsb82, kUsb83};
    for (int i = 0; i < n; ++i) b.Add(resources[i], i == 1 ? "6082" : "6081", {"CONF:VOLT:DC"});
  }
  MainWindowModel& Open() {
    auto& m = b.Open();
    m.SetObserver(&view);
    return m;
  }
};

TEST_F(Threads, DiscoveryListsInBusOrderWhateverOrderTheAnswersComeIn) {
  Meters(3);
  b.latency->Hold(kUsb81);  // the first on the bus answers last
  b.latency->SetDelay(kUsb82, 40);
  b.model = std::make_unique<MainWindowModel>(b.rm, b.prompter, b.clock);
  // Had the window waited for the held meter, its identification would have
  // timed out and the list below would lack it.
  b.model->Initialise();
  EXPECT_TRUE(b.model->Busy());
  EXPECT_TRUE(b.model->Devices().Lines().empty());
  b.latency->Release(kUsb81);
  b.Settle();
  EXPECT_EQ(b.model->Devices().Lines(),
            (std::vector<std::string>{"MODEL 6081-USBTMC-SN01", "MODEL 6082-USBTMC-SN02", "MODEL 6081-USBTMC-SN03"}));
  EXPECT_EQ(b.model->Devices().CurrentSlot(), 0);
  EXPECT_EQ(b.model->Panel().State().functionText, "Function : DCV");
}

TEST_F(Threads, ATickAppliesAnswersInMeterOrderEachStampedWhenItCame) {
  Meters(2);
  auto& m = Open();
  b.MultiInto({1, 2});
  m.StartReading();
  b.Settle();
  ASSERT_TRUE(m.ReadingActive());
  b.latency->SetDelay(kUsb81, 60);  // the first meter answers after the second
  b.clock.SetStepMs(100);
  m.OnReadingTimer();
  b.Settle();
  b.clock.SetStepMs(0);
  m.StopReading();
  b.Settle();
  const auto first = Query(b.RecordPath(1), kTimes), second = Query(b.RecordPath(2), kTimes);
  ASSERT_EQ(first.size(), 1u);
  ASSERT_EQ(second.size(), 1u);
  EXPECT_LT(second[0][0], first[0][0]);  // the second meter's answer came first
  EXPECT_NE(m.Panel().State().meters[0].valueText, "0");
  EXPECT_NE(m.Panel().State().meters[1].valueText, "0");
}

TEST_F(Threads, AMeterSilentInATickStopsTheRunKeepingTheOtherMetersRows) {
  Meters(2);
  auto& m = Open();
  b.MultiInto({1, 2});
  m.StartReading();
  b.Settle();
  for (int i = 0; i < 3; ++i) m.OnReadingTimer(), b.Settle();
  b.bench->Meter(kUsb81)->Faults().silentAfter = 0;
  b.prompter.ExpectMessage(Answer::Ok);
  m.OnReadingTimer();
  b.Settle();
  ASSERT_FALSE(b.prompter.shown.empty());
  EXPECT_EQ(b.prompter.shown.back().text, "Check Device Connection");
  EXPECT_FALSE(m.ReadingActive());
  EXPECT_EQ(Query(b.RecordPath(1), kTimes).size(), 3u);
  EXPECT_EQ(Query(b.RecordPath(2), kTimes).size(), 4u);  // the reading it gave in the failed tick too
}

// The held read only ends when the test releases it (or at its time-out), so a
// read still waiting when a call returns shows the call did not wait for it.
TEST_F(Threads, StopAndLateTicksWhileAReadWaitsAndCloseNeverWaits) {
  Meters(1);
  auto& m = Open();
  m.StartReading();
  b.Settle();
  b.latency->Hold(kUsb81);  // switched off mid-run: reads wait for the time-out
  m.OnReadingTimer();
  m.OnReadingTimer();  // the first tick still waits: not started twice
  EXPECT_EQ(m.Run().LateTicks(), 1);
  EXPECT_EQ(m.IntervalCaption(), "Trigger Interval : 25ms (1 late)");
  ASSERT_TRUE(RunUntil([&] { return b.wire.Waiting(kUsb81) == 1; }));
  m.StopReading();
  EXPECT_EQ(b.wire.Waiting(kUsb81), 1);
  EXPECT_FALSE(m.ReadingActive());
  EXPECT_TRUE(m.ToolbarStartEnabled());
  // The meter answers again: the clearing went out after the read it waited behind.
  b.latency->Release(kUsb81);
  b.Settle();
  const auto sent = b.wire.To(kUsb81);
  const auto read = std::find(sent.rbegin(), sent.rend(), "read?\n");
  const auto cls = std::find(sent.rbegin(), sent.rend(), "*cls");
  ASSERT_TRUE(read != sent.rend() && cls != sent.rend());
  EXPECT_LT(cls - sent.rbegin(), read - sent.rbegin());

  // Closed while a meter is silent: the model goes with the read still waiting.
  m.StartReading();
  b.Settle();
  b.latency->Hold(kUsb81);
  m.OnReadingTimer();
  ASSERT_TRUE(RunUntil([&] { return b.wire.Waiting(kUsb81) == 1; }));
  b.model.reset();
  EXPECT_EQ(b.wire.Waiting(kUsb81), 1);
  b.latency->Release(kUsb81);
}

}  // namespace
