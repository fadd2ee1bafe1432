#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "core/base/WorkerThread.h"
#include "core/instrument/Session.h"

namespace merilog {

// One thread per open session: every exchange with that meter runs there, in
// the order posted, and each result comes back to the thread that made the
// worker as a queued call. Procedures are plain functions over a Session, so
// tests can also call them directly. A session that could not be opened hands
// its procedures a null session (QueryDevice answers nothing for it).
//
// Destroying the worker never waits: procedures not started are dropped, the
// one running finishes on its own (a silent meter times out there), and then
// the session is closed on that thread.
class SessionWorker {
 public:
  using Opener = std::function<std::unique_ptr<Session>()>;

  // The session is opened on the worker's thread, before its first procedure
  // (opening may wait on the network).
  SessionWorker(std::string resource, Opener open);
  // A session opened already; from now on it is used only on the worker's thread.
  explicit SessionWorker(std::unique_ptr<Session> session);
  // Cuts a blocked exchange short where the session can be interrupted.
  ~SessionWorker();
  SessionWorker(const SessionWorker&) = delete;
  SessionWorker& operator=(const SessionWorker&) = delete;

  const std::string& Resource() const { return resource_; }

  // Runs `procedure` on the session's thread, then `done` with its result here.
  template <class R>
  void Run(std::function<R(Session*)> procedure, std::function<void(R)> done,
           std::weak_ptr<int> alive = WorkerThread::Forever()) {
    auto holder = holder_;
    thread_.Run<R>([holder, procedure = std::move(procedure)] { return holder->Use(procedure); }, std::move(done),
                   std::move(alive));
  }
  // Runs `procedure` on the session's thread with the session itself, which it
  // may close and replace (a meter that dropped off and came back); `done` gets
  // its result here. Later procedures use whatever session it left.
  template <class R>
  void Replace(std::function<R(std::unique_ptr<Session>&)> procedure, std::function<void(R)> done,
               std::weak_ptr<int> alive = WorkerThread::Forever()) {
    auto holder = holder_;
    thread_.Run<R>(
        [holder, procedure = std::move(procedure)] {
          holder->Get();
          R result = procedure(holder->session);
          holder->KeepAborter();
          return result;
        },
        std::move(done), std::move(alive));
  }
  // Runs `procedure` on the session's thread; nothing comes back.
  void Post(std::function<void(Session*)> procedure);
  // Runs `procedure` every `periodMs` on the session's thread, which keeps the
  // time itself (WorkerThread::Repeat), until StopRepeating; Abort cuts it
  // short like any other procedure.
  void Repeat(int periodMs, std::function<void(Session*, long long missed)> procedure);
  void StopRepeating() { thread_.StopRepeating(); }
  // Runs `procedure` and waits for its result: for tools and tests without an
  // event loop, never on the user-interface thread.
  template <class R>
  R Call(std::function<R(Session*)> procedure) {
    auto holder = holder_;
    return thread_.Call<R>([holder, procedure = std::move(procedure)] { return holder->Use(procedure); });
  }
  // For a long procedure's progress: hands calls from the session's thread back
  // here as queued calls, before the procedure's result; dropped once the
  // worker is gone.
  WorkerThread::Courier Courier() const { return thread_.MakeCourier(); }
  // Cuts the procedure running now short where the session can be interrupted
  // (VXI-11, HiSLIP): its blocked exchange ends with kErrorAbort, and so does
  // every exchange it tries after that. The procedures after it run as usual;
  // with none running, nothing happens.
  void Abort();
  // Procedures posted with Run whose results have not come back yet.
  int Pending() const { return thread_.Pending(); }
  // Nothing posted waits or runs, and every result has come back.
  bool Quiet() const { return thread_.Pending() == 0 && thread_.Outstanding() == 0; }

 private:
  // Touched only on the worker's thread, but for the abort state.
  struct Holder {
    Holder();
    ~Holder();
    Opener open;
    std::unique_ptr<Session> session;
    // What procedures are handed: the session, refusing every exchange once
    // the procedure has been cut short.
    std::unique_ptr<Session> guarded;
    Session* Get();
    void Close();
    // Runs one procedure as the one Abort may cut short.
    template <class F>
    auto Use(F& procedure) {
      Session* s = Get();
      struct Running {
        Holder* h;
        ~Running() { h->End(); }
      } running{this};
      Begin();
      return procedure(s ? guarded.get() : nullptr);
    }
    void Begin();
    void End();
    void Abort();
    // The session's abort signal and whether a procedure runs: the owner's
    // thread touches these too.
    std::mutex abortMutex;
    std::shared_ptr<AbortSignal> abort;
    bool running = false;
    std::atomic<bool> cut{false};
    void KeepAborter();
  };
  std::string resource_;
  std::shared_ptr<Holder> holder_;
  WorkerThread thread_{WorkerThread::AtEnd::Abandon};
};

}  // namespace merilog
