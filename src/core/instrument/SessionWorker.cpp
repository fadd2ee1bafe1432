#include "core/instrument/SessionWorker.h"

namespace merilog {

Session* SessionWorker::Holder::Get() {
  if (open) {
    session = open();
    open = nullptr;
  }
  return session.get();
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
  auto holder = holder_;
  thread_.SetFinalJob([holder] { holder->Close(); });
}

void SessionWorker::Post(std::function<void(Session*)> procedure) {
  auto holder = holder_;
  thread_.Post([holder, procedure = std::move(procedure)] { procedure(holder->Get()); });
}

}  // namespace merilog
