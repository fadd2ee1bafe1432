#pragma once
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "core/base/WorkerThread.h"
#include "core/instrument/SessionWorker.h"

namespace merilog {

// Runs steps one after another on the user-interface thread; a step may wait
// for one exchange with a meter, which runs on that meter's session thread
// while the window goes on. Steps added while a step runs go before the steps
// queued earlier, so a handler that asks several meters, and the handlers it
// calls, keep the order a handler that waited for each answer would give its
// exchanges and its changes of state.
class ExchangeSequence {
 public:
  ExchangeSequence() = default;
  ExchangeSequence(const ExchangeSequence&) = delete;
  ExchangeSequence& operator=(const ExchangeSequence&) = delete;

  // Runs `procedure` on the worker's thread (at once with a null session when
  // there is no worker), then `apply` here with its result.
  template <class R>
  void Ask(SessionWorker* worker, std::function<R(Session*)> procedure, std::function<void(R)> apply) {
    Add([this, worker, procedure = std::move(procedure), apply = std::move(apply)](Finished finished) mutable {
      if (!worker) {
        apply(procedure(nullptr));
        finished();
        return;
      }
      worker->Run<R>(
          std::move(procedure),
          [this, apply = std::move(apply), finished](R result) mutable {
            Inside([&] { apply(std::move(result)); });
            finished();
          },
          guard_->Watch());
    });
  }
  // A step without an exchange, in its place in the order.
  void Then(std::function<void()> step);

  // No step waits or is queued.
  bool Idle() const { return !running_ && queue_.empty(); }
  // Drops the steps not started; a step waiting for its answer is forgotten
  // (its answer, when it comes, changes nothing).
  void Clear();
  // Called whenever the sequence becomes idle.
  std::function<void()> onIdle;

 private:
  using Finished = std::function<void()>;
  using Step = std::function<void(Finished)>;
  void Add(Step step);
  void Pump();
  // Runs a step's own code: what it adds goes before the steps queued earlier.
  void Inside(const std::function<void()>& code);

  std::deque<Step> queue_;
  std::vector<Step> added_;  // added by the running step; they go first
  bool running_ = false;      // a step runs or waits for its answer
  int inside_ = 0;            // the running step's own code is executing
  bool pumping_ = false;
  std::unique_ptr<CallbackGuard> guard_ = std::make_unique<CallbackGuard>();
};

}  // namespace merilog
