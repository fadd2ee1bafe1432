#include "core/instrument/TcpSocketSession.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "core/instrument/LanSocket.h"

namespace merilog {
namespace {

constexpr std::size_t kInitialBuffer = 16 * 1024;
// Clear drops at most this much pending input, so a babbling peer cannot hold it forever.
constexpr std::size_t kMaxClearDrain = 1 << 20;

}  // namespace

TcpSocketSession::TcpSocketSession(int fd, std::string resource)
    : fd_(fd), resource_(std::move(resource)), in_(kInitialBuffer) {
  SetTimeout(kDefaultTimeoutMs);
}

TcpSocketSession::~TcpSocketSession() {
  if (fd_ >= 0) ::close(fd_);
}

// Reads and writes block in the kernel, bounded by the socket's own time-outs
// (SO_RCVTIMEO, SO_SNDTIMEO): one system call per step, as a bare client needs.
// Only a step that has to wait a second time within one operation polls, and then
// just for what is left of the time-out, so no operation outlasts it.

Status TcpSocketSession::Write(std::string_view bytes) {
  if (fd_ < 0) return status::kErrorInvalidObject;
  // A socket has no end-of-message signal: a command written without its line
  // feed (the pipelined "read?", the final "*cls") would never reach the parser.
  std::string terminated;
  if (!bytes.empty() && bytes.back() != '\n') {
    terminated.reserve(bytes.size() + 1);
    terminated.append(bytes).push_back('\n');
    bytes = terminated;
  }
  Deadline deadline(timeoutMs_);
  deadline.Start();
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  int flags = MSG_NOSIGNAL | (timeoutMs_ == 0 ? MSG_DONTWAIT : 0);
  while (left > 0) {
    const ssize_t n = ::send(fd_, p, left, flags);
    if (n > 0) {
      p += n;
      left -= static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) {
      flags |= MSG_DONTWAIT;  // the kernel's time-out restarts; ours does not
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitReady(fd_, POLLOUT, deadline)) return status::kErrorTimeout;
      flags |= MSG_DONTWAIT;
      continue;
    }
    return StatusFromErrno(n < 0 ? errno : EPIPE);
  }
  return status::kSuccess;
}

ReadResult TcpSocketSession::Take(std::size_t n, Status status, bool end) {
  ReadResult r;
  r.status = status;
  r.end = end;
  r.bytes.assign(in_.data() + head_, n);
  head_ += n;
  scanned_ = 0;
  if (head_ == tail_) head_ = tail_ = 0;
  return r;
}

void TcpSocketSession::ReserveTail() {
  if (tail_ < in_.size()) return;
  if (head_ > 0) {
    std::memmove(in_.data(), in_.data() + head_, tail_ - head_);
    tail_ -= head_;
    head_ = 0;
  } else {
    in_.resize(in_.size() * 2);
  }
}

ReadResult TcpSocketSession::Read(std::size_t maxBytes) {
  if (fd_ < 0) return ReadResult{status::kErrorInvalidObject, {}, false};
  Deadline deadline(timeoutMs_);
  bool blockingWait = timeoutMs_ != 0;  // a zero time-out only takes what has arrived
  for (;;) {
    const std::size_t avail = tail_ - head_;
    const std::size_t limit = avail < maxBytes ? avail : maxBytes;
    if (limit > scanned_) {
      const char* from = in_.data() + head_;
      const void* lf = std::memchr(from + scanned_, '\n', limit - scanned_);
      if (lf) return Take(static_cast<const char*>(lf) - from + 1, status::kSuccess, true);
      scanned_ = limit;
    }
    if (avail >= maxBytes) return Take(maxBytes, status::kSuccessMaxCount, false);
    if (peerClosed_) {
      // The peer's close ends a last answer that had no line feed.
      if (avail > 0) return Take(avail, status::kSuccess, true);
      return ReadResult{status::kErrorConnectionLost, {}, false};
    }

    ReserveTail();
    ssize_t n;
    if (blockingWait) {
      blockingWait = false;
      deadline.Start();
      n = ::recv(fd_, in_.data() + tail_, in_.size() - tail_, 0);
    } else if (WaitReady(fd_, POLLIN, deadline)) {
      n = ::recv(fd_, in_.data() + tail_, in_.size() - tail_, MSG_DONTWAIT);
    } else {
      n = -1;
      errno = EAGAIN;
    }
    if (n > 0) {
      tail_ += static_cast<std::size_t>(n);
    } else if (n == 0) {
      peerClosed_ = true;
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      // Hand over what came so far with the time-out, so it cannot spoil the next answer.
      if (deadline.Remaining() == 0) return Take(avail, status::kErrorTimeout, false);
    } else if (errno != EINTR) {
      const Status st = StatusFromErrno(errno);
      if (st == status::kErrorConnectionLost) peerClosed_ = true;
      return Take(avail, st, false);
    }
  }
}

Status TcpSocketSession::SetTimeout(int ms) {
  if (fd_ < 0) return status::kErrorInvalidObject;
  // Zero means "no time-out" to the socket; our zero never blocks at all (MSG_DONTWAIT).
  timeval tv{};
  if (ms > 0) {
    tv.tv_sec = ms / 1000;
    tv.tv_usec = (ms % 1000) * 1000;
  }
  if (::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0 ||
      ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) != 0)
    return status::kErrorSystem;
  timeoutMs_ = ms;
  return status::kSuccess;
}

Status TcpSocketSession::Clear() {
  if (fd_ < 0) return status::kErrorInvalidObject;
  head_ = tail_ = scanned_ = 0;
  // Also drop what the kernel already holds: a late answer to an abandoned query.
  std::size_t dropped = 0;
  while (dropped < kMaxClearDrain) {
    const ssize_t n = ::recv(fd_, in_.data(), in_.size(), MSG_DONTWAIT);
    if (n > 0) {
      dropped += static_cast<std::size_t>(n);
    } else {
      if (n == 0) peerClosed_ = true;
      if (n < 0 && errno == EINTR) continue;
      break;
    }
  }
  return status::kSuccess;
}

Status TcpSocketSession::Close() {
  if (fd_ < 0) return status::kErrorInvalidObject;
  ::close(fd_);
  fd_ = -1;
  head_ = tail_ = scanned_ = 0;
  return status::kSuccess;
}

}  // namespace merilog
