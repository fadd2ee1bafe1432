#include "core/base/WorkerThread.h"

#include <gtest/gtest.h>

#include <QThread>
#include <atomic>
#include <latch>
#include <thread>

#include "core/base/JobRunner.h"
#include "support/TestSupport.h"

namespace merilog {
namespace {

using test::RunUntil;

TEST(WorkerThread, ResultsComeBackInOrderOnTheCreatingThreadWhileTheOwnerLives) {
  test::EnsureEventLoop();
  WorkerThread worker;
  std::vector<int> got;
  std::atomic<int> threadHits{0};
  QThread* here = QThread::currentThread();
  auto owner = std::make_unique<CallbackGuard>();
  for (int i = 0; i < 50; ++i)
    worker.Run<int>(
        [&, i] {
          if (QThread::currentThread() != here) ++threadHits;
          return i;
        },
        [&](int v) {
          EXPECT_EQ(QThread::currentThread(), here);
          got.push_back(v);
        });
  // A result whose owner went away meanwhile is not handed back.
  bool late = false;
  worker.Run<int>([] { return 1; }, [&](int) { late = true; }, owner->Watch());
  owner.reset();
  ASSERT_TRUE(RunUntil([&] { return worker.Pending() == 0; }));
  std::vector<int> expected(50);
  for (int i = 0; i < 50; ++i) expected[i] = i;
  EXPECT_EQ(got, expected);
  EXPECT_EQ(threadHits, 50);
  EXPECT_FALSE(late);
}

TEST(WorkerThread, AbandonNeverWaitsForABlockedJobFinishRunsEveryJob) {
  test::EnsureEventLoop();
  auto gate = std::make_shared<std::latch>(1);
  auto started = std::make_shared<std::latch>(1);
  auto finalRan = std::make_shared<std::atomic<bool>>(false);
  auto worker = std::make_unique<WorkerThread>(WorkerThread::AtEnd::Abandon);
  worker->SetFinalJob([finalRan] { *finalRan = true; });
  worker->Post([gate, started] {  // a meter that does not answer
    started->count_down();
    gate->wait();
  });
  worker->Post([] { ADD_FAILURE() << "a job queued behind the silent one ran after abandon"; });
  started->wait();
  // Destroyed on another thread, so a destructor that waited for the held job
  // fails the test instead of hanging it.
  std::atomic<bool> destroyed{false};
  std::thread owner([&] {
    worker.reset();
    destroyed = true;
  });
  // Returned while the held job still waits on the gate, which only opens below.
  EXPECT_TRUE(RunUntil([&] { return destroyed.load(); }));
  EXPECT_FALSE(*finalRan);
  gate->count_down();
  owner.join();
  ASSERT_TRUE(RunUntil([&] { return finalRan->load(); }));

  int ran = 0;
  {
    WorkerThread finishing(WorkerThread::AtEnd::Finish);
    for (int i = 0; i < 20; ++i) finishing.Post([&] { ++ran; });
  }
  EXPECT_EQ(ran, 20);
}

// Cancelling is proven by the chart's and the export's cancelled jobs.
TEST(JobRunner, ReportsProgressAndHandsBackItsResult) {
  test::EnsureEventLoop();
  JobRunner runner;
  qint64 lastDone = -1, lastTotal = -1;
  int result = -1;
  runner.Start<int>(
      [](JobProgress& p) {
        for (int i = 1; i <= 1000; ++i) p.Report(i, 1000);
        return 7;
      },
      [&](int r) { result = r; }, [&](qint64 d, qint64 t) { lastDone = d, lastTotal = t; });
  ASSERT_TRUE(RunUntil([&] { return !runner.Busy(); }));
  EXPECT_EQ(result, 7);
  EXPECT_EQ(lastDone, 1000);  // the last step always arrives
  EXPECT_EQ(lastTotal, 1000);
}

TEST(WorkerThread, RepeatRunsOnTheThreadBetweenPostedJobsCountsOverrunsAndStops) {
  test::EnsureEventLoop();
  WorkerThread worker;
  const auto here = std::this_thread::get_id();
  std::mutex mutex;
  std::vector<long long> missed;
  std::atomic<int> runs{0}, posted{0};
  std::atomic<bool> onWorker{true};
  worker.Repeat(2, [&](long long m) {
    if (std::this_thread::get_id() == here) onWorker = false;
    {
      std::lock_guard lock(mutex);
      missed.push_back(m);
    }
    // The third run takes five and a half periods: the next is told it missed at least four.
    if (runs == 2) std::this_thread::sleep_for(std::chrono::milliseconds(11));
    ++runs;
  });
  for (int i = 0; i < 5; ++i) worker.Post([&] { ++posted; });
  ASSERT_TRUE(RunUntil([&] { return runs >= 6; }));
  EXPECT_EQ(posted, 5);
  EXPECT_TRUE(onWorker);
  worker.StopRepeating();
  const int stopped = runs;
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_LE(runs, stopped + 1) << "only the run under way when it stopped may finish";
  std::lock_guard lock(mutex);
  EXPECT_GE(missed[3], 4);
}

}  // namespace
}  // namespace merilog
