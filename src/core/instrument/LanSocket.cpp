#include "core/instrument/LanSocket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace merilog {
namespace {

using SteadyClock = std::chrono::steady_clock;

// Connects one address within the time left; returns the socket or -1 with *error set.
int ConnectOne(const addrinfo& ai, int timeoutMs, Status* error) {
  const int fd = ::socket(ai.ai_family, ai.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai.ai_protocol);
  if (fd < 0) {
    *error = status::kErrorSystem;
    return -1;
  }
  int rc = ::connect(fd, ai.ai_addr, ai.ai_addrlen);
  if (rc < 0 && errno == EINPROGRESS) {
    pollfd p{fd, POLLOUT, 0};
    do {
      rc = ::poll(&p, 1, timeoutMs);
    } while (rc < 0 && errno == EINTR);
    if (rc == 0) {
      ::close(fd);
      *error = status::kErrorTimeout;
      return -1;
    }
    int soError = 0;
    socklen_t len = sizeof soError;
    if (rc < 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len) < 0 || soError != 0)
      rc = -1;
    else
      rc = 0;
  }
  if (rc < 0) {
    ::close(fd);
    *error = status::kErrorResourceNotFound;
    return -1;
  }
  // The session blocks in the kernel, bounded by the socket's time-outs.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) {
    ::close(fd);
    *error = status::kErrorSystem;
    return -1;
  }
  // Queries are small and answered at once: send them without waiting to coalesce.
  const int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
  return fd;
}

}  // namespace

void Deadline::Start() {
  if (!started_ && timeoutMs_ >= 0) end_ = SteadyClock::now() + std::chrono::milliseconds(timeoutMs_);
  started_ = true;
}

int Deadline::Remaining() {
  Start();
  if (timeoutMs_ < 0) return -1;
  const auto now = SteadyClock::now();
  if (now >= end_) return 0;
  // Round up so poll never wakes just before the deadline and spins.
  const auto left = std::chrono::duration_cast<std::chrono::microseconds>(end_ - now).count();
  return static_cast<int>((left + 999) / 1000);
}

AbortSignal::AbortSignal() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

AbortSignal::~AbortSignal() {
  if (fd_ >= 0) ::close(fd_);
}

void AbortSignal::Raise() {
  const std::uint64_t one = 1;
  if (fd_ >= 0) [[maybe_unused]]
    const auto n = ::write(fd_, &one, sizeof one);
}

void AbortSignal::Reset() {
  std::uint64_t value;
  if (fd_ >= 0) [[maybe_unused]]
    const auto n = ::read(fd_, &value, sizeof value);
}

int ConnectTcp(const std::string& host, std::uint16_t port, int timeoutMs, Status* status) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || !found) {
    *status = status::kErrorResourceNotFound;
    return -1;
  }
  const auto end = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
  *status = status::kErrorResourceNotFound;
  int fd = -1;
  for (addrinfo* ai = found; ai && fd < 0; ai = ai->ai_next) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - SteadyClock::now()).count();
    if (left <= 0) {
      *status = status::kErrorTimeout;
      break;
    }
    fd = ConnectOne(*ai, static_cast<int>(left), status);
  }
  ::freeaddrinfo(found);
  if (fd >= 0) *status = status::kSuccess;
  return fd;
}

bool WaitReady(int fd, short events, Deadline& deadline, const AbortSignal* abort, bool* aborted) {
  for (;;) {
    const int wait = deadline.Remaining();
    pollfd p[2] = {{fd, events, 0}, {abort ? abort->Fd() : -1, POLLIN, 0}};
    const int r = ::poll(p, abort ? 2 : 1, wait);
    if (r > 0 && abort && (p[1].revents & POLLIN)) {
      if (aborted) *aborted = true;
      return false;
    }
    if (r > 0) return true;
    if (r == 0 && wait == 0) return false;  // data that arrived in time has been looked for
    if (r < 0 && errno != EINTR) return true;
  }
}

Status StatusFromErrno(int err) {
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

Status SendAll(int fd, std::string_view bytes, Deadline& deadline, const AbortSignal* abort) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::send(fd, p, left, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      p += n;
      left -= static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      bool aborted = false;
      if (!WaitReady(fd, POLLOUT, deadline, abort, &aborted))
        return aborted ? status::kErrorAbort : status::kErrorTimeout;
      continue;
    }
    return StatusFromErrno(n < 0 ? errno : EPIPE);
  }
  return status::kSuccess;
}

Status ReceiveExactly(int fd, char* into, std::size_t n, Deadline& deadline, const AbortSignal* abort) {
  std::size_t got = 0;
  while (got < n) {
    const ssize_t r = ::recv(fd, into + got, n - got, MSG_DONTWAIT);
    if (r > 0) {
      got += static_cast<std::size_t>(r);
      continue;
    }
    if (r == 0) return status::kErrorConnectionLost;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return StatusFromErrno(errno);
    // Once part of it has come, the rest is waited for: an abort then would leave the stream out of step.
    bool aborted = false;
    if (!WaitReady(fd, POLLIN, deadline, got == 0 ? abort : nullptr, &aborted))
      return aborted ? status::kErrorAbort : status::kErrorTimeout;
  }
  return status::kSuccess;
}

std::string AnswerRemainder::Take(bool* end) {
  *end = !rest_.empty() && restEnd_;
  return std::move(rest_);
}

ReadResult AnswerRemainder::Finish(std::string bytes, bool end, std::size_t maxBytes) {
  rest_.clear();
  if (bytes.size() > maxBytes) {
    rest_ = bytes.substr(maxBytes);
    restEnd_ = end;
    bytes.resize(maxBytes);
    end = false;
  }
  return ReadResult{end ? status::kSuccess : status::kSuccessMaxCount, std::move(bytes), end};
}

}  // namespace merilog
