// Faults and bus behaviour of simulated meters, seen through in-process sessions.
// Time-outs are decided without waiting, so none of these tests sleeps.
#include <gtest/gtest.h>

#include "core/instrument/QueryDevice.h"
#include "core/instrument/ResourceManager.h"
#include "sim/SimBackend.h"
#include "sim/SimSession.h"

namespace merilog::sim {
namespace {

const std::string kMeter = "USB0::0x3A7D::0x6082::SN21::INSTR";

class SimFaultsTest : public ::testing::Test {
 protected:
  // A bench with one dual meter showing the given faults.
  std::unique_ptr<Session> Open(const SimFaults& faults) {
    SimMeterSpec spec;
    spec.resource = kMeter;
    spec.model = "6082";
    spec.faults = faults;
    bench = std::make_shared<SimBench>();
    EXPECT_TRUE(bench->Add(spec));
    rm = std::make_unique<ResourceManager>();
    rm->AddBackend(std::make_unique<SimBackend>(bench));
    Status st = 0;
    auto s = rm->Open(kMeter, &st);
    EXPECT_EQ(st, status::kSuccess);
    // The program's own session time-out; a silent meter must not make the test wait it.
    EXPECT_EQ(s->SetTimeout(20000), status::kSuccess);
    return s;
  }
  std::shared_ptr<SimBench> bench;
  std::unique_ptr<ResourceManager> rm;
};

TEST_F(SimFaultsTest, HealthyMeterAnswersWithQuotesAndLineFeed) {
  auto s = Open({});
  ASSERT_EQ(s->Write("CONF:VOLT:AC\n"), status::kSuccess);
  ASSERT_EQ(s->Write("func?\n"), status::kSuccess);
  const ReadResult r = s->Read(1024);
  EXPECT_EQ(r.status, status::kSuccess);
  EXPECT_TRUE(r.end);
  EXPECT_EQ(r.bytes, "\"VOLT:AC\"\n");
  // The pipelined reading writes "read?" without its line feed: still one message.
  ASSERT_EQ(s->Write("read?"), status::kSuccess);
  EXPECT_EQ(s->Read(1024).status, status::kSuccess);
}

TEST_F(SimFaultsTest, ReadWithNothingPendingTimesOut) {
  auto s = Open({});
  ASSERT_EQ(s->Write("*cls\n"), status::kSuccess);
  EXPECT_EQ(s->Read(1024).status, status::kErrorTimeout);
  ASSERT_EQ(s->Write("SYST:ERR?\n"), status::kSuccess);
  EXPECT_EQ(s->Read(1024).bytes, "-420,\"Query UNTERMINATED\"\n");
}

TEST_F(SimFaultsTest, SilentAfterNAnswers) {
  SimFaults f;
  f.silentAfter = 2;
  auto s = Open(f);
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(s->Write("*IDN?\n"), status::kSuccess);
    EXPECT_EQ(s->Read(1024).status, status::kSuccess);
  }
  ASSERT_EQ(s->Write("*IDN?\n"), status::kSuccess);  // the bus takes the bytes
  EXPECT_EQ(s->Read(1024).status, status::kErrorTimeout);
  EXPECT_EQ(s->Write("CONF:VOLT:AC\n"), status::kSuccess);
  EXPECT_EQ(bench->Meter(kMeter)->State().function, Fn::VoltDc);  // a hung meter does nothing
  EXPECT_EQ(s->Clear(), status::kSuccess);
  ASSERT_EQ(s->Write("func?\n"), status::kSuccess);
  EXPECT_EQ(s->Read(1024).status, status::kErrorTimeout);
}

TEST_F(SimFaultsTest, LateAnswerTimesOutShortReadsAndArrivesForALongEnoughOne) {
  SimFaults f;
  f.delayMs = 500;
  auto s = Open(f);
  ASSERT_EQ(s->Write("*IDN?\n"), status::kSuccess);
  EXPECT_EQ(s->Read(1024).status, status::kSuccess);  // 20000 ms is long enough

  ASSERT_EQ(s->SetTimeout(200), status::kSuccess);
  ASSERT_EQ(s->Write("func?\n"), status::kSuccess);
  EXPECT_EQ(s->Read(1024).status, status::kErrorTimeout);  // 200 of 500 ms
  EXPECT_EQ(s->Read(1024).status, status::kErrorTimeout);  // 400 of 500 ms
  const ReadResult late = s->Read(1024);                   // arrives within the third wait
  EXPECT_EQ(late.status, status::kSuccess);
  EXPECT_EQ(late.bytes, "\"VOLT\"\n");

  // A new query discards a late answer nobody waited for.
  ASSERT_EQ(s->Write("func?\n"), status::kSuccess);
  EXPECT_EQ(s->Read(1024).status, status::kErrorTimeout);
  ASSERT_EQ(s->SetTimeout(1000), status::kSuccess);
  ASSERT_EQ(s->Write("*IDN?\n"), status::kSuccess);
  EXPECT_NE(s->Read(1024).bytes.find("MODEL 6082"), std::string::npos);
  EXPECT_EQ(bench->Meter(kMeter)->PendingErrors().front(), "-410,\"Query INTERRUPTED\"");
}

TEST_F(SimFaultsTest, GarbageAnswers) {
  SimFaults f;
  f.garbageEvery = 2;
  auto s = Open(f);
  std::vector<std::string> answers;
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(s->Write("*IDN?\n"), status::kSuccess);
    answers.push_back(ReadAnswer(*s).bytes);
  }
  EXPECT_NE(answers[0].find("MODEL 6082"), std::string::npos);
  EXPECT_EQ(answers[1].find("MODEL"), std::string::npos);
  EXPECT_EQ(answers[1].back(), '\n');
  EXPECT_GT(answers[1].size(), 8u);
  EXPECT_EQ(answers[2], answers[0]);
  EXPECT_NE(answers[3], answers[1]);  // garbage varies
}

TEST_F(SimFaultsTest, OverLongAnswerComesInPieces) {
  SimFaults f;
  f.longAnswerBytes = 5000;
  auto s = Open(f);
  ASSERT_EQ(s->Write("read?\n"), status::kSuccess);
  const ReadResult first = s->Read(1024);
  EXPECT_EQ(first.status, status::kSuccessMaxCount);
  EXPECT_FALSE(first.end);
  EXPECT_EQ(first.bytes.size(), 1024u);
  const ReadResult rest = ReadAnswer(*s);
  EXPECT_EQ(rest.status, status::kSuccess);
  EXPECT_TRUE(rest.end);
  const std::string whole = first.bytes + rest.bytes;
  EXPECT_GT(whole.size(), 5000u);
  EXPECT_EQ(whole.back(), '\n');
  EXPECT_EQ(whole.find('\n'), whole.size() - 1);
}

TEST_F(SimFaultsTest, ClearDropsTheUnreadAnswer) {
  auto s = Open({});
  ASSERT_EQ(s->Write("*IDN?\n"), status::kSuccess);
  EXPECT_EQ(s->Clear(), status::kSuccess);
  EXPECT_EQ(s->Read(1024).status, status::kErrorTimeout);
}

TEST_F(SimFaultsTest, DropOffTheBusAndComeBack) {
  auto s = Open({});
  EXPECT_EQ(rm->Find("USB?*"), std::vector<std::string>{kMeter});
  ASSERT_TRUE(bench->DropMeter(kMeter));
  EXPECT_EQ(s->Write("*IDN?\n"), status::kErrorConnectionLost);
  EXPECT_EQ(s->Read(1024).status, status::kErrorConnectionLost);
  EXPECT_EQ(s->Clear(), status::kErrorConnectionLost);
  EXPECT_TRUE(rm->Find("USB?*").empty());
  Status st = 0;
  EXPECT_EQ(rm->Open(kMeter, &st), nullptr);
  EXPECT_EQ(st, status::kErrorResourceNotFound);

  ASSERT_TRUE(bench->ReattachMeter(kMeter));
  EXPECT_EQ(rm->Find("USB?*"), std::vector<std::string>{kMeter});
  EXPECT_EQ(s->Write("*IDN?\n"), status::kErrorConnectionLost);  // old handles stay dead
  auto fresh = rm->Open(kMeter, &st);
  ASSERT_TRUE(fresh);
  ASSERT_EQ(fresh->Write("*IDN?\n"), status::kSuccess);
  EXPECT_EQ(fresh->Read(1024).status, status::kSuccess);

  EXPECT_TRUE(bench->RemoveMeter(kMeter));
  EXPECT_EQ(fresh->Read(1024).status, status::kErrorConnectionLost);
  EXPECT_FALSE(bench->Meter(kMeter));
}

TEST_F(SimFaultsTest, DropAfterNAnswers) {
  SimFaults f;
  f.dropAfter = 1;
  auto s = Open(f);
  ASSERT_EQ(s->Write("read?\n"), status::kSuccess);
  EXPECT_EQ(s->Read(1024).status, status::kSuccess);
  EXPECT_EQ(s->Write("read?\n"), status::kErrorConnectionLost);
  EXPECT_TRUE(bench->Resources().empty());
}

TEST_F(SimFaultsTest, ClosedSessionIsInvalid) {
  auto s = Open({});
  EXPECT_EQ(s->Close(), status::kSuccess);
  EXPECT_EQ(s->Write("*IDN?\n"), status::kErrorInvalidObject);
  EXPECT_EQ(s->Read(10).status, status::kErrorInvalidObject);
  EXPECT_EQ(s->Close(), status::kErrorInvalidObject);
}

TEST_F(SimFaultsTest, MainWindowQueryOfASilentMeterGivesAnEmptyAnswer) {
  SimFaults f;
  f.silentAfter = 1;
  auto s = Open(f);
  DeviceQuery q(QueryForm::MainWindow);
  q.SetSessions({s.get()});
  q.SetSlotMap({0});
  EXPECT_EQ(q.Query(0, "func?\n"), "VOLT");
  EXPECT_EQ(q.ConnectionFlag(), 1);
  EXPECT_EQ(q.Query(0, "read?\n"), "");
  EXPECT_EQ(q.LastStatus(), status::kErrorTimeout);
  EXPECT_EQ(q.ConnectionFlag(), 0);
}

TEST(SimFaultsParseTest, FaultTexts) {
  SimFaults f;
  std::string error;
  EXPECT_TRUE(ApplyFault("silent-after=3", &f, &error));
  EXPECT_TRUE(ApplyFault("Delay-MS = 250", &f, &error));
  EXPECT_TRUE(ApplyFault("long-answer=5000", &f, &error));
  EXPECT_EQ(f.silentAfter, 3);
  EXPECT_EQ(f.delayMs, 250);
  EXPECT_EQ(f.longAnswerBytes, 5000u);
  EXPECT_FALSE(ApplyFault("silent-after", &f, &error));
  EXPECT_NE(error.find("needs a value"), std::string::npos);
  EXPECT_FALSE(ApplyFault("silent-after=-1", &f, &error));
  EXPECT_FALSE(ApplyFault("slow=1", &f, &error));
  EXPECT_NE(error.find("unknown fault"), std::string::npos);
}

}  // namespace
}  // namespace merilog::sim
