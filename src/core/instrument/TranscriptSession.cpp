#include "core/instrument/TranscriptSession.h"

namespace merilog {

TranscriptSession::TranscriptSession(std::unique_ptr<Session> inner, std::shared_ptr<TranscriptLog> log)
    : inner_(std::move(inner)), log_(std::move(log)) {}

Status TranscriptSession::Write(std::string_view bytes) {
  const Status st = inner_->Write(bytes);
  log_->Sent(inner_->Resource(), bytes, st);
  return st;
}

ReadResult TranscriptSession::Read(std::size_t maxBytes) {
  ReadResult r = inner_->Read(maxBytes);
  log_->Received(inner_->Resource(), r);
  return r;
}

ReadResult TranscriptSession::WriteThenRead(std::string_view command, std::size_t maxBytes, Status* writeStatus) {
  Status written = status::kSuccess;
  ReadResult r = inner_->WriteThenRead(command, maxBytes, &written);
  log_->Sent(inner_->Resource(), command, written);
  log_->Received(inner_->Resource(), r);
  if (writeStatus) *writeStatus = written;
  return r;
}

Status TranscriptSession::SetTimeout(int ms) {
  const Status st = inner_->SetTimeout(ms);
  log_->Note(inner_->Resource(), "time-out " + std::to_string(ms) + " ms", st);
  return st;
}

Status TranscriptSession::Clear() {
  const Status st = inner_->Clear();
  log_->Note(inner_->Resource(), "clear", st);
  return st;
}

Status TranscriptSession::Close() {
  const Status st = inner_->Close();
  log_->Note(inner_->Resource(), "close", st);
  return st;
}

}  // namespace merilog
