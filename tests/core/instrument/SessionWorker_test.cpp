// Stop cuts short the exchange running on a meter's thread, and nothing else:
// not the exchanges after it, not an exchange begun after the abort was given.
#include "core/instrument/SessionWorker.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <future>

#include "core/instrument/LanSocket.h"
#include "support/TestSupport.h"

namespace merilog {
namespace {

namespace st = status;

// Honours its abort signal as the LAN sessions do: an exchange that finds it
// raised takes it and fails with kErrorAbort; otherwise the meter answers. The
// write can be held until the test lets it go on.
class AbortingSession : public Session {
 public:
  explicit AbortingSession(bool holdWrite = false) : holdWrite_(holdWrite) {}
  Status Write(std::string_view) override {
    if (holdWrite_) {
      held_ = true;
      release_.get_future().wait();
    }
    return Taken() ? st::kErrorAbort : st::kSuccess;
  }
  ReadResult Read(std::size_t) override {
    return Taken() ? ReadResult{st::kErrorAbort, {}, false} : ReadResult{st::kSuccess, "1\n", true};
  }
  Status SetTimeout(int) override { return st::kSuccess; }
  Status Clear() override { return st::kSuccess; }
  Status Close() override { return st::kSuccess; }
  const std::string& Resource() const override { return resource_; }
  std::shared_ptr<AbortSignal> Aborter() override { return abort_; }

  bool Held() const { return held_; }
  void Release() {
    holdWrite_ = false;
    release_.set_value();
  }

 private:
  bool Taken() {
    pollfd p{abort_->Fd(), POLLIN, 0};
    if (::poll(&p, 1, 0) != 1) return false;
    abort_->Reset();
    return true;
  }
  std::atomic<bool> holdWrite_, held_{false};
  std::promise<void> release_;
  std::string resource_ = "TCPIP0::127.0.0.1::inst0::INSTR";
  std::shared_ptr<AbortSignal> abort_ = std::make_shared<AbortSignal>();
};

struct Exchange {
  Status write;
  Status read;
};

Exchange WriteThenRead(Session* s) {
  const Status w = s->Write("read?\n");
  return {w, s->Read(1024).status};
}

TEST(SessionWorker, AnAbortWithNoExchangeRunningIsDropped) {
  // A tick's answer already on its way when Stop came: the signal must not
  // fail the clearing or the next run's first question.
  SessionWorker worker(std::make_unique<AbortingSession>());
  worker.Abort();
  const Exchange e = worker.Call<Exchange>(WriteThenRead);
  EXPECT_EQ(e.write, st::kSuccess);
  EXPECT_EQ(e.read, st::kSuccess);
}

TEST(SessionWorker, AnAbortDuringTheWriteEndsTheReadAfterItAndOnlyThatProcedure) {
  auto session = std::make_unique<AbortingSession>(true);
  AbortingSession* held = session.get();
  SessionWorker worker(std::move(session));
  auto running = std::async(std::launch::async, [&] { return worker.Call<Exchange>(WriteThenRead); });
  ASSERT_TRUE(test::RunUntil([&] { return held->Held(); }));
  worker.Abort();
  held->Release();
  // The write took the signal; without more the meter would be asked for an
  // answer Stop no longer wants, and a silent one would hold the thread.
  const Exchange cut = running.get();
  EXPECT_EQ(cut.write, st::kErrorAbort);
  EXPECT_EQ(cut.read, st::kErrorAbort);
  const Exchange next = worker.Call<Exchange>(WriteThenRead);
  EXPECT_EQ(next.write, st::kSuccess);
  EXPECT_EQ(next.read, st::kSuccess);
}

}  // namespace
}  // namespace merilog
