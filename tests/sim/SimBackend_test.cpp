// The simulated bus seen through in-process sessions: faults, dropping off the bus. Time-outs are decided without
// waiting, so nothing sleeps.
#include "sim/SimBackend.h"

#include <gtest/gtest.h>

#include "core/instrument/QueryDevice.h"
#include "core/instrument/ResourceManager.h"
#include "sim/SimSession.h"

namespace merilog::sim {
namespace {

const std::string kMeter = "USB0::0x3A7D::0x6082::SN21::INSTR";

std::string Ask(Session& s, const std::string& command) {
  EXPECT_EQ(s.Write(command), status::kSuccess);
  return ReadAnswer(s).bytes;
}

class SimBackendTest : public ::testing::Test {
 protected:
  // Serves `bench`, or one dual meter with the given faults, and opens `resource`.
  std::unique_ptr<Session> Open(const SimFaults& faults, const std::string& resource = kMeter) {
    if (!bench) {
      SimMeterDescription desc;
      desc.resource = kMeter;
      desc.model = "6082";
      desc.faults = faults;
      bench = std::make_shared<SimBench>();
      EXPECT_TRUE(bench->Add(desc));
    }
    rm = std::make_unique<ResourceManager>();
    rm->AddBackend(std::make_unique<SimBackend>(bench));
    Status st = 0;
    auto s = rm->Open(resource, &st);
    EXPECT_EQ(st, status::kSuccess) << resource;
    // The program's own session time-out; a silent meter must not make the test wait it.
    if (s) {
      EXPECT_EQ(s->SetTimeout(20000), status::kSuccess);
    }
    return s;
  }
  std::shared_ptr<SimBench> bench;
  std::unique_ptr<ResourceManager> rm;
};

TEST_F(SimBackendTest, HealthyMeterAnswersTimesOutWhenIdleAndClears) {
  auto s = Open({});
  ASSERT_EQ(s->Write("CONF:VOLT:AC\n"), status::kSuccess);
  EXPECT_EQ(Ask(*s, "func?\n"), "\"VOLT:AC\"\n");
  // The pipelined reading writes "read?" without its line feed: still one message.
  ASSERT_EQ(s->Write("read?"), status::kSuccess);
  EXPECT_EQ(s->Read(1024).status, status::kSuccess);
  ASSERT_EQ(s->Write("*IDN?\n"), status::kSuccess);
  EXPECT_EQ(s->Clear(), status::kSuccess);  // drops the unread answer
  EXPECT_EQ(s->Read(1024).status, status::kErrorTimeout);
  ASSERT_EQ(s->Write("*cls\n"), status::kSuccess);
  EXPECT_EQ(s->Read(1024).status, status::kErrorTimeout);
  EXPECT_EQ(Ask(*s, "SYST:ERR?\n"), "-420,\"Query UNTERMINATED\"\n");
  EXPECT_EQ(s->Close(), status::kSuccess);
  EXPECT_EQ(s->Write("*IDN?\n"), status::kErrorInvalidObject);
  EXPECT_EQ(s->Read(10).status, status::kErrorInvalidObject);
  EXPECT_EQ(s->Close(), status::kErrorInvalidObject);
}

TEST_F(SimBackendTest, SilentAfterNAnswersTakesCommandsAndDoesNothing) {
  SimFaults f;
  f.silentAfter = 2;
  auto s = Open(f);
  EXPECT_FALSE(Ask(*s, "*IDN?\n").empty());
  EXPECT_EQ(Ask(*s, "func?\n"), "\"VOLT\"\n");
  ASSERT_EQ(s->Write("read?\n"), status::kSuccess);  // the bus takes the bytes; no answer comes
  EXPECT_EQ(s->Read(1024).status, status::kErrorTimeout);
  EXPECT_EQ(s->Write("CONF:VOLT:AC\n"), status::kSuccess);
  EXPECT_EQ(bench->Meter(kMeter)->State().function, Fn::VoltDc);  // a hung meter does nothing
  EXPECT_EQ(s->Clear(), status::kSuccess);
  ASSERT_EQ(s->Write("func?\n"), status::kSuccess);
  EXPECT_EQ(s->Read(1024).status, status::kErrorTimeout);
}

TEST_F(SimBackendTest, LateAnswerTimesOutShortReadsAndArrivesForALongEnoughOne) {
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
  EXPECT_NE(Ask(*s, "*IDN?\n").find("MODEL 6082"), std::string::npos);
  EXPECT_EQ(bench->Meter(kMeter)->PendingErrors().front(), "-410,\"Query INTERRUPTED\"");
}

TEST_F(SimBackendTest, DropOffTheBusAndComeBack) {
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
  EXPECT_FALSE(Ask(*fresh, "*IDN?\n").empty());
}

TEST(SimFaultsParseTest, FaultTexts) {
  SimFaults f;
  std::string error;
  EXPECT_TRUE(ApplyFault("silent-after=3", &f, &error));
  EXPECT_TRUE(ApplyFault("Delay-MS = 250", &f, &error));
  EXPECT_EQ(f.silentAfter, 3);
  EXPECT_EQ(f.delayMs, 250);
  EXPECT_FALSE(ApplyFault("silent-after", &f, &error));
  EXPECT_NE(error.find("needs a value"), std::string::npos);
  EXPECT_FALSE(ApplyFault("silent-after=-1", &f, &error));
  EXPECT_FALSE(ApplyFault("slow=1", &f, &error));
  EXPECT_NE(error.find("unknown fault"), std::string::npos);
}

}  // namespace
}  // namespace merilog::sim
