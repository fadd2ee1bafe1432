// The forwarder's thread against a real PostgreSQL cluster, with the faults a
// lab meets: a server killed in the middle of a batch, a server that is not
// there while a run goes on, a server that refuses the bench.
#include "core/labserver/LabForwarder.h"

#include <atomic>

#include "LabServerSupport.h"
#include "support/MainWindowBench.h"

namespace merilog::test {
namespace {

using Link = LabForwardStatus::Link;

using LabForwarderTest = LabServerTest;

TEST_F(LabForwarderTest, AServerKilledInTheMiddleOfABatchEndsWithExactlyTheLocalRows) {
  WriteRecord(Path(1), SampleReadings(20000));
  WriteRecord(Path(2, RecordFileKind::DBfile), SampleReadings(300, 7));
  LabForwardPolicy policy = Fast();
  policy.batchRows = 4000;
  std::atomic<int> batches{0};
  // The second batch's rows are on the server, not yet committed, when it dies.
  policy.beforeCommit = [&] {
    if (++batches == 2) cluster->Stop(true);
  };
  LabForwarder forwarder(Settings(), folder, policy);
  ASSERT_TRUE(RunUntil([&] { return forwarder.Status().link == Link::Unreachable; }, 60000));
  EXPECT_GT(forwarder.Status().waiting, 0);
  ASSERT_TRUE(cluster->Start());
  ASSERT_TRUE(RunUntil(
      [&] {
        const LabForwardStatus s = forwarder.Status();
        return s.waiting == 0 && s.link == Link::Idle;
      },
      60000));
  EXPECT_TRUE(forwarder.Status().messages.isEmpty()) << forwarder.Status().messages.join("; ").toStdString();
  const auto one = SurveyRecord(folder, Path(1), "bench-a");
  const auto two = SurveyRecord(folder, Path(2, RecordFileKind::DBfile), "bench-a");
  EXPECT_TRUE(SameRows(ServerRows(one.identity.recordId), LocalRows(Path(1))));
  EXPECT_TRUE(SameRows(ServerRows(two.identity.recordId), LocalRows(Path(2, RecordFileKind::DBfile))));
  EXPECT_EQ(Sql("SELECT file_kind || record_number || ':' || row_count FROM merilog.record ORDER BY file_kind"),
            "DBfile2:300\nRecord1:20000");
}

// A run on the simulated bench with a server set: the rows go as they are written.
struct RunWithServer {
  MainWindowBench b;
  RunWithServer() {
    b.Add(kUsb82, "6082", {"CONF:VOLT:DC", "FUNC2 \"VOLT:AC\""});
    b.Open();
  }
  void Run(int record, int ticks) {
    b.SaveInto(record);
    b.model->StartReading();
    b.Settle();
    ASSERT_TRUE(b.model->ReadingActive());
    for (int i = 0; i < ticks; ++i) b.model->OnReadingTimer(), b.Settle();
    b.model->StopReading();
    b.Settle();
  }
};

class LabServerAwayTest : public LabServerTest {
  bool StartCluster() const override { return false; }
};

TEST_F(LabServerAwayTest, ARunWhileTheServerIsAwayTicksAsWithoutOneAndItsRowsGoWhenItComes) {
  RunWithServer without;
  without.Run(1, 40);
  RunWithServer with;
  QDir::setCurrent(with.b.folder.Path());
  folder = with.b.folder.Path() + "/DB";
  with.b.model->UseLabServer(Settings(), Fast());
  with.Run(1, 40);
  // Ticks do not wait for the forwarder: as regular as without it.
  EXPECT_EQ(with.b.model->Run().LateTicks(), without.b.model->Run().LateTicks());
  EXPECT_EQ(LocalRows(Path(1)).size(), 40u);
  const LabServerMonitor* server = with.b.model->LabServer();
  ASSERT_TRUE(RunUntil([&] {
    const LabForwardStatus s = server->Status();
    return s.link == Link::Unreachable && s.waiting == 40;
  }));
  EXPECT_TRUE(with.b.model->StatusLine().contains("40 readings of 1 records waiting"))
      << with.b.model->StatusLine().toStdString();

  ASSERT_TRUE(cluster->Start());
  ASSERT_TRUE(RunUntil([&] { return server->Status().waiting == 0 && server->Status().link == Link::Idle; }, 60000));
  EXPECT_TRUE(with.b.model->StatusLine().contains("every reading forwarded"));
  const auto state = SurveyRecord(folder, Path(1), "bench-a");
  EXPECT_TRUE(SameRows(ServerRows(state.identity.recordId), LocalRows(Path(1))));
  EXPECT_TRUE(with.b.prompter.shown.empty());  // a server that is away is no news to tell
}

TEST_F(LabForwarderTest, AServerRefusingTheBenchIsSaidOnceAndLoggingGoesOn) {
  RunWithServer run;
  QDir::setCurrent(run.b.folder.Path());
  run.b.prompter.ExpectMessage(Prompter::Answer::Ok);
  run.b.model->UseLabServer({cluster->ConnInfo("guarded", "password=wrong"), "bench-a"}, Fast());
  run.Run(2, 25);
  const LabServerMonitor* server = run.b.model->LabServer();
  // Several attempts later, still one message.
  ASSERT_TRUE(RunUntil([&] { return server->Status().passes >= 6 && server->Status().link == Link::Refused; }, 60000));
  ASSERT_EQ(run.b.prompter.shown.size(), 1u);
  EXPECT_TRUE(run.b.prompter.shown[0].text.contains("refused this bench"))
      << run.b.prompter.shown[0].text.toStdString();
  EXPECT_TRUE(run.b.prompter.shown[0].text.contains("password"));
  EXPECT_EQ(LocalRows(run.b.RecordPath(2)).size(), 25u);
  EXPECT_EQ(server->Status().waiting, 25);
}

}  // namespace
}  // namespace merilog::test
