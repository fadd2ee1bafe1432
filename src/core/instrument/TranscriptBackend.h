#pragma once
#include <memory>

#include "core/instrument/Backend.h"
#include "core/instrument/TranscriptLog.h"

namespace merilog {

// Wraps a backend so that every session it opens writes a transcript. Wrap each
// backend before handing it to the ResourceManager to record a whole program run.
class TranscriptBackend : public Backend {
 public:
  TranscriptBackend(std::shared_ptr<Backend> inner, std::shared_ptr<TranscriptLog> log);
  std::string Name() const override { return inner_->Name(); }
  bool IsActive(std::string* whyNot) const override { return inner_->IsActive(whyNot); }
  std::vector<std::string> List() override { return inner_->List(); }
  bool Handles(const std::string& resource) const override { return inner_->Handles(resource); }
  std::unique_ptr<Session> Open(const std::string& resource, Status* status) override;

  Backend& Inner() { return *inner_; }

 private:
  std::shared_ptr<Backend> inner_;
  std::shared_ptr<TranscriptLog> log_;
};

// Returns backend itself when log is null, else the backend wrapped in a TranscriptBackend.
std::shared_ptr<Backend> WithTranscript(std::shared_ptr<Backend> backend, std::shared_ptr<TranscriptLog> log);

}  // namespace merilog
