#include "core/measure/ReadingPacer.h"

#include <algorithm>
#include <mutex>
#include <utility>

#include "core/base/Clock.h"
#include "core/instrument/SessionWorker.h"

namespace merilog {

// What the meters' threads and the owner share, under its mutex.
struct PacingState {
  std::mutex mutex;
  const Clock* clock = nullptr;
  ReadingPacer::Plan plan;
  bool stopped = false;  // by the owner: nothing more is asked, stamped or handed over
  bool ended = false;    // no tick starts any more (failed read, time up, every tick taken)
  bool open = false;     // a tick waits for another meter's answer
  long long started = 0;
  long long late = 0;  // not handed over yet
  std::vector<MeterReading> readings;
  size_t answered = 0;
  std::vector<ReadingPacer::Tick> ready;
  bool wakePosted = false;  // a hand-over is on its way, or the owner looks again soon
  WorkerThread::Courier courier;
  std::function<void()> wake;
};

namespace {

using Shared = PacingState;

// Under the lock: no tick starts after the one running.
void End(Shared& s) {
  s.ended = true;
  s.plan.workers.front()->StopRepeating();
}

// Under the lock: queues a finished tick and asks the owner to take it,
// unless it has been asked already.
void Finish(Shared& s, ReadingPacer::Tick tick) {
  s.ready.push_back(std::move(tick));
  if (s.wakePosted) return;
  s.wakePosted = true;
  s.courier(s.wake);
}

void Put(Shared& s, size_t meter, MeterReading r) {
  std::lock_guard lock(s.mutex);
  if (s.stopped) return;
  r.at = s.clock->TimeOfDay();
  s.readings[meter] = std::move(r);
  if (++s.answered < s.readings.size()) return;
  s.open = false;
  ReadingPacer::Tick tick;
  tick.readings = std::move(s.readings);
  tick.late = std::exchange(s.late, 0);
  // The run stops at a failed read: the meters are not asked again meanwhile.
  if (std::any_of(tick.readings.begin(), tick.readings.end(), [](const MeterReading& m) { return m.failed; }))
    End(s);
  Finish(s, std::move(tick));
}

// On the first meter's thread, every period.
void Due(const std::shared_ptr<Shared>& shared, Session* session, long long missed) {
  Shared& s = *shared;
  std::unique_lock lock(s.mutex);
  if (s.stopped || s.ended) return;
  s.late += missed;
  if (s.open) {
    ++s.late;
    return;
  }
  if (s.plan.stopMs > 0 && s.clock->NowMs() >= s.plan.stopMs) {
    End(s);
    ReadingPacer::Tick tick;
    tick.timeUp = true;
    tick.late = std::exchange(s.late, 0);
    return Finish(s, std::move(tick));
  }
  if (s.plan.ticks > 0 && ++s.started >= s.plan.ticks) End(s);
  s.open = true;
  s.answered = 0;
  s.readings.assign(s.plan.workers.size(), {});
  const bool pipelined = s.plan.pipelined;
  for (size_t d = 1; d < s.plan.workers.size(); ++d)
    s.plan.workers[d]->Post(
        [shared, d, pipelined](Session* other) { Put(*shared, d, ReadMeter(other, pipelined)); });
  lock.unlock();
  Put(s, 0, ReadMeter(session, pipelined));
}

}  // namespace

ReadingPacer::ReadingPacer(Plan plan, const Clock& clock, std::function<void(std::vector<Tick>)> deliver)
    : shared_(std::make_shared<PacingState>()),
      keeper_(plan.workers.front()),
      deliver_(std::move(deliver)),
      batched_(plan.periodMs < kHoldMs) {
  hold_.setSingleShot(true);
  hold_.setInterval(kHoldMs);
  QObject::connect(&hold_, &QTimer::timeout, [this] { Drain(); });
  const int period = plan.periodMs;
  shared_->clock = &clock;
  shared_->plan = std::move(plan);
  shared_->courier = keeper_->Courier();
  shared_->wake = [this, alive = guard_.Watch()] {
    if (!alive.expired()) Drain();
  };
  keeper_->Repeat(period, [shared = shared_](Session* s, long long missed) { Due(shared, s, missed); });
}

ReadingPacer::~ReadingPacer() {
  Stop();
}

void ReadingPacer::Stop() {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->stopped = true;
    shared_->ready.clear();
  }
  keeper_->StopRepeating();
  hold_.stop();
}

void ReadingPacer::Drain() {
  std::vector<Tick> batch;
  {
    std::lock_guard lock(shared_->mutex);
    if (shared_->stopped) return;
    batch.swap(shared_->ready);
    // Batched, the owner looks again after kHoldMs; a tick that comes meanwhile need not wake it.
    if (batch.empty() || !batched_) shared_->wakePosted = false;
  }
  if (batch.empty()) return;
  if (batched_) hold_.start();
  deliver_(std::move(batch));  // may stop this pacer: nothing of it is touched after
}

}  // namespace merilog
