#include "core/base/WorkerThread.h"

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
    {
      std::unique_lock lock(shared->mutex);
      shared->wake.wait(lock, [&] { return !shared->jobs.empty() || shared->leaving; });
      if (shared->jobs.empty() || shared->dropQueued) break;
      job = std::move(shared->jobs.front());
      shared->jobs.pop_front();
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
