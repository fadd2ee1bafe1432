#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
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
  // device_write and device_read go out together and their replies are
  // awaited together: one round trip instead of two.
  ReadResult WriteThenRead(std::string_view command, std::size_t maxBytes, Status* writeStatus) override;
  Status SetTimeout(int ms) override;
  Status Clear() override;
  Status Close() override;
  const std::string& Resource() const override { return resource_; }
  std::shared_ptr<AbortSignal> Aborter() override { return abort_; }

  const Link& LinkInfo() const { return link_; }

  // RPCs on a core channel: sends the calls at once and waits for the reply
  // to each, in whatever order they come, dropping stale replies (of calls
  // given up earlier). Used by the backend for create_link too.
  struct Rpc {
    std::uint32_t xid = 0;
    std::uint32_t procedure = 0;
    std::string_view args;  // held by the caller until the call returns
    std::string results;    // filled by CallRpcs
  };
  static Status CallRpcs(int fd, std::uint32_t program, std::span<Rpc> calls, Deadline& deadline,
                         const AbortSignal* abort);
  static Status CallRpc(int fd, std::uint32_t xid, std::uint32_t program, std::uint32_t procedure,
                        std::string_view args, std::string* results, Deadline& deadline, const AbortSignal* abort);
  // The status a VXI-11 error code stands for.
  static Status FromDeviceError(std::int32_t error);

 private:
  Status Call(std::uint32_t procedure, std::string_view args, std::string* results, int waitMs);
  Status Calls(std::span<Rpc> calls, int waitMs);
  // Arguments of device_write (END on the last chunk) and device_read.
  std::optional<std::string> WriteArgs(std::string_view chunk, bool last) const;
  std::optional<std::string> ReadArgs(std::size_t wanted) const;
  // A device_write reply for a chunk of n bytes: the bytes taken, or a status.
  Status TakeWriteReply(const std::string& results, std::size_t n, std::size_t* taken) const;
  // A device_read reply: its data appended to *bytes, *end once the answer ended.
  Status TakeReadReply(const std::string& results, std::string* bytes, bool* end) const;
  // device_read until the answer ends or maxBytes are in, from what was read so far.
  ReadResult ReadOn(std::string bytes, bool end, std::size_t maxBytes, Deadline& deadline);
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
