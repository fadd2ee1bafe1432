#pragma once
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "core/instrument/Backend.h"

namespace merilog::test {

// Meters that take real time to answer, for the tests of the threads: each
// read of a resource waits its delay, and a held resource answers nothing
// until released (or until the session's time-out, which then fails the read).
// Controlled from the test's thread while the sessions read on theirs.
class Latency {
 public:
  void SetDelay(const std::string& resource, int ms) {
    std::lock_guard lock(mutex_);
    delayMs_[resource] = ms;
  }
  void Hold(const std::string& resource) {
    std::lock_guard lock(mutex_);
    held_[resource] = true;
  }
  void Release(const std::string& resource) {
    {
      std::lock_guard lock(mutex_);
      held_[resource] = false;
    }
    wake_.notify_all();
  }
  // Before a read: false when the read must fail as timed out.
  bool Wait(const std::string& resource, int timeoutMs) {
    std::unique_lock lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    if (!wake_.wait_until(lock, deadline, [&] { return !held_[resource]; })) return false;
    const int ms = delayMs_[resource];
    lock.unlock();
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));  // the meter measuring
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  std::map<std::string, int> delayMs_;
  std::map<std::string, bool> held_;
};

class SlowSession : public Session {
 public:
  SlowSession(std::unique_ptr<Session> inner, std::shared_ptr<Latency> latency)
      : inner_(std::move(inner)), latency_(std::move(latency)) {}
  Status Write(std::string_view bytes) override { return inner_->Write(bytes); }
  ReadResult Read(std::size_t n) override {
    if (!latency_->Wait(Resource(), timeoutMs_)) return {status::kErrorTimeout, {}, false};
    return inner_->Read(n);
  }
  Status SetTimeout(int ms) override {
    timeoutMs_ = ms;
    return inner_->SetTimeout(ms);
  }
  Status Clear() override { return inner_->Clear(); }
  Status Close() override { return inner_->Close(); }
  const std::string& Resource() const override { return inner_->Resource(); }

 private:
  std::unique_ptr<Session> inner_;
  std::shared_ptr<Latency> latency_;
  int timeoutMs_ = 20000;
};

// A backend that hands out its inner backend's sessions inside a wrapper of the
// test's (delays, recording).
template <class Wrapper, class Shared>
class WrappingBackend : public Backend {
 public:
  WrappingBackend(std::shared_ptr<Backend> inner, std::shared_ptr<Shared> shared)
      : inner_(std::move(inner)), shared_(std::move(shared)) {}
  std::string Name() const override { return inner_->Name(); }
  bool IsActive(std::string* whyNot) const override { return inner_->IsActive(whyNot); }
  std::vector<std::string> List() override { return inner_->List(); }
  bool Handles(const std::string& r) const override { return inner_->Handles(r); }
  std::unique_ptr<Session> Open(const std::string& r, Status* st) override {
    auto s = inner_->Open(r, st);
    return s ? std::make_unique<Wrapper>(std::move(s), shared_) : nullptr;
  }

 private:
  std::shared_ptr<Backend> inner_;
  std::shared_ptr<Shared> shared_;
};

using SlowBackend = WrappingBackend<SlowSession, Latency>;

}  // namespace merilog::test
