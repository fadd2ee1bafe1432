#include "core/instrument/ExchangeSequence.h"

namespace merilog {

void ExchangeSequence::Then(std::function<void()> step) {
  Add([step = std::move(step)](int, Finished finished) {
    step();
    finished();
  });
}

void ExchangeSequence::Await(std::function<void(std::function<void()> resume)> start) {
  Add([this, start = std::move(start)](int, Finished finished) {
    auto alive = guard_->Watch();
    start([alive, finished] {
      if (!alive.expired()) finished();
    });
  });
}

void ExchangeSequence::Inside(int id, const std::function<void()>& code) {
  const int outer = executing_;
  executing_ = id;
  code();
  executing_ = outer;
}

void ExchangeSequence::Add(Step step) {
  if (running_ && executing_ == runningId_) {
    added_.push_back(std::move(step));
    return;
  }
  queue_.push_back(std::move(step));
  Pump();
}

void ExchangeSequence::Clear() {
  queue_.clear();
  added_.clear();
  running_ = false;
  runningId_ = 0;
  guard_ = std::make_unique<CallbackGuard>();  // answers still on their way change nothing
}

void ExchangeSequence::Pump() {
  // Steps that finish at once are run in this loop rather than by recursion.
  if (pumping_) return;
  pumping_ = true;
  while (!running_ && !queue_.empty()) {
    Step step = std::move(queue_.front());
    queue_.pop_front();
    running_ = true;
    const int id = runningId_ = nextId_++;
    auto generation = guard_->Watch();
    Inside(id, [&] {
      step(id, [this, id, generation] {
        if (generation.expired() || runningId_ != id) return;  // cleared meanwhile
        running_ = false;
        runningId_ = 0;
        queue_.insert(queue_.begin(), std::make_move_iterator(added_.begin()), std::make_move_iterator(added_.end()));
        added_.clear();
        if (!pumping_) Pump();
      });
    });
  }
  pumping_ = false;
  if (Idle() && onIdle) onIdle();
}

}  // namespace merilog
