#include "core/instrument/TranscriptBackend.h"

#include "core/instrument/TranscriptSession.h"

namespace merilog {

TranscriptBackend::TranscriptBackend(std::shared_ptr<Backend> inner, std::shared_ptr<TranscriptLog> log)
    : inner_(std::move(inner)), log_(std::move(log)) {}

std::unique_ptr<Session> TranscriptBackend::Open(const std::string& resource, Status* status) {
  Status st = status::kSuccess;
  auto session = inner_->Open(resource, &st);
  log_->Note(resource, "open (" + inner_->Name() + ")",
             session ? st : (IsSuccess(st) ? status::kErrorResourceNotFound : st));
  if (status) *status = st;
  if (!session) return nullptr;
  return std::make_unique<TranscriptSession>(std::move(session), log_);
}

std::shared_ptr<Backend> WithTranscript(std::shared_ptr<Backend> backend, std::shared_ptr<TranscriptLog> log) {
  if (!log || !backend) return backend;
  return std::make_shared<TranscriptBackend>(std::move(backend), std::move(log));
}

}  // namespace merilog
