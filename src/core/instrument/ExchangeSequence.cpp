#include "core/instrument/ExchangeSequence.h"

namespace merilog {

void ExchangeSequence::Then(std::function<void()> step) {
  Add([step = std::move(step)](Finished finished) {
    step();
    finished();
  });
}

void ExchangeSequence::Inside(const std::function<void()>& code) {
  ++inside_;
  code();
  --inside_;
}

void ExchangeSequence::Add(Step step) {
  if (inside_ > 0) {
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
    auto generation = guard_->Watch();
    Inside([&] {
      step([this, generation] {
        if (generation.expired()) return;  // cleared meanwhile
        running_ = false;
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
