#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "../../support/MainWindowBench.h"
#include "core/instrument/ExchangeSequence.h"
#include "core/measure/ReadingRun.h"

using namespace merilog;
using namespace merilog::test;
using Outcome = ReadingRun::TickOutcome;

namespace {

// A run over the bench's meters driven the way `merilog-cli log` drives it:
// the meters' threads keep the time.
class Paced : public ::testing::Test {
 protected:
  MainWindowBench b;
  ExchangeSequence sequence;
  std::unique_ptr<ReadingRun> run;
  std::vector<Outcome> outcomes;

  void SetUp() override {
    b.Add(kUsb81, "6081", {"CONF:VOLT:DC"});
    b.Add(kUsb82, "6082", {"CONF:VOLT:DC"});
    b.Open();
    run = std::make_unique<ReadingRun>(b.model->Devices(), b.prompter, b.clock, sequence);
  }
  void TearDown() override {
    run->Stop();
    Settle();
  }
  // Starts the meters of `lines` (0-based), each saving into record line + 1.
  void Start(std::vector<int> lines, qint64 runForMs = 0) {
    ReadingPlan plan;
    plan.multiDeviceMode = lines.size() > 1;
    plan.currentSlot = lines[0];
    for (size_t k = 0; k < lines.size(); ++k) {
      plan.positionSlots.push_back(lines[k]);
      plan.saveEnabled[k] = 1;
      plan.recordNumber[k] = lines[k] + 1;
    }
    plan.runForMs = runForMs;
    bool running = false;
    run->Lock();
    run->Start(plan, [&](ReadingRun::StartOutcome o) { running = o == ReadingRun::StartOutcome::Running; });
    ASSERT_TRUE(RunUntil([&] { return sequence.Idle() && run->CurrentPhase() != ReadingRun::Phase::Starting; }));
    ASSERT_TRUE(running);
  }
  bool Pace(long long ticks) {
    return run->Pace(1, ticks, [this](Outcome o) { outcomes.push_back(o); });
  }
  int Reads(const char* resource) const {
    const auto w = b.wire.To(resource);
    return static_cast<int>(std::count(w.begin(), w.end(), "read?\n"));
  }
  long long Rows(int record) {
    return std::stoll(Query(b.RecordPath(record), "SELECT count(*) FROM read")[0][0]);
  }
  // Lets whatever is still under way arrive.
  void Settle(int ms = 60) {
    RunUntil([] { return false; }, ms);
  }
};

TEST_F(Paced, EveryTickIsAskedOnceAppliedOnceAndStoredForEveryMeter) {
  Start({0, 1});
  const int before81 = Reads(kUsb81), before82 = Reads(kUsb82);
  // One meter answers five times slower than the period: the ticks it holds up are late, not lost.
  b.latency->SetDelay(kUsb82, 5);
  ASSERT_TRUE(Pace(40));
  ASSERT_TRUE(RunUntil([&] { return outcomes.size() >= 40; }));
  Settle();
  EXPECT_EQ(outcomes.size(), 40u);
  EXPECT_TRUE(std::all_of(outcomes.begin(), outcomes.end(), [](Outcome o) { return o != Outcome::ReadFailed; }));
  EXPECT_EQ(Reads(kUsb81) - before81, 40);
  EXPECT_EQ(Reads(kUsb82) - before82, 40);
  EXPECT_GT(run->LateTicks(), 0);
  run->Stop();
  EXPECT_EQ(Rows(1), 40);
  EXPECT_EQ(Rows(2), 40);
}

TEST_F(Paced, StopAndTheStopTimeEndTheAskingAndNothingAppliedIsLost) {
  Start({0});
  ASSERT_TRUE(Pace(0));
  ASSERT_TRUE(RunUntil([&] { return outcomes.size() >= 10; }));
  run->Stop();
  const size_t applied = outcomes.size();
  const int reads = Reads(kUsb81);
  Settle();
  EXPECT_EQ(outcomes.size(), applied) << "a tick applied after Stop";
  EXPECT_EQ(Reads(kUsb81), reads) << "the meter asked after Stop";
  EXPECT_EQ(Rows(1), static_cast<long long>(applied));

  // The planned stop is seen on the meter's thread: it reads nothing more and says the time is up once.
  outcomes.clear();
  b.prompter.ExpectMessage(Prompter::Answer::Yes);  // continue record 1
  Start({0}, 60000);
  ASSERT_TRUE(Pace(0));
  ASSERT_TRUE(RunUntil([&] { return outcomes.size() >= 3; }));
  b.clock.AdvanceMs(61000);
  ASSERT_TRUE(RunUntil([&] { return !outcomes.empty() && outcomes.back() == Outcome::TimeUp; }));
  const int readsAtEnd = Reads(kUsb81);
  Settle();
  EXPECT_EQ(std::count(outcomes.begin(), outcomes.end(), Outcome::TimeUp), 1);
  EXPECT_EQ(outcomes.back(), Outcome::TimeUp);
  EXPECT_EQ(Reads(kUsb81), readsAtEnd);
}

TEST_F(Paced, AFailedReadEndsTheAskingAndRunsThatCannotBePacedSaySo) {
  Start({0});
  ASSERT_TRUE(Pace(0));
  ASSERT_TRUE(RunUntil([&] { return outcomes.size() >= 3; }));
  b.bench->Meter(kUsb81)->Detach();
  ASSERT_TRUE(RunUntil([&] { return !outcomes.empty() && outcomes.back() == Outcome::ReadFailed; }));
  // The owner has not stopped the run yet, and the meter is not asked again meanwhile.
  const int reads = Reads(kUsb81);
  Settle();
  EXPECT_EQ(Reads(kUsb81), reads);
  EXPECT_EQ(std::count(outcomes.begin(), outcomes.end(), Outcome::ReadFailed), 1);
  run->Stop();
  b.bench->Meter(kUsb81)->Attach();

  // A run that keeps going asks each meter on its own: the owner's timer ticks it.
  ReadingPlan plan;
  plan.positionSlots = {1};
  plan.currentSlot = 1;
  plan.keepGoing = true;
  run->Lock();
  run->Start(plan, [](ReadingRun::StartOutcome) {});
  ASSERT_TRUE(RunUntil([&] { return run->CurrentPhase() == ReadingRun::Phase::Running; }));
  EXPECT_FALSE(Pace(0));
  EXPECT_TRUE(run->Tick([](Outcome) {}));
}

}  // namespace
