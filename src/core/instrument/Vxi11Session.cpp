#include "core/instrument/Vxi11Session.h"

#include <unistd.h>

#include <algorithm>

#include "core/instrument/OncRpc.h"
#include "core/instrument/Tirpc.h"
#include "core/instrument/Vxi11Protocol.h"

namespace merilog {
namespace {

// Waiting for a reply outlasts the instrument's own time-out by this much, so
// its time-out reply arrives rather than going stale.
constexpr int kReplyMarginMs = 500;
// device_abort and destroy_link are short: they never hold Stop or Close longer.
constexpr int kShortCallMs = 1000;
// Asking one device_read for more than this gains nothing.
constexpr std::uint32_t kMaxRequest = 1u << 20;
// Fewer than this from create_link is not a buffer size any instrument means.
constexpr std::uint32_t kMinChunk = 64;

}  // namespace

Vxi11Session::Vxi11Session(int fd, Link link, std::string resource, std::uint32_t nextXid)
    : fd_(fd), link_(std::move(link)), resource_(std::move(resource)), xid_(nextXid) {
  link_.maxRecvSize = std::max(link_.maxRecvSize, kMinChunk);
}

Vxi11Session::~Vxi11Session() {
  if (fd_ >= 0) Close();
}

Status Vxi11Session::FromDeviceError(std::int32_t error) {
  switch (error) {
    case vxi11::kErrorNone:
      return status::kSuccess;
    case vxi11::kErrorIoTimeout:
      return status::kErrorTimeout;
    case vxi11::kErrorAbort:
      return status::kErrorAbort;
    case vxi11::kErrorInvalidLink:
      return status::kErrorConnectionLost;
    case vxi11::kErrorDeviceNotAccessible:
      return status::kErrorResourceNotFound;
    case vxi11::kErrorNotSupported:
      return status::kErrorNotSupported;
    default:
      return status::kErrorIo;
  }
}

Status Vxi11Session::CallRpcs(int fd, std::uint32_t program, std::span<Rpc> calls, Deadline& deadline,
                              const AbortSignal* abort) {
  std::string out;
  std::size_t size = 0;
  for (const Rpc& c : calls) size += rpc::kRecordMarkBytes + rpc::kCallHeaderBytes + c.args.size();
  out.reserve(size);
  for (const Rpc& c : calls) rpc::AppendFramedCall(&out, c.xid, program, 1, c.procedure, c.args);
  Status st = SendAll(fd, out, deadline, abort);
  if (!IsSuccess(st)) return st;
  std::size_t waiting = calls.size();
  std::string record;
  while (waiting > 0) {
    st = rpc::ReceiveRecord(fd, &record, deadline, abort);
    if (!IsSuccess(st)) return st;
    const auto reply = rpc::DecodeReply(record);
    if (!reply) return status::kErrorIo;
    // A reply to a call given up earlier (aborted, timed out) is stale.
    const auto call = std::find_if(calls.begin(), calls.end(), [&](const Rpc& c) { return c.xid == reply->xid; });
    if (call == calls.end()) continue;
    if (reply->stat != rpc::kSuccess) return status::kErrorIo;
    // Some instruments leave out the padding of the last opaque: supply it.
    call->results.assign(reply->results);
    call->results.append(3, '\0');
    --waiting;
  }
  return status::kSuccess;
}

Status Vxi11Session::CallRpc(int fd, std::uint32_t xid, std::uint32_t program, std::uint32_t procedure,
                             std::string_view args, std::string* results, Deadline& deadline,
                             const AbortSignal* abort) {
  Rpc call{xid, procedure, args, {}};
  const Status st = CallRpcs(fd, program, std::span(&call, 1), deadline, abort);
  *results = std::move(call.results);
  return st;
}

Deadline Vxi11Session::OperationDeadline() const {
  return Deadline(timeoutMs_ < 0 ? -1 : timeoutMs_ + kReplyMarginMs);
}

Status Vxi11Session::Call(std::uint32_t procedure, std::string_view args, std::string* results, int waitMs) {
  Rpc call{0, procedure, args, {}};
  const Status st = Calls(std::span(&call, 1), waitMs);
  *results = std::move(call.results);
  return st;
}

Status Vxi11Session::Calls(std::span<Rpc> calls, int waitMs) {
  if (fd_ < 0) return status::kErrorInvalidObject;
  for (Rpc& c : calls) c.xid = xid_++;
  Deadline deadline(waitMs);
  const Status st = CallRpcs(fd_, DEVICE_CORE, calls, deadline, abort_.get());
  if (st == status::kErrorAbort) SendDeviceAbort();
  if (st == status::kErrorConnectionLost || st == status::kErrorIo) {
    // The stream may be out of step; nothing more can be trusted on it.
    ::close(fd_);
    fd_ = -1;
    return status::kErrorConnectionLost;
  }
  return st;
}

void Vxi11Session::SendDeviceAbort() {
  abort_->Reset();
  if (link_.abortPort == 0) return;
  Status st = status::kSuccess;
  if (abortFd_ < 0) abortFd_ = ConnectTcp(link_.host, link_.abortPort, kShortCallMs, &st);
  if (abortFd_ < 0) return;
  Device_Link lid = link_.lid;
  const auto args = tirpc::Encode(reinterpret_cast<xdrproc_t>(xdr_Device_Link), &lid);
  std::string results;
  Deadline deadline(kShortCallMs);
  if (!args || !IsSuccess(CallRpc(abortFd_, xid_++, DEVICE_ASYNC, device_abort, *args, &results, deadline, nullptr))) {
    ::close(abortFd_);
    abortFd_ = -1;
  }
}

std::optional<std::string> Vxi11Session::WriteArgs(std::string_view chunk, bool last) const {
  Device_WriteParms p{};
  p.lid = link_.lid;
  p.io_timeout = static_cast<u_long>(std::max(timeoutMs_, 0));
  p.flags = last ? vxi11::kFlagEnd : 0;
  p.data.data_len = static_cast<u_int>(chunk.size());
  p.data.data_val = const_cast<char*>(chunk.data());
  return tirpc::Encode(reinterpret_cast<xdrproc_t>(xdr_Device_WriteParms), &p);
}

std::optional<std::string> Vxi11Session::ReadArgs(std::size_t wanted) const {
  Device_ReadParms p{};
  p.lid = link_.lid;
  p.requestSize = static_cast<u_long>(std::min<std::size_t>(std::max<std::size_t>(wanted, 1), kMaxRequest));
  p.io_timeout = static_cast<u_long>(std::max(timeoutMs_, 0));
  return tirpc::Encode(reinterpret_cast<xdrproc_t>(xdr_Device_ReadParms), &p);
}

Status Vxi11Session::TakeWriteReply(const std::string& results, std::size_t n, std::size_t* taken) const {
  Device_WriteResp resp{};
  if (!tirpc::Decode(reinterpret_cast<xdrproc_t>(xdr_Device_WriteResp), results, &resp)) return status::kErrorIo;
  if (resp.error != vxi11::kErrorNone) return FromDeviceError(static_cast<std::int32_t>(resp.error));
  // An instrument may take part of a chunk; the rest goes in the next one.
  if (resp.size == 0 || resp.size > n) return status::kErrorIo;
  *taken = resp.size;
  return status::kSuccess;
}

Status Vxi11Session::TakeReadReply(const std::string& results, std::string* bytes, bool* end) const {
  // error, reason, then the opaque's length: checked before anything is allocated.
  if (!rpc::LengthFits(results, 8)) return status::kErrorIo;
  Device_ReadResp resp{};
  const bool decoded = tirpc::Decode(reinterpret_cast<xdrproc_t>(xdr_Device_ReadResp), results, &resp);
  if (decoded) bytes->append(resp.data.data_val ? resp.data.data_val : "", resp.data.data_len);
  const std::int32_t error = static_cast<std::int32_t>(resp.error);
  const std::int32_t reason = static_cast<std::int32_t>(resp.reason);
  tirpc::Free(reinterpret_cast<xdrproc_t>(xdr_Device_ReadResp), &resp);
  if (!decoded) return status::kErrorIo;
  if (error != vxi11::kErrorNone) return FromDeviceError(error);
  *end = (reason & (vxi11::kReasonEnd | vxi11::kReasonTermChar)) != 0 ||
         // Some instruments end an answer without END: a line feed with no count reached ends it.
         (reason == 0 && !bytes->empty() && bytes->back() == '\n');
  return status::kSuccess;
}

Status Vxi11Session::Write(std::string_view bytes) {
  if (fd_ < 0) return status::kErrorInvalidObject;
  std::size_t at = 0;
  do {
    const std::size_t n = std::min<std::size_t>(bytes.size() - at, link_.maxRecvSize);
    const auto args = WriteArgs(bytes.substr(at, n), at + n == bytes.size());
    if (!args) return status::kErrorSystem;
    std::string results;
    Status st = Call(device_write, *args, &results, OperationDeadline().Remaining());
    std::size_t taken = 0;
    if (IsSuccess(st)) st = TakeWriteReply(results, n, &taken);
    if (!IsSuccess(st)) return st;
    at += taken;
  } while (at < bytes.size());
  return status::kSuccess;
}

ReadResult Vxi11Session::ReadOn(std::string bytes, bool end, std::size_t maxBytes, Deadline& deadline) {
  while (!end && bytes.size() < maxBytes) {
    const auto args = ReadArgs(maxBytes - bytes.size());
    if (!args) return ReadResult{status::kErrorSystem, std::move(bytes), false};
    std::string results;
    Status st = Call(device_read, *args, &results, deadline.Remaining());
    if (IsSuccess(st)) st = TakeReadReply(results, &bytes, &end);
    if (!IsSuccess(st)) return ReadResult{st, std::move(bytes), false};
  }
  return pending_.Finish(std::move(bytes), end, maxBytes);
}

ReadResult Vxi11Session::Read(std::size_t maxBytes) {
  if (fd_ < 0) return ReadResult{status::kErrorInvalidObject, {}, false};
  Deadline deadline = OperationDeadline();
  bool end = false;
  std::string bytes = pending_.Take(&end);
  return ReadOn(std::move(bytes), end, maxBytes, deadline);
}

ReadResult Vxi11Session::WriteThenRead(std::string_view command, std::size_t maxBytes, Status* writeStatus) {
  // Pipelined only where nothing else can be in the way: one chunk, no rest of an earlier answer.
  if (fd_ < 0 || command.empty() || command.size() > link_.maxRecvSize || !pending_.Empty() || maxBytes == 0)
    return Session::WriteThenRead(command, maxBytes, writeStatus);
  const auto writeArgs = WriteArgs(command, true);
  const auto readArgs = ReadArgs(maxBytes);
  if (!writeArgs || !readArgs) return Session::WriteThenRead(command, maxBytes, writeStatus);
  Rpc calls[2] = {{0, device_write, *writeArgs, {}}, {0, device_read, *readArgs, {}}};
  Deadline deadline = OperationDeadline();
  Status st = Calls(calls, deadline.Remaining());
  std::size_t taken = 0;
  Status written = IsSuccess(st) ? TakeWriteReply(calls[0].results, command.size(), &taken) : st;
  // Part of the command taken: the read went out after an incomplete message.
  if (IsSuccess(written) && taken != command.size()) written = status::kErrorIo;
  if (writeStatus) *writeStatus = written;
  std::string bytes;
  bool end = false;
  if (IsSuccess(st)) st = TakeReadReply(calls[1].results, &bytes, &end);
  if (!IsSuccess(st)) return ReadResult{st, std::move(bytes), false};
  return ReadOn(std::move(bytes), end, maxBytes, deadline);
}

Status Vxi11Session::SetTimeout(int ms) {
  if (fd_ < 0) return status::kErrorInvalidObject;
  timeoutMs_ = ms;
  return status::kSuccess;
}

Status Vxi11Session::Clear() {
  if (fd_ < 0) return status::kErrorInvalidObject;
  pending_.Clear();
  Device_GenericParms p{};
  p.lid = link_.lid;
  p.io_timeout = static_cast<u_long>(std::max(timeoutMs_, 0));
  const auto args = tirpc::Encode(reinterpret_cast<xdrproc_t>(xdr_Device_GenericParms), &p);
  if (!args) return status::kErrorSystem;
  std::string results;
  const Status st = Call(device_clear, *args, &results, OperationDeadline().Remaining());
  if (!IsSuccess(st)) return st;
  Device_Error resp{};
  if (!tirpc::Decode(reinterpret_cast<xdrproc_t>(xdr_Device_Error), results, &resp)) return status::kErrorIo;
  return FromDeviceError(static_cast<std::int32_t>(resp.error));
}

Status Vxi11Session::Close() {
  if (fd_ < 0 && abortFd_ < 0) return status::kErrorInvalidObject;
  if (fd_ >= 0) {
    // The instrument frees the link at once rather than when it notices the closed socket.
    abort_->Reset();
    Device_Link lid = link_.lid;
    if (const auto args = tirpc::Encode(reinterpret_cast<xdrproc_t>(xdr_Device_Link), &lid)) {
      std::string results;
      Deadline deadline(kShortCallMs);
      CallRpc(fd_, xid_++, DEVICE_CORE, destroy_link, *args, &results, deadline, abort_.get());
    }
    ::close(fd_);
    fd_ = -1;
  }
  if (abortFd_ >= 0) ::close(abortFd_);
  abortFd_ = -1;
  return status::kSuccess;
}

}  // namespace merilog
