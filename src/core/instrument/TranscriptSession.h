#pragma once
#include <memory>

#include "core/instrument/Session.h"
#include "core/instrument/TranscriptLog.h"

namespace merilog {

// Wraps any session and writes every command, answer, time-out setting, clear
// and close to a transcript; behaves otherwise exactly like the wrapped session.
class TranscriptSession : public Session {
 public:
  TranscriptSession(std::unique_ptr<Session> inner, std::shared_ptr<TranscriptLog> log);
  Status Write(std::string_view bytes) override;
  ReadResult Read(std::size_t maxBytes) override;
  ReadResult WriteThenRead(std::string_view command, std::size_t maxBytes, Status* writeStatus) override;
  Status SetTimeout(int ms) override;
  Status Clear() override;
  Status Close() override;
  const std::string& Resource() const override { return inner_->Resource(); }
  // Stop must reach a LAN read through the transcript too.
  std::shared_ptr<AbortSignal> Aborter() override { return inner_->Aborter(); }

  Session& Inner() { return *inner_; }

 private:
  std::unique_ptr<Session> inner_;
  std::shared_ptr<TranscriptLog> log_;
};

}  // namespace merilog
