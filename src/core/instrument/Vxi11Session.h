#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/instrument/LanSocket.h"
#include "core/instrument/Session.h"

namespace merilog {

// One VXI-11 link (ONC RPC over TCP) to a LAN instrument: writes go out in
// chunks of the link's maxRecvSize with END on the last; reads ask device_read
// until END, the termination character, or the caller's count. A blocked
// exchange is cut short by the abort signal, and device_abort then goes out on
// the abort channel so the instrument gives up its read too.
class Vxi11Session final : public Session {
 public:
  struct Link {
    std::string host;
    std::int32_t lid = 0;
    std::uint16_t abortPort = 0;
    std::uint32_t maxRecvSize = 0;
  };
  static constexpr int kDefaultTimeoutMs = 2000;

  // Takes a connected core-channel socket on which create_link has succeeded;
  // nextXid continues the transaction ids used so far.
  Vxi11Session(int fd, Link link, std::string resource, std::uint32_t nextXid);
  ~Vxi11Session() override;
  Vxi11Session(const Vxi11Session&) = delete;
  Vxi11Session& operator=(const Vxi11Session&) = delete;

  Status Write(std::string_view bytes) override;
  ReadResult Read(std::size_t maxBytes) override;
  Status SetTimeout(int ms) override;
  Status Clear() override;
  Status Close() override;
  const std::string& Resource() const override { return resource_; }
  std::shared_ptr<AbortSignal> Aborter() override { return abort_; }

  const Link& LinkInfo() const { return link_; }

  // One RPC on a core channel: sends the call and waits for the reply of the
  // same transaction, dropping stale replies (of calls given up earlier).
  // Used by the backend for create_link too.
  static Status CallRpc(int fd, std::uint32_t xid, std::uint32_t program, std::uint32_t procedure,
                        std::string_view args, std::string* results, Deadline& deadline, const AbortSignal* abort);
  // The status a VXI-11 error code stands for.
  static Status FromDeviceError(std::int32_t error);

 private:
  Status Call(std::uint32_t procedure, std::string_view args, std::string* results, int waitMs);
  void SendDeviceAbort();
  Deadline OperationDeadline() const;

  int fd_;
  Link link_;
  std::string resource_;
  std::uint32_t xid_;
  int timeoutMs_ = kDefaultTimeoutMs;
  std::shared_ptr<AbortSignal> abort_ = std::make_shared<AbortSignal>();
  int abortFd_ = -1;         // the abort channel, connected at its first use
  AnswerRemainder pending_;  // of the answer, beyond what the caller took
};

}  // namespace merilog
