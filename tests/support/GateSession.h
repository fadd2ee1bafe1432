// A session that holds one read until the test opens the gate: a meter that is
// slow or silent in real time, so tests can act while an exchange waits.
#pragma once
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "core/instrument/Session.h"

namespace merilog::test {

class GateSession : public Session {
 public:
  // The holdAt-th read (from 1) waits for Open(); 0 holds none.
  GateSession(std::unique_ptr<Session> inner, int holdAt) : inner_(std::move(inner)), holdAt_(holdAt) {}
  ~GateSession() override { Open(); }

  Status Write(std::string_view bytes) override { return inner_->Write(bytes); }
  ReadResult Read(std::size_t n) override {
    if (++reads_ == holdAt_) {
      held_ = true;
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return open_; });
    }
    return inner_->Read(n);
  }
  Status SetTimeout(int ms) override { return inner_->SetTimeout(ms); }
  Status Clear() override { return inner_->Clear(); }
  Status Close() override { return inner_->Close(); }
  const std::string& Resource() const override { return inner_->Resource(); }

  // The held read has begun waiting.
  bool Held() const { return held_; }
  void Open() {
    {
      std::lock_guard lock(mutex_);
      open_ = true;
    }
    wake_.notify_all();
  }

 private:
  std::unique_ptr<Session> inner_;
  int holdAt_;
  std::atomic<int> reads_{0};
  std::atomic<bool> held_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
  bool open_ = false;
};

}  // namespace merilog::test
