#include "core/instrument/SessionWorker.h"

#include "core/instrument/LanSocket.h"

namespace merilog {
namespace {

// The session as a procedure sees it: once Abort has cut the procedure short,
// no exchange goes to the meter any more, so a Stop that lands while a command
// is written still ends the read meant to follow it.
class GuardedSession final : public Session {
 public:
  GuardedSession(std::unique_ptr<Session>& session, const std::atomic<bool>& cut) : session_(session), cut_(cut) {}
  Status Write(std::string_view bytes) override { return cut_ ? status::kErrorAbort : session_->Write(bytes); }
  ReadResult Read(std::size_t maxBytes) override {
    return cut_ ? ReadResult{status::kErrorAbort, {}, false} : session_->Read(maxBytes);
  }
  ReadResult WriteThenRead(std::string_view command, std::size_t maxBytes, Status* writeStatus) override {
    if (!cut_) return session_->WriteThenRead(command, maxBytes, writeStatus);
    if (writeStatus) *writeStatus = status::kErrorAbort;
    return ReadResult{status::kErrorAbort, {}, false};
  }
  Status SetTimeout(int ms) override { return session_->SetTimeout(ms); }
  Status Clear() override { return cut_ ? status::kErrorAbort : session_->Clear(); }
  Status Close() override { return session_->Close(); }
  const std::string& Resource() const override { return session_->Resource(); }
  std::shared_ptr<AbortSignal> Aborter() override { return session_->Aborter(); }

 private:
  std::unique_ptr<Session>& session_;
  const std::atomic<bool>& cut_;
};

}  // namespace

SessionWorker::Holder::Holder() : guarded(std::make_unique<GuardedSession>(session, cut)) {}

SessionWorker::Holder::~Holder() = default;

void SessionWorker::Holder::Begin() {
  std::lock_guard lock(abortMutex);
  running = true;
}

void SessionWorker::Holder::End() {
  std::lock_guard lock(abortMutex);
  running = false;
  // An abort the session did not take (it came after its last wait) must not
  // cut the next procedure's first exchange.
  if (cut.exchange(false) && abort) abort->Reset();
}

void SessionWorker::Holder::Abort() {
  std::lock_guard lock(abortMutex);
  if (!running || !abort) return;
  cut = true;
  abort->Raise();
}

Session* SessionWorker::Holder::Get() {
  if (open) {
    session = open();
    open = nullptr;
    KeepAborter();
  }
  return session.get();
}

void SessionWorker::Holder::KeepAborter() {
  auto signal = session ? session->Aborter() : nullptr;
  std::lock_guard lock(abortMutex);
  abort = std::move(signal);
}

void SessionWorker::Holder::Close() {
  open = nullptr;
  if (session) session->Close();
  session.reset();
}

SessionWorker::SessionWorker(std::string resource, Opener open)
    : resource_(std::move(resource)), holder_(std::make_shared<Holder>()) {
  holder_->open = std::move(open);
  auto holder = holder_;
  thread_.SetFinalJob([holder] { holder->Close(); });
}

SessionWorker::SessionWorker(std::unique_ptr<Session> session) : holder_(std::make_shared<Holder>()) {
  if (session) resource_ = session->Resource();
  holder_->session = std::move(session);
  holder_->KeepAborter();
  auto holder = holder_;
  thread_.SetFinalJob([holder] { holder->Close(); });
}

SessionWorker::~SessionWorker() {
  // Abandoned: a read waiting on a silent meter ends now, and the session closes.
  Abort();
}

void SessionWorker::Abort() {
  holder_->Abort();
}

void SessionWorker::Post(std::function<void(Session*)> procedure) {
  auto holder = holder_;
  thread_.Post([holder, procedure = std::move(procedure)] { holder->Use(procedure); });
}

void SessionWorker::Repeat(int periodMs, std::function<void(Session*, long long)> procedure) {
  auto holder = holder_;
  thread_.Repeat(periodMs, [holder, procedure = std::move(procedure)](long long missed) {
    auto once = [&](Session* s) { procedure(s, missed); };
    holder->Use(once);
  });
}

}  // namespace merilog
