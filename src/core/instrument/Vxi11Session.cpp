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

Status Vxi11Session::CallRpc(int fd, std::uint32_t xid, std::uint32_t program, std::uint32_t procedure,
                             std::string_view args, std::string* results, Deadline& deadline,
                             const AbortSignal* abort) {
  Status st = SendAll(fd, rpc::Frame(rpc::EncodeCall(xid, program, 1, procedure, args)), deadline, abort);
  if (!IsSuccess(st)) return st;
  std::string record;
  for (;;) {
    st = rpc::ReceiveRecord(fd, &record, deadline, abort);
    if (!IsSuccess(st)) return st;
    const auto reply = rpc::DecodeReply(record);
    if (!reply) return status::kErrorIo;
    // A reply to a call given up earlier (aborted, timed out) is stale.
    if (reply->xid != xid) continue;
    if (reply->stat != rpc::kSuccess) return status::kErrorIo;
    // Some instruments leave out the padding of the last opaque: supply it.
    results->assign(reply->results);
    results->append(3, '\0');
    return status::kSuccess;
  }
}

Deadline Vxi11Session::OperationDeadline() const {
  return Deadline(timeoutMs_ < 0 ? -1 : timeoutMs_ + kReplyMarginMs);
}

Status Vxi11Session::Call(std::uint32_t procedure, std::string_view args, std::string* results, int waitMs) {
  if (fd_ < 0) return status::kErrorInvalidObject;
  Deadline deadline(waitMs);
  const Status st = CallRpc(fd_, xid_++, DEVICE_CORE, procedure, args, results, deadline, abort_.get());
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

Status Vxi11Session::Write(std::string_view bytes) {
  if (fd_ < 0) return status::kErrorInvalidObject;
  std::size_t at = 0;
  do {
    const std::size_t n = std::min<std::size_t>(bytes.size() - at, link_.maxRecvSize);
    Device_WriteParms p{};
    p.lid = link_.lid;
    p.io_timeout = static_cast<u_long>(std::max(timeoutMs_, 0));
    p.flags = at + n == bytes.size() ? vxi11::kFlagEnd : 0;
    p.data.data_len = static_cast<u_int>(n);
    p.data.data_val = const_cast<char*>(bytes.data() + at);
    const auto args = tirpc::Encode(reinterpret_cast<xdrproc_t>(xdr_Device_WriteParms), &p);
    if (!args) return status::kErrorSystem;
    std::string results;
    const Status st = Call(device_write, *args, &results, OperationDeadline().Remaining());
    if (!IsSuccess(st)) return st;
    Device_WriteResp resp{};
    if (!tirpc::Decode(reinterpret_cast<xdrproc_t>(xdr_Device_WriteResp), results, &resp)) return status::kErrorIo;
    if (resp.error != vxi11::kErrorNone) return FromDeviceError(static_cast<std::int32_t>(resp.error));
    // An instrument may take part of a chunk; the rest goes in the next one.
    if (resp.size == 0 || resp.size > n) return status::kErrorIo;
    at += resp.size;
  } while (at < bytes.size());
  return status::kSuccess;
}

ReadResult Vxi11Session::Read(std::size_t maxBytes) {
  ReadResult r;
  if (fd_ < 0) return ReadResult{status::kErrorInvalidObject, {}, false};
  Deadline deadline = OperationDeadline();
  bool end = false;
  r.bytes = pending_.Take(&end);
  while (!end && r.bytes.size() < maxBytes) {
    Device_ReadParms p{};
    p.lid = link_.lid;
    p.requestSize =
        static_cast<u_long>(std::min<std::size_t>(std::max<std::size_t>(maxBytes - r.bytes.size(), 1), kMaxRequest));
    p.io_timeout = static_cast<u_long>(std::max(timeoutMs_, 0));
    const auto args = tirpc::Encode(reinterpret_cast<xdrproc_t>(xdr_Device_ReadParms), &p);
    if (!args) return ReadResult{status::kErrorSystem, std::move(r.bytes), false};
    std::string results;
    const Status st = Call(device_read, *args, &results, deadline.Remaining());
    if (!IsSuccess(st)) return ReadResult{st, std::move(r.bytes), false};
    // error, reason, then the opaque's length: checked before anything is allocated.
    if (!rpc::LengthFits(results, 8)) return ReadResult{status::kErrorIo, std::move(r.bytes), false};
    Device_ReadResp resp{};
    const bool decoded = tirpc::Decode(reinterpret_cast<xdrproc_t>(xdr_Device_ReadResp), results, &resp);
    if (decoded) r.bytes.append(resp.data.data_val ? resp.data.data_val : "", resp.data.data_len);
    const std::int32_t error = static_cast<std::int32_t>(resp.error);
    const std::int32_t reason = static_cast<std::int32_t>(resp.reason);
    tirpc::Free(reinterpret_cast<xdrproc_t>(xdr_Device_ReadResp), &resp);
    if (!decoded) return ReadResult{status::kErrorIo, std::move(r.bytes), false};
    if (error != vxi11::kErrorNone) return ReadResult{FromDeviceError(error), std::move(r.bytes), false};
    end = (reason & (vxi11::kReasonEnd | vxi11::kReasonTermChar)) != 0 ||
          // Some instruments end an answer without END: a line feed with no count reached ends it.
          (reason == 0 && !r.bytes.empty() && r.bytes.back() == '\n');
  }
  return pending_.Finish(std::move(r.bytes), end, maxBytes);
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
