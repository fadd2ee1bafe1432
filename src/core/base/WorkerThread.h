#pragma once
#include <QObject>
#include <QPointer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace merilog {

// A token callbacks check before they run: once its owner is gone, they are
// skipped. Models that post work to threads they do not own keep one.
class CallbackGuard {
 public:
  CallbackGuard() : token_(std::make_shared<int>(0)) {}
  std::weak_ptr<int> Watch() const { return token_; }

 private:
  std::shared_ptr<int> token_;
};

// One thread that runs the jobs posted to it, in order, and hands each job's
// result back to the thread that made the worker (which runs a Qt event loop)
// as a queued call, in the same order. The only way work and results cross
// threads: no other state is shared.
class WorkerThread {
 public:
  // What the destructor does with the thread.
  enum class AtEnd {
    Finish,   // run every job already posted, then join: nothing posted is lost
    Abandon,  // drop the jobs not started and leave at once; the running job
              // finishes on its own (a silent meter is waited for by nobody)
  };

  explicit WorkerThread(AtEnd atEnd = AtEnd::Finish);
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Runs on the thread once it leaves, after its last job (closing what it holds).
  void SetFinalJob(std::function<void()> job);

  // Runs `job` on the thread after the earlier ones; nothing comes back.
  void Post(std::function<void()> job);

  // Runs `job` on the thread every `periodMs`, from one period after now, until
  // StopRepeating: the thread keeps the time itself, so a periodic exchange
  // costs no hand-over from another thread. Posted jobs go first. A job that
  // runs past one or more due times is followed at once by the next, which is
  // told how many whole periods were missed meanwhile. One repeating job at a
  // time: a second call replaces the first.
  void Repeat(int periodMs, std::function<void(long long missed)> job);
  // No repeating job starts after this returns (one running finishes).
  void StopRepeating();

  // Runs `job` on the thread, then `done` with its result on the creating
  // thread, unless `alive` has expired by then.
  template <class R>
  void Run(std::function<R()> job, std::function<void(R)> done, std::weak_ptr<int> alive = Forever()) {
    ++pending_;
    auto shared = shared_;
    QPointer<QObject> mailbox = mailbox_;
    Post([this, shared, mailbox, job = std::move(job), done = std::move(done), alive = std::move(alive)]() mutable {
      auto result = std::make_shared<R>(job());
      std::lock_guard lock(shared->mutex);
      if (shared->receiverGone) return;
      QMetaObject::invokeMethod(
          mailbox.data(),
          [this, done = std::move(done), alive = std::move(alive), result] {
            --pending_;
            if (!alive.expired()) done(std::move(*result));
          },
          Qt::QueuedConnection);
    });
  }

  // Runs `job` on the thread and waits for its result: for code without an
  // event loop (tools, tests). Never use it on the user-interface thread.
  template <class R>
  R Call(std::function<R()> job) {
    auto promise = std::make_shared<std::promise<R>>();
    auto future = promise->get_future();
    Post([promise, job = std::move(job)] { promise->set_value(job()); });
    return future.get();
  }

  // From a job on the thread: runs `call` on the creating thread as a queued
  // call (progress of a long job), unless the worker is gone by then.
  void Deliver(std::function<void()> call);

  // Deliver for a job that may outlive the worker (an abandoned one): it keeps
  // no pointer to the worker, and its calls are dropped once the worker is gone.
  using Courier = std::function<void(std::function<void()>)>;
  Courier MakeCourier() const;

  // Jobs posted with Run whose results have not been handed back yet.
  int Pending() const { return pending_; }
  // Jobs posted (either way) that have not finished running on the thread.
  int Outstanding() const { return shared_->outstanding.load(); }

  // A token that never expires: results are handed back while the worker lives.
  static std::weak_ptr<int> Forever();

 private:
  struct Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> jobs;
    std::function<void()> finalJob;
    std::shared_ptr<std::function<void(long long)>> repeat;
    std::chrono::steady_clock::duration period{};
    std::chrono::steady_clock::time_point due;
    bool leaving = false;
    bool dropQueued = false;
    bool receiverGone = false;
    std::atomic<int> outstanding{0};
  };
  static void Loop(std::shared_ptr<Shared> shared);

  AtEnd atEnd_;
  std::shared_ptr<Shared> shared_;
  QObject* mailbox_;  // lives on the creating thread; results are delivered through it
  int pending_ = 0;
  std::thread thread_;
};

}  // namespace merilog
