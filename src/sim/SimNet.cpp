#include "sim/SimNet.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/instrument/PortmapperSearch.h"

namespace merilog::sim {
namespace {

bool ToAddress(const std::string& address, int port, sockaddr_in* out, std::string* error) {
  *out = sockaddr_in{};
  out->sin_family = AF_INET;
  out->sin_port = htons(static_cast<std::uint16_t>(port));
  if (::inet_pton(AF_INET, address.c_str(), &out->sin_addr) == 1) return true;
  if (error) *error = "\"" + address + "\" is not an IPv4 address";
  return false;
}

}  // namespace

int ListenTcp(const std::string& address, int port, int* boundPort, std::string* error) {
  sockaddr_in addr;
  if (!ToAddress(address, port, &addr, error)) return -1;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    if (error) *error = std::string("cannot create a socket: ") + std::strerror(errno);
    return -1;
  }
  const int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0) {
    if (error) *error = "cannot listen on " + address + ":" + std::to_string(port) + ": " + std::strerror(errno);
    ::close(fd);
    return -1;
  }
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  if (boundPort) *boundPort = ntohs(addr.sin_port);
  return fd;
}

int BindUdp(const std::string& address, int port, std::string* error) {
  sockaddr_in addr;
  if (!ToAddress(address, port, &addr, error)) return -1;
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    if (error) *error = std::string("cannot create a socket: ") + std::strerror(errno);
    return -1;
  }
  const int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    if (error) *error = "cannot bind UDP " + address + ":" + std::to_string(port) + ": " + std::strerror(errno);
    ::close(fd);
    return -1;
  }
  return fd;
}

std::string BroadcastAddressOf(const std::string& address) {
  for (const Ipv4Interface& n : Ipv4Interfaces())
    if (n.address == address) return n.broadcast;
  return {};
}

bool FlushSome(int fd, const std::string& out, std::size_t* sent) {
  while (*sent < out.size()) {
    const ssize_t n = ::send(fd, out.data() + *sent, out.size() - *sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno == EAGAIN || errno == EWOULDBLOCK;
    }
    *sent += static_cast<std::size_t>(n);
  }
  return true;
}

WakePipe::WakePipe() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
    read_ = fds[0];
    write_ = fds[1];
  }
}

WakePipe::~WakePipe() {
  if (read_ >= 0) ::close(read_);
  if (write_ >= 0) ::close(write_);
}

void WakePipe::Wake() {
  const char c = 1;
  if (write_ >= 0) [[maybe_unused]]
    const auto n = ::write(write_, &c, 1);
}

}  // namespace merilog::sim
