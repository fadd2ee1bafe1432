#include "core/instrument/SessionWorker.h"

#include "core/instrument/LanSocket.h"

namespace merilog {

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
  std::lock_guard lock(holder_->abortMutex);
  if (holder_->abort) holder_->abort->Raise();
}

void SessionWorker::Post(std::function<void(Session*)> procedure) {
  auto holder = holder_;
  thread_.Post([holder, procedure = std::move(procedure)] { procedure(holder->Get()); });
}

}  // namespace merilog
