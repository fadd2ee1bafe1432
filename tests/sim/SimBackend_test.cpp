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
  EXPECT_EQ(s->Close(), status::kSuccess);
  EXPECT_EQ(s->Read(10).status, status::kErrorInvalidObject);
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
}

// Listing after the meter left and came back is the discovery refresh test's.
TEST_F(SimBackendTest, DropOffTheBusAndComeBack) {
  auto s = Open({});
  ASSERT_TRUE(bench->DropMeter(kMeter));
  EXPECT_EQ(s->Write("*IDN?\n"), status::kErrorConnectionLost);
  EXPECT_EQ(s->Read(1024).status, status::kErrorConnectionLost);
  Status st = 0;
  EXPECT_EQ(rm->Open(kMeter, &st), nullptr);
  EXPECT_EQ(st, status::kErrorResourceNotFound);

  ASSERT_TRUE(bench->ReattachMeter(kMeter));
  EXPECT_EQ(s->Write("*IDN?\n"), status::kErrorConnectionLost);  // old handles stay dead
  auto fresh = rm->Open(kMeter, &st);
  ASSERT_TRUE(fresh);
  EXPECT_FALSE(Ask(*fresh, "*IDN?\n").empty());
}

// The vanish fault on the bench's clock: gone after N commands, back M ms later
// (with the same identification, old handles dead), gone again after N more; a
// meter plugged back under another resource is found there only.
TEST_F(SimBackendTest, VanishAfterCommandsAndComeBackOnTime) {
  auto clock = std::make_shared<FixedClock>(QDateTime(QDate(2024, 5, 6), QTime(9, 0)));
  bench = std::make_shared<SimBench>(clock);
  SimMeterDescription desc;
  desc.resource = kMeter;
  ASSERT_TRUE(ApplyFault("vanish-after=3", &desc.faults, nullptr));
  ASSERT_TRUE(ApplyFault("back-after-ms=500", &desc.faults, nullptr));
  ASSERT_TRUE(bench->Add(desc));
  auto s = Open({});
  const std::string idn = Ask(*s, "*IDN?\n");
  EXPECT_EQ(Ask(*s, "func?\n"), "\"VOLT\"\n");
  EXPECT_EQ(s->Write("read?\n"), status::kSuccess);  // the third: its answer goes with the meter
  EXPECT_EQ(s->Read(1024).status, status::kErrorConnectionLost);
  EXPECT_TRUE(bench->Resources().empty());
  clock->AdvanceMs(499);
  Status st = 0;
  EXPECT_EQ(rm->Open(kMeter, &st), nullptr);
  clock->AdvanceMs(1);
  EXPECT_EQ(s->Write("*IDN?\n"), status::kErrorConnectionLost);  // old handles stay dead
  auto back = rm->Open(kMeter, &st);
  ASSERT_TRUE(back);
  EXPECT_EQ(Ask(*back, "*IDN?\n"), idn);
  Ask(*back, "func?\n");
  EXPECT_EQ(back->Write("*IDN?\n"), status::kSuccess);
  EXPECT_EQ(back->Read(1024).status, status::kErrorConnectionLost);

  clock->AdvanceMs(500);
  const std::string node = "USB0::0x3A7D::0x6082::usbtmc3::INSTR";
  ASSERT_TRUE(bench->DropMeter(kMeter));
  ASSERT_TRUE(bench->ReattachMeter(kMeter, node));
  EXPECT_EQ(bench->Resources(), std::vector<std::string>{node});
  EXPECT_EQ(rm->Open(kMeter, &st), nullptr);
  auto renamed = rm->Open(node, &st);
  ASSERT_TRUE(renamed);
  EXPECT_EQ(Ask(*renamed, "*IDN?\n"), idn);
}

}  // namespace
}  // namespace merilog::sim
