#include "core/base/JobRunner.h"

namespace merilog {

JobProgress::JobProgress(WorkerThread& thread, std::shared_ptr<std::atomic<bool>> cancelled,
                         std::function<void(qint64, qint64)> onProgress, std::weak_ptr<int> alive)
    : thread_(thread), cancelled_(std::move(cancelled)), onProgress_(std::move(onProgress)), alive_(std::move(alive)) {}

void JobProgress::Report(qint64 done, qint64 total) {
  if (!onProgress_) return;
  const auto now = std::chrono::steady_clock::now();
  if (done != total && now - lastReport_ < std::chrono::milliseconds(50)) return;
  lastReport_ = now;
  thread_.Deliver([onProgress = onProgress_, alive = alive_, done, total] {
    if (!alive.expired()) onProgress(done, total);
  });
}

JobRunner::~JobRunner() { Cancel(); }

}  // namespace merilog
