#include "sim/SimServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace merilog::sim {
namespace {

// A command line longer than this is no SCPI command; it is thrown away rather
// than buffered without end.
constexpr std::size_t kMaxLineBytes = 1 << 20;
constexpr std::size_t kReadChunk = 64 * 1024;

}  // namespace

SimServer::SimServer(std::shared_ptr<SimMeter> meter, SimServerOptions options)
    : meter_(std::move(meter)), options_(std::move(options)) {
  int fds[2];
  if (::pipe(fds) == 0) {
    wakeRead_ = fds[0];
    wakeWrite_ = fds[1];
    ::fcntl(wakeRead_, F_SETFL, O_NONBLOCK);
    ::fcntl(wakeWrite_, F_SETFL, O_NONBLOCK);
  }
}

SimServer::~SimServer() {
  if (listenFd_ >= 0) ::close(listenFd_);
  if (wakeRead_ >= 0) ::close(wakeRead_);
  if (wakeWrite_ >= 0) ::close(wakeWrite_);
}

bool SimServer::Listen(std::string* error) {
  const auto fail = [&](const std::string& what) {
    if (error) *error = what + ": " + std::strerror(errno);
    if (listenFd_ >= 0) ::close(listenFd_);
    listenFd_ = -1;
    return false;
  };
  if (wakeRead_ < 0) return fail("cannot create the stop pipe");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(options_.port));
  if (::inet_pton(AF_INET, options_.bindAddress.c_str(), &addr.sin_addr) != 1) {
    errno = EINVAL;
    return fail("\"" + options_.bindAddress + "\" is not an IPv4 address");
  }
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) return fail("cannot create a socket");
  const int one = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
    return fail("cannot bind " + options_.bindAddress + ":" + std::to_string(options_.port));
  if (::listen(listenFd_, 4) != 0) return fail("cannot listen");
  socklen_t len = sizeof addr;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  name_ = "TCPIP0::" + options_.bindAddress + "::" + std::to_string(port_) + "::SOCKET";
  return true;
}

void SimServer::Stop() {
  if (wakeWrite_ >= 0) {
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(wakeWrite_, &c, 1);  // async-signal-safe
  }
}

bool SimServer::WaitMs(int ms) {
  pollfd p{wakeRead_, POLLIN, 0};
  const int r = ::poll(&p, 1, ms);
  return !(r > 0 && (p.revents & POLLIN));
}

int SimServer::Run() {
  if (listenFd_ < 0) return 1;
  for (;;) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    const int r = ::poll(fds, 2, -1);
    if (r < 0) {
      if (errno == EINTR) continue;
      return 1;
    }
    if (fds[1].revents & POLLIN) return 0;
    if (!(fds[0].revents & POLLIN)) continue;
    const int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    const int one = 1;
    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (options_.transcript) options_.transcript->Note(name_, "client connected");
    Serve(client);
    ::close(client);
    if (options_.transcript) options_.transcript->Note(name_, "client gone");
    pollfd w{wakeRead_, POLLIN, 0};
    if (::poll(&w, 1, 0) > 0 && (w.revents & POLLIN)) return 0;
  }
}

bool SimServer::SendAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

void SimServer::Serve(int client) {
  TranscriptLog* log = options_.transcript.get();
  const int closeAfter = meter_->Description().faults.closeAfter;
  int answersHere = 0;
  std::string in;
  std::string out;
  std::string answer;
  std::vector<char> chunk(kReadChunk);
  if (closeAfter == 0) return;
  for (;;) {
    pollfd fds[2] = {{client, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents & POLLIN) return;
    const ssize_t n = ::recv(client, chunk.data(), chunk.size(), 0);
    if (n == 0) return;
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return;
    }
    in.append(chunk.data(), static_cast<std::size_t>(n));

    // Every complete line is one message; the answers of a burst of lines go out
    // in one send unless a fault delays one of them.
    std::size_t start = 0;
    for (std::size_t lf; (lf = in.find('\n', start)) != std::string::npos; start = lf + 1) {
      const std::string_view line(in.data() + start, lf - start + 1);
      if (log) log->Sent(name_, line, status::kSuccess);
      if (!IsSuccess(meter_->Write(line))) return;  // dropped off the bus: the connection goes with it
      int delayMs = 0;
      if (!meter_->TakeAnswer(&answer, &delayMs)) continue;
      if (delayMs > 0) {
        if (!SendAll(client, out.data(), out.size())) return;
        out.clear();
        if (!WaitMs(delayMs)) return;
      }
      if (log) log->Received(name_, ReadResult{status::kSuccess, answer, true});
      out += answer;
      ++answersHere;
      if (closeAfter >= 0 && answersHere >= closeAfter) {
        SendAll(client, out.data(), out.size());
        if (log) log->Note(name_, "closing the connection (close-after fault)");
        return;
      }
    }
    in.erase(0, start);
    if (in.size() > kMaxLineBytes) in.clear();
    if (!out.empty()) {
      if (!SendAll(client, out.data(), out.size())) return;
      out.clear();
    }
  }
}

}  // namespace merilog::sim
