#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/instrument/LanSocket.h"
#include "core/instrument/Session.h"

namespace merilog {

// One HiSLIP session in synchronous mode: the synchronous channel carries
// Data/DataEnd with message ids, the asynchronous one the device clear. A reply
// to an earlier message (one given up on) is recognised by its id and dropped;
// FatalError ends the session, Error is reported for the one operation.
class HislipSession final : public Session {
 public:
  static constexpr int kDefaultTimeoutMs = 2000;
  // What we accept in one message, told to the server with AsyncMaxMsgSize.
  static constexpr std::uint64_t kMaxPayload = 1u << 20;

  // Both channels initialised; serverMax from AsyncMaxMsgSizeResponse.
  HislipSession(int syncFd, int asyncFd, std::uint64_t serverMax, std::string resource);
  ~HislipSession() override;
  HislipSession(const HislipSession&) = delete;
  HislipSession& operator=(const HislipSession&) = delete;

  Status Write(std::string_view bytes) override;
  ReadResult Read(std::size_t maxBytes) override;
  Status SetTimeout(int ms) override;
  Status Clear() override;
  Status Close() override;
  const std::string& Resource() const override { return resource_; }
  std::shared_ptr<AbortSignal> Aborter() override { return abort_; }

 private:
  Status Lost();

  int sync_;
  int async_;
  std::uint64_t serverMax_;
  std::string resource_;
  int timeoutMs_ = kDefaultTimeoutMs;
  std::uint32_t messageId_;     // of the next message we send
  std::uint32_t lastSent_ = 0;  // id of the last DataEnd sent: the answer carries it
  bool rmtDelivered_ = false;   // a whole answer was read since the last send
  AnswerRemainder pending_;     // of the answer, beyond what the caller took
  std::shared_ptr<AbortSignal> abort_ = std::make_shared<AbortSignal>();
};

}  // namespace merilog
