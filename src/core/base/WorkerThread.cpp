#include "core/base/WorkerThread.h"

#include <algorithm>

namespace merilog {

WorkerThread::WorkerThread(AtEnd atEnd) : atEnd_(atEnd), shared_(std::make_shared<Shared>()), mailbox_(new QObject) {
  thread_ = std::thread(&WorkerThread::Loop, shared_);
}

WorkerThread::~WorkerThread() {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->leaving = true;
    shared_->dropQueued = atEnd_ == AtEnd::Abandon;
    if (shared_->dropQueued) shared_->jobs.clear();
    shared_->receiverGone = true;  // results still in flight are dropped
  }
  shared_->wake.notify_all();
  if (atEnd_ == AtEnd::Finish)
    thread_.join();
  else
    thread_.detach();
  delete mailbox_;  // and with it every result already queued for delivery
}

std::weak_ptr<int> WorkerThread::Forever() {
  static const std::shared_ptr<int> token = std::make_shared<int>(0);
  return token;
}

void WorkerThread::SetFinalJob(std::function<void()> job) {
  std::lock_guard lock(shared_->mutex);
  shared_->finalJob = std::move(job);
}

void WorkerThread::Post(std::function<void()> job) {
  {
    std::lock_guard lock(shared_->mutex);
    if (shared_->leaving) return;
    ++shared_->outstanding;
    shared_->jobs.push_back(std::move(job));
  }
  shared_->wake.notify_one();
}

void WorkerThread::Repeat(int periodMs, std::function<void(long long)> job) {
  {
    std::lock_guard lock(shared_->mutex);
    if (shared_->leaving) return;
    shared_->period = std::chrono::milliseconds(std::max(periodMs, 1));
    shared_->due = std::chrono::steady_clock::now() + shared_->period;
    shared_->repeat = std::make_shared<std::function<void(long long)>>(std::move(job));
  }
  shared_->wake.notify_one();
}

void WorkerThread::StopRepeating() {
  std::lock_guard lock(shared_->mutex);
  shared_->repeat.reset();
}

void WorkerThread::Deliver(std::function<void()> call) {
  MakeCourier()(std::move(call));
}

WorkerThread::Courier WorkerThread::MakeCourier() const {
  // The mailbox is deleted only after receiverGone is set under the lock, so a
  // call that finds it unset may still post to it.
  return [shared = shared_, mailbox = mailbox_](std::function<void()> call) {
    std::lock_guard lock(shared->mutex);
    if (shared->receiverGone) return;
    QMetaObject::invokeMethod(mailbox, std::move(call), Qt::QueuedConnection);
  };
}

void WorkerThread::Loop(std::shared_ptr<Shared> shared) {
  for (;;) {
    std::function<void()> job;
    std::shared_ptr<std::function<void(long long)>> repeat;
    long long missed = 0;
    {
      std::unique_lock lock(shared->mutex);
      for (;;) {
        if (!shared->jobs.empty() || shared->leaving) break;
        if (!shared->repeat) {
          shared->wake.wait(lock);
          continue;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now < shared->due) {
          shared->wake.wait_until(lock, shared->due);
          continue;
        }
        // The next due time is the first still ahead: periods that passed
        // while an exchange ran are counted, not caught up.
        missed = (now - shared->due) / shared->period;
        shared->due += (missed + 1) * shared->period;
        repeat = shared->repeat;
        break;
      }
      if (!repeat) {
        if (shared->jobs.empty() || shared->dropQueued) break;
        job = std::move(shared->jobs.front());
        shared->jobs.pop_front();
      }
    }
    if (repeat) {
      (*repeat)(missed);
      continue;
    }
    job();
    --shared->outstanding;
  }
  std::function<void()> finalJob;
  {
    std::lock_guard lock(shared->mutex);
    finalJob = std::move(shared->finalJob);
  }
  if (finalJob) finalJob();
}

}  // namespace merilog
