#include "core/instrument/ExchangeSequence.h"

#include <gtest/gtest.h>

#include "ScriptSession.h"
#include "core/instrument/QueryDevice.h"
#include "support/TestSupport.h"

namespace merilog {
namespace {

// A worker over a scripted meter that answers every question with `answer`.
std::unique_ptr<SessionWorker> Meter(const std::string& name, int answers) {
  auto s = std::make_unique<test::ScriptSession>(name);
  for (int i = 0; i < answers; ++i) s->answers.push_back(name + std::to_string(i) + "\n");
  return std::make_unique<SessionWorker>(std::move(s));
}

std::function<std::string(Session*)> Ask(const char* command) {
  return [command](Session* s) { return QueryDevice(s, QueryForm::MainWindow, command).text; };
}

TEST(ExchangeSequence, StepsAddedWhileAStepRunsGoFirstSoTheOrderIsTheWaitingHandlersOrder) {
  auto a = Meter("a", 3), b = Meter("b", 3);
  ExchangeSequence seq;
  std::vector<std::string> order;
  // A handler that asks a, and from its answer asks b and then notes something;
  // a second handler queued meanwhile runs only after all of that.
  seq.Ask<std::string>(a.get(), Ask("q?\n"), [&](std::string answer) {
    order.push_back(answer);
    seq.Ask<std::string>(b.get(), Ask("q?\n"), [&](std::string inner) { order.push_back(inner); });
    seq.Then([&] { order.push_back("after b"); });
  });
  seq.Then([&] { order.push_back("second handler"); });
  seq.Ask<std::string>(nullptr, Ask("q?\n"), [&](std::string none) { order.push_back("no meter:" + none); });
  EXPECT_FALSE(seq.Idle());
  ASSERT_TRUE(test::RunUntil([&] { return seq.Idle(); }));
  EXPECT_EQ(order, (std::vector<std::string>{"a0", "b0", "after b", "second handler", "no meter:"}));
}

TEST(ExchangeSequence, ClearForgetsWhatWaits) {
  auto a = Meter("a", 2);
  ExchangeSequence seq;
  int applied = 0, idle = 0;
  seq.onIdle = [&] { ++idle; };
  seq.Ask<std::string>(a.get(), Ask("q?\n"), [&](std::string) { ++applied; });
  seq.Then([&] { ++applied; });
  seq.Clear();
  EXPECT_TRUE(seq.Idle());
  // The answer still arrives from the meter's thread, and changes nothing.
  ASSERT_TRUE(test::RunUntil([&] { return a->Pending() == 0; }));
  EXPECT_EQ(applied, 0);
  seq.Ask<std::string>(a.get(), Ask("q?\n"), [&](std::string v) {
    EXPECT_EQ(v, "a1");
    ++applied;
  });
  ASSERT_TRUE(test::RunUntil([&] { return seq.Idle(); }));
  EXPECT_EQ(applied, 1);
  EXPECT_GE(idle, 1);
}

}  // namespace
}  // namespace merilog
