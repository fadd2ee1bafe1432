#include "core/instrument/TcpSocketBackend.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "core/instrument/TcpSocketSession.h"

namespace merilog {
namespace {

bool StartsWithNoCase(const std::string& s, const char* prefix) {
  const std::size_t n = std::strlen(prefix);
  return s.size() >= n && ::strncasecmp(s.c_str(), prefix, n) == 0;
}

bool EndsWithNoCase(const std::string& s, const char* suffix) {
  const std::size_t n = std::strlen(suffix);
  return s.size() >= n && ::strncasecmp(s.c_str() + s.size() - n, suffix, n) == 0;
}

bool AllDigits(const std::string& s) {
  for (unsigned char c : s)
    if (!std::isdigit(c)) return false;
  return true;
}

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

TcpSocketBackend::TcpSocketBackend(std::vector<std::string> resources, int connectTimeoutMs)
    : connectTimeoutMs_(connectTimeoutMs) {
  // Only well-formed resources are listed: a typo would otherwise show up as an instrument.
  for (auto& r : resources)
    if (ParseResource(r)) resources_.push_back(std::move(r));
}

bool TcpSocketBackend::IsActive(std::string* whyNot) const {
  (void)whyNot;
  return true;  // sockets are always available; the list may simply be empty
}

bool TcpSocketBackend::Handles(const std::string& resource) const {
  // Claim every socket resource, malformed ones too, so they get a precise status.
  return StartsWithNoCase(resource, "TCPIP") && EndsWithNoCase(resource, "::SOCKET");
}

std::optional<TcpSocketBackend::Address> TcpSocketBackend::ParseResource(const std::string& resource,
                                                                         std::string* why) {
  const auto fail = [why](std::string reason) -> std::optional<Address> {
    if (why) *why = std::move(reason);
    return std::nullopt;
  };
  if (resource.size() > kMaxResourceLength)
    return fail("it is longer than " + std::to_string(kMaxResourceLength) + " characters");
  if (!StartsWithNoCase(resource, "TCPIP")) return fail("it does not start with TCPIP");
  Address a;
  std::size_t pos = 5;
  const std::size_t sep = resource.find("::", pos);
  if (sep == std::string::npos) return fail("it is not of the form TCPIP0::host::port::SOCKET");
  const std::string board = resource.substr(pos, sep - pos);
  if (!AllDigits(board) || board.size() > 3) return fail("the board number \"" + board + "\" is not a number");
  a.board = board.empty() ? 0 : std::stoi(board);
  pos = sep + 2;

  std::size_t hostEnd;
  if (pos < resource.size() && resource[pos] == '[') {
    // An IPv6 literal holds "::" itself, so it comes in brackets.
    const std::size_t close = resource.find(']', pos);
    if (close == std::string::npos || resource.compare(close + 1, 2, "::") != 0)
      return fail("the IPv6 address in [ ] is not closed by \"]::\"");
    a.host = resource.substr(pos + 1, close - pos - 1);
    hostEnd = close + 1;
  } else {
    hostEnd = resource.find("::", pos);
    if (hostEnd == std::string::npos) return fail("it is not of the form TCPIP0::host::port::SOCKET");
    a.host = resource.substr(pos, hostEnd - pos);
  }
  if (a.host.empty()) return fail("the host is missing");
  for (unsigned char c : a.host)
    if (std::isspace(c) || !std::isprint(c)) return fail("the host holds a blank or a control character");
  pos = hostEnd + 2;

  const std::size_t portEnd = resource.find("::", pos);
  if (portEnd == std::string::npos) return fail("the port is missing (TCPIP0::host::port::SOCKET)");
  const std::string port = resource.substr(pos, portEnd - pos);
  if (port.empty() || port.size() > 5 || !AllDigits(port) || std::stoi(port) < 1 || std::stoi(port) > 65535)
    return fail("the port \"" + port + "\" is not a number from 1 to 65535");
  a.port = static_cast<std::uint16_t>(std::stoi(port));

  if (::strcasecmp(resource.c_str() + portEnd + 2, "SOCKET") != 0) return fail("it does not end in ::SOCKET");
  return a;
}

std::unique_ptr<Session> TcpSocketBackend::Open(const std::string& resource, Status* status) {
  Status st = status::kSuccess;
  std::unique_ptr<Session> session;
  const auto address = ParseResource(resource);
  if (!address) {
    st = status::kErrorInvalidResourceName;
  } else {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(address->port);
    if (::getaddrinfo(address->host.c_str(), port.c_str(), &hints, &found) != 0 || !found) {
      st = status::kErrorResourceNotFound;
    } else {
      // One time-out for the whole attempt, however many addresses the name has.
      const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(connectTimeoutMs_);
      st = status::kErrorResourceNotFound;
      for (addrinfo* ai = found; ai; ai = ai->ai_next) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
          st = status::kErrorTimeout;
          break;
        }
        const int fd = ConnectOne(*ai, static_cast<int>(left), &st);
        if (fd >= 0) {
          session = std::make_unique<TcpSocketSession>(fd, resource);
          st = status::kSuccess;
          break;
        }
      }
      ::freeaddrinfo(found);
    }
  }
  if (status) *status = st;
  return session;
}

}  // namespace merilog
