#include "core/instrument/TcpSocketSession.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace merilog {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr std::size_t kInitialBuffer = 16 * 1024;
// Clear drops at most this much pending input, so a babbling peer cannot hold it forever.
constexpr std::size_t kMaxClearDrain = 1 << 20;

// A time-out that starts on the first wait, so a read served from buffered
// bytes never looks at the clock.
class Deadline {
 public:
  explicit Deadline(int timeoutMs) : timeoutMs_(timeoutMs) {}

  // Milliseconds to hand to poll(): -1 waits without limit, 0 means time is up.
  int Remaining() {
    if (timeoutMs_ < 0) return -1;
    const auto now = SteadyClock::now();
    if (!started_) {
      end_ = now + std::chrono::milliseconds(timeoutMs_);
      started_ = true;
    }
    if (now >= end_) return 0;
    // Round up so poll never wakes just before the deadline and spins.
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(end_ - now).count();
    return static_cast<int>((left + 999) / 1000);
  }

 private:
  int timeoutMs_;
  bool started_ = false;
  SteadyClock::time_point end_;
};

// Waits for the socket to become ready; false on time-out. Errors on the socket
// count as ready so the following recv/send reports them.
bool WaitReady(int fd, short events, Deadline& deadline) {
  for (;;) {
    const int wait = deadline.Remaining();
    if (wait == 0) {
      // Time is up, but data that arrived meanwhile is still taken.
      pollfd p{fd, events, 0};
      return ::poll(&p, 1, 0) > 0;
    }
    pollfd p{fd, events, 0};
    const int r = ::poll(&p, 1, wait);
    if (r > 0) return true;
    if (r == 0) {
      if (deadline.Remaining() == 0) return false;
      continue;
    }
    if (errno != EINTR) return true;
  }
}

Status FromErrno(int err) {
  switch (err) {
    case ECONNRESET:
    case EPIPE:
    case ENOTCONN:
    case ECONNABORTED:
    case ETIMEDOUT:  // keep-alive gave up: the peer is gone, not slow
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ENETDOWN:
      return status::kErrorConnectionLost;
    default:
      return status::kErrorIo;
  }
}

}  // namespace

TcpSocketSession::TcpSocketSession(int fd, std::string resource)
    : fd_(fd), resource_(std::move(resource)), in_(kInitialBuffer) {}

TcpSocketSession::~TcpSocketSession() {
  if (fd_ >= 0) ::close(fd_);
}

Status TcpSocketSession::Write(std::string_view bytes) {
  if (fd_ < 0) return status::kErrorInvalidObject;
  Deadline deadline(timeoutMs_);
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::send(fd_, p, left, MSG_NOSIGNAL);
    if (n > 0) {
      p += n;
      left -= static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitReady(fd_, POLLOUT, deadline)) return status::kErrorTimeout;
      continue;
    }
    return FromErrno(n < 0 ? errno : EPIPE);
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

    // Wait first: after a query the answer is rarely there yet, and poll then
    // recv is one system call fewer than a recv that fails with EAGAIN.
    if (!WaitReady(fd_, POLLIN, deadline)) {
      // Hand over what came so far with the time-out, so it cannot spoil the next answer.
      return Take(avail, status::kErrorTimeout, false);
    }
    ReserveTail();
    const ssize_t n = ::recv(fd_, in_.data() + tail_, in_.size() - tail_, 0);
    if (n > 0) {
      tail_ += static_cast<std::size_t>(n);
    } else if (n == 0) {
      peerClosed_ = true;
    } else if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
      const Status st = FromErrno(errno);
      if (st == status::kErrorConnectionLost) peerClosed_ = true;
      return Take(avail, st, false);
    }
  }
}

Status TcpSocketSession::SetTimeout(int ms) {
  if (fd_ < 0) return status::kErrorInvalidObject;
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
