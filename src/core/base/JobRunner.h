#pragma once
#include <QtGlobal>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

#include "core/base/WorkerThread.h"

namespace merilog {

// What a long job sees: whether it should stop, and where to say how far it got.
class JobProgress {
 public:
  bool Cancelled() const { return cancelled_->load(std::memory_order_relaxed); }
  // Cheap enough to call for every row: reaches the owner at most every 50 ms
  // (and always for the last step, done == total).
  void Report(qint64 done, qint64 total);

 private:
  friend class JobRunner;
  JobProgress(WorkerThread& thread, std::shared_ptr<std::atomic<bool>> cancelled,
              std::function<void(qint64, qint64)> onProgress, std::weak_ptr<int> alive);
  WorkerThread& thread_;
  std::shared_ptr<std::atomic<bool>> cancelled_;
  std::function<void(qint64, qint64)> onProgress_;
  std::weak_ptr<int> alive_;
  std::chrono::steady_clock::time_point lastReport_{};
};

// Runs long work (statistics, search, export, drawing) on a thread of its own,
// one job after another: the window shows the job's progress and may cancel
// it, and the result comes back as a queued call. Output files are written
// under a temporary name and renamed when complete (OutputTarget), so a cancelled
// or failed job leaves none behind.
class JobRunner {
 public:
  JobRunner() = default;
  // Cancels the job and waits for it to notice (file work checks often).
  ~JobRunner();
  JobRunner(const JobRunner&) = delete;
  JobRunner& operator=(const JobRunner&) = delete;

  // Starts `job` after any job still running; `done` gets its result here,
  // `progress` (optional) its reports. A result that comes after Cancel() or
  // after a newer Start is still handed to `done`: the job says in its result
  // whether it finished.
  template <class R>
  void Start(std::function<R(JobProgress&)> job, std::function<void(R)> done,
             std::function<void(qint64 done, qint64 total)> progress = {}) {
    cancelled_ = std::make_shared<std::atomic<bool>>(false);
    auto cancelled = cancelled_;
    auto alive = guard_.Watch();
    thread_.Run<R>(
        [this, cancelled, job = std::move(job), progress = std::move(progress), alive] {
          JobProgress p(thread_, cancelled, progress, alive);
          return job(p);
        },
        std::move(done), alive);
  }
  // Asks the running job to stop; it returns what it has.
  void Cancel() {
    if (cancelled_) cancelled_->store(true);
  }
  // A job is running or its result has not come back yet.
  bool Busy() const { return thread_.Pending() > 0; }

 private:
  CallbackGuard guard_;
  std::shared_ptr<std::atomic<bool>> cancelled_;
  WorkerThread thread_{WorkerThread::AtEnd::Finish};
};

}  // namespace merilog
