// A session answering from a script, each answer in pieces of at most the bytes asked for.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "core/instrument/Session.h"

namespace merilog::test {

class ScriptSession : public Session {
 public:
  explicit ScriptSession(std::string name = "S") : name_(std::move(name)) {}
  Status Write(std::string_view bytes) override {
    writes.emplace_back(bytes);
    return merilog::status::kSuccess;
  }
  ReadResult Read(std::size_t maxBytes) override {
    ++reads;
    if (pending_.empty()) {
      if (answers.empty()) return {merilog::status::kErrorTimeout, {}, false};
      pending_ = answers.front();
      answers.pop_front();
    }
    ReadResult r;
    r.bytes = pending_.substr(0, maxBytes);
    pending_.erase(0, r.bytes.size());
    r.end = pending_.empty();
    r.status = r.end ? merilog::status::kSuccess : merilog::status::kSuccessMaxCount;
    return r;
  }
  Status SetTimeout(int) override { return merilog::status::kSuccess; }
  Status Clear() override { return merilog::status::kSuccess; }
  Status Close() override { return merilog::status::kSuccess; }
  const std::string& Resource() const override { return name_; }

  std::deque<std::string> answers;
  std::vector<std::string> writes;
  int reads = 0;

 private:
  std::string name_;
  std::string pending_;
};

}  // namespace merilog::test
