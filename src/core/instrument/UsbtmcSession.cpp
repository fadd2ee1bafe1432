#include "core/instrument/UsbtmcSession.h"

#include <linux/usb/tmc.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace merilog {
namespace {

// Interrupted system calls are retried, but not forever.
constexpr int kMaxInterrupts = 16;
// Reads are made in pieces of at most this size, so a large maxBytes costs no large buffer up front.
constexpr std::size_t kReadChunk = 64 * 1024;
// What "no limit" becomes: the driver takes a 32-bit count of milliseconds.
constexpr std::uint32_t kLongestTimeoutMs = 0x7FFFFFFF;

Status FromErrno(int err) {
  switch (err) {
    case ETIMEDOUT:
      return status::kErrorTimeout;
    case ENODEV:     // unplugged
    case ESHUTDOWN:  // interface going away
    case ENXIO:
      return status::kErrorConnectionLost;
    case EBADF:
      return status::kErrorInvalidObject;
    default:
      return status::kErrorIo;
  }
}

}  // namespace

UsbtmcSession::UsbtmcSession(int fd, std::string resource) : fd_(fd), resource_(std::move(resource)) {}

UsbtmcSession::~UsbtmcSession() {
  if (fd_ >= 0) ::close(fd_);
}

Status UsbtmcSession::Write(std::string_view bytes) {
  if (fd_ < 0) return status::kErrorInvalidObject;
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  int interrupts = 0;
  while (left > 0) {
    const ssize_t n = ::write(fd_, p, left);
    if (n > 0) {
      p += n;
      left -= static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR && ++interrupts < kMaxInterrupts) {
      continue;
    } else {
      return n < 0 ? FromErrno(errno) : status::kErrorIo;
    }
  }
  return status::kSuccess;
}

ReadResult UsbtmcSession::Read(std::size_t maxBytes) {
  ReadResult r;
  if (fd_ < 0) {
    r.status = status::kErrorInvalidObject;
    return r;
  }
  std::size_t got = 0;
  int interrupts = 0;
  // Each pass moves at least one byte or ends, so the loop is bounded by maxBytes.
  while (got < maxBytes && !r.end) {
    const std::size_t want = std::min(maxBytes - got, kReadChunk);
    if (r.bytes.size() < got + want) r.bytes.resize(got + want);
    const ssize_t n = ::read(fd_, r.bytes.data() + got, want);
    if (n < 0) {
      if (errno == EINTR && ++interrupts < kMaxInterrupts) continue;
      r.status = FromErrno(errno);
      r.bytes.resize(got);
      return r;
    }
    got += static_cast<std::size_t>(n);
    std::uint8_t attr = 0;
    if (::ioctl(fd_, USBTMC_IOCTL_MSG_IN_ATTR, &attr) == 0) {
      r.end = (attr & 1) != 0;
    } else {
      // A driver without the attribute reads up to the end of the message or the count,
      // so a short read is the end.
      r.end = static_cast<std::size_t>(n) < want;
    }
    if (n == 0) r.end = true;  // nothing more will come: do not spin
  }
  r.bytes.resize(got);
  r.status = r.end ? status::kSuccess : status::kSuccessMaxCount;
  return r;
}

Status UsbtmcSession::SetTimeout(int ms) {
  if (fd_ < 0) return status::kErrorInvalidObject;
  const std::uint32_t value =
      ms < 0 ? kLongestTimeoutMs : static_cast<std::uint32_t>(ms < kMinTimeoutMs ? kMinTimeoutMs : ms);
  if (::ioctl(fd_, USBTMC_IOCTL_SET_TIMEOUT, &value) != 0) return FromErrno(errno);
  return status::kSuccess;
}

Status UsbtmcSession::Clear() {
  if (fd_ < 0) return status::kErrorInvalidObject;
  if (::ioctl(fd_, USBTMC_IOCTL_CLEAR) != 0) return FromErrno(errno);
  return status::kSuccess;
}

Status UsbtmcSession::Close() {
  if (fd_ < 0) return status::kErrorInvalidObject;
  ::close(fd_);
  fd_ = -1;
  return status::kSuccess;
}

}  // namespace merilog
