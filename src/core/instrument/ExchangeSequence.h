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
    Add([this, worker, procedure = std::move(procedure), apply = std::move(apply)](int id, Finished finished) mutable {
      if (!worker) {
        apply(procedure(nullptr));
        finished();
        return;
      }
      worker->Run<R>(
          std::move(procedure),
          [this, id, apply = std::move(apply), finished](R result) mutable {
            Inside(id, [&] { apply(std::move(result)); });
            finished();
          },
          guard_->Watch());
    });
  }
  // A step without an exchange, in its place in the order.
  void Then(std::function<void()> step);
  // A step that waits for something else (a search): `start` gets the call
  // that ends the step.
  void Await(std::function<void(std::function<void()> resume)> start);

  // No step waits or is queued.
  bool Idle() const { return !running_ && queue_.empty(); }
  // Drops the steps not started; a step waiting for its answer is forgotten
  // (its answer, when it comes, changes nothing).
  void Clear();
  // Called whenever the sequence becomes idle.
  std::function<void()> onIdle;

 private:
  using Finished = std::function<void()>;
  using Step = std::function<void(int id, Finished)>;
  void Add(Step step);
  void Pump();
  // Runs the code of step `id`: while it is the running step, what it adds goes
  // before the steps queued earlier.
  void Inside(int id, const std::function<void()>& code);

  std::deque<Step> queue_;
  std::vector<Step> added_;  // added by the running step; they go first
  bool running_ = false;     // a step runs or waits for its answer
  int runningId_ = 0;        // that step
  int executing_ = 0;        // the step whose code is executing now, 0 for none
  int nextId_ = 1;
  bool pumping_ = false;
  std::unique_ptr<CallbackGuard> guard_ = std::make_unique<CallbackGuard>();
};

}  // namespace merilog
