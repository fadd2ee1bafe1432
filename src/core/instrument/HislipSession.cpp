#include "core/instrument/HislipSession.h"

#include <unistd.h>

#include <algorithm>

#include "core/instrument/HislipMessage.h"

namespace merilog {
namespace {

constexpr int kClearWaitMs = 5000;

}  // namespace

HislipSession::HislipSession(int syncFd, int asyncFd, std::uint64_t serverMax, std::string resource)
    : sync_(syncFd),
      async_(asyncFd),
      serverMax_(std::clamp<std::uint64_t>(serverMax, 1, kMaxPayload)),
      resource_(std::move(resource)),
      messageId_(hislip::kFirstMessageId) {}

HislipSession::~HislipSession() {
  if (sync_ >= 0) Close();
}

Status HislipSession::Lost() {
  Close();
  return status::kErrorConnectionLost;
}

Status HislipSession::Write(std::string_view bytes) {
  if (sync_ < 0) return status::kErrorInvalidObject;
  Deadline deadline(timeoutMs_);
  std::size_t at = 0;
  do {
    const std::size_t n = std::min<std::size_t>(bytes.size() - at, serverMax_);
    const bool last = at + n == bytes.size();
    const std::string m = hislip::Encode(last ? hislip::kDataEnd : hislip::kData,
                                         rmtDelivered_ ? hislip::kRmtDelivered : 0, messageId_, bytes.substr(at, n));
    const Status st = SendAll(sync_, m, deadline, abort_.get());
    if (st == status::kErrorAbort) abort_->Reset();
    if (!IsSuccess(st)) return st == status::kErrorConnectionLost ? Lost() : st;
    rmtDelivered_ = false;
    if (last) lastSent_ = messageId_;
    messageId_ += 2;
    at += n;
  } while (at < bytes.size());
  return status::kSuccess;
}

ReadResult HislipSession::Read(std::size_t maxBytes) {
  if (sync_ < 0) return ReadResult{status::kErrorInvalidObject, {}, false};
  ReadResult r;
  bool end = false;
  r.bytes = pending_.Take(&end);
  Deadline deadline(timeoutMs_);
  while (!end && r.bytes.size() < maxBytes) {
    hislip::Message m;
    const Status st = hislip::Receive(sync_, &m, kMaxPayload, deadline, abort_.get());
    if (st == status::kErrorAbort) abort_->Reset();
    if (st == status::kErrorConnectionLost || st == status::kErrorIo)
      return ReadResult{Lost(), std::move(r.bytes), false};
    if (!IsSuccess(st)) return ReadResult{st, std::move(r.bytes), false};
    switch (m.type) {
      case hislip::kData:
      case hislip::kDataEnd:
        if (m.parameter != lastSent_) break;  // the answer to a message given up on
        r.bytes += m.payload;
        end = m.type == hislip::kDataEnd;
        break;
      case hislip::kInterrupted:
        r.bytes.clear();  // the server dropped an answer for a newer message
        break;
      case hislip::kFatalError:
        return ReadResult{Lost(), std::move(r.bytes), false};
      case hislip::kError:
        return ReadResult{status::kErrorIo, std::move(r.bytes), false};
      default:
        break;
    }
  }
  if (end) rmtDelivered_ = true;
  return pending_.Finish(std::move(r.bytes), end, maxBytes);
}

Status HislipSession::SetTimeout(int ms) {
  if (sync_ < 0) return status::kErrorInvalidObject;
  timeoutMs_ = ms;
  return status::kSuccess;
}

Status HislipSession::Clear() {
  if (sync_ < 0) return status::kErrorInvalidObject;
  pending_.Clear();
  Deadline deadline(std::max(timeoutMs_, kClearWaitMs));
  Status st = SendAll(async_, hislip::Encode(hislip::kAsyncDeviceClear, 0, 0), deadline, nullptr);
  hislip::Message m;
  while (IsSuccess(st)) {
    st = hislip::Receive(async_, &m, kMaxPayload, deadline, nullptr);
    if (IsSuccess(st) && m.type == hislip::kAsyncDeviceClearAcknowledge) break;
  }
  // The feature choice the server acknowledged goes back on the synchronous channel.
  if (IsSuccess(st)) st = SendAll(sync_, hislip::Encode(hislip::kDeviceClearComplete, m.control, 0), deadline, nullptr);
  while (IsSuccess(st)) {
    st = hislip::Receive(sync_, &m, kMaxPayload, deadline, nullptr);
    if (IsSuccess(st) && m.type == hislip::kDeviceClearAcknowledge) break;  // answers before it are dropped
  }
  if (st == status::kErrorConnectionLost || st == status::kErrorIo) return Lost();
  if (!IsSuccess(st)) return st;
  messageId_ = hislip::kFirstMessageId;
  lastSent_ = 0;
  rmtDelivered_ = false;
  return status::kSuccess;
}

Status HislipSession::Close() {
  if (sync_ < 0) return status::kErrorInvalidObject;
  ::close(sync_);
  ::close(async_);
  sync_ = async_ = -1;
  return status::kSuccess;
}

}  // namespace merilog
