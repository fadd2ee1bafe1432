#include "sim/SimServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>

namespace merilog::sim {
namespace {

using SteadyClock = std::chrono::steady_clock;

// A command line longer than this is no SCPI command; it is thrown away rather
// than buffered without end.
constexpr std::size_t kMaxLineBytes = 1 << 20;
constexpr std::size_t kReadChunk = 64 * 1024;
// Answers held for a client that does not read; past this its commands wait.
constexpr std::size_t kMaxUnsentBytes = 1 << 20;
// Connections beyond this are closed at once.
constexpr std::size_t kMaxClients = 64;

}  // namespace

struct SimServer::Client {
  int fd = -1;
  std::string in;        // received, not yet run
  std::string out;       // answers to send
  std::size_t sent = 0;  // of out
  int answers = 0;
  // A late answer (delay fault): later commands wait until it has gone out.
  std::optional<std::string> late;
  SteadyClock::time_point lateAt;
  bool closing = false;  // close once out has gone (close-after fault)

  std::size_t Unsent() const { return out.size() - sent; }
};

SimServer::SimServer(std::shared_ptr<SimMeter> meter, SimServerOptions options)
    : meter_(std::move(meter)), options_(std::move(options)) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
    wakeRead_ = fds[0];
    wakeWrite_ = fds[1];
  }
}

SimServer::~SimServer() {
  for (auto& c : clients_) ::close(c->fd);
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
  // Back from a vanish: the port it had, so clients find it again.
  addr.sin_port = htons(static_cast<std::uint16_t>(port_ > 0 ? port_ : options_.port));
  if (::inet_pton(AF_INET, options_.bindAddress.c_str(), &addr.sin_addr) != 1) {
    errno = EINVAL;
    return fail("\"" + options_.bindAddress + "\" is not an IPv4 address");
  }
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listenFd_ < 0) return fail("cannot create a socket");
  const int one = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
    return fail("cannot bind " + options_.bindAddress + ":" + std::to_string(ntohs(addr.sin_port)));
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

int SimServer::Run() {
  if (listenFd_ < 0) return 1;
  std::vector<pollfd> fds;
  for (;;) {
    // Run what each client has sent, as far as its late answers and unread output allow.
    for (std::size_t i = clients_.size(); i-- > 0;)
      if (!Advance(*clients_[i]) || !Flush(*clients_[i])) Drop(i);

    int timeoutMs = -1;
    if (!meter_->Attached() && meter_->MsUntilBack() >= 0) {
      // Vanished: every connection closed and new ones refused until it is back.
      if (listenFd_ >= 0 || !clients_.empty()) {
        // The listener first: a client that sees its connection end finds no other.
        if (listenFd_ >= 0) ::close(listenFd_);
        listenFd_ = -1;
        while (!clients_.empty()) Drop(clients_.size() - 1);
        if (options_.transcript) options_.transcript->Note(name_, "vanished (vanish-after fault)");
      }
      timeoutMs = static_cast<int>(std::clamp<long long>(meter_->MsUntilBack(), 1, 60000));
    } else if (listenFd_ < 0) {
      std::string error;
      if (Listen(&error)) {
        if (options_.transcript) options_.transcript->Note(name_, "back on the network");
      } else {
        timeoutMs = 100;  // the port is not free yet: try again shortly
      }
    }
    fds.assign({{wakeRead_, POLLIN, 0}, {listenFd_, POLLIN, 0}});
    const auto now = SteadyClock::now();
    for (const auto& c : clients_) {
      short events = 0;
      if (!c->closing && !c->late && c->Unsent() < kMaxUnsentBytes) events |= POLLIN;
      if (c->Unsent() > 0) events |= POLLOUT;
      fds.push_back({c->fd, events, 0});
      if (c->late) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(c->lateAt - now).count();
        const int ms = static_cast<int>(std::clamp<long long>(left, 0, 60000));
        timeoutMs = timeoutMs < 0 ? ms : std::min(timeoutMs, ms);
      }
    }
    if (::poll(fds.data(), fds.size(), timeoutMs) < 0) {
      if (errno == EINTR) continue;  // a signal's handler has written to the wake pipe
      return 1;
    }
    if (fds[0].revents & POLLIN) return 0;
    // Clients first: their slots in fds match clients_ only until one is added or dropped.
    for (std::size_t i = clients_.size(); i-- > 0;) {
      const short r = fds[i + 2].revents;
      Client& c = *clients_[i];
      const bool ok =
          !(r & (POLLERR | POLLNVAL)) && (!(r & (POLLIN | POLLHUP)) || Receive(c)) && (!(r & POLLOUT) || Flush(c));
      if (!ok) Drop(i);
    }
    if (fds[1].revents & POLLIN) Accept();
  }
}

void SimServer::Accept() {
  for (;;) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;  // none waiting (or a client that left at once)
    const int closeAfter = meter_->Description().faults.closeAfter;
    if (clients_.size() >= kMaxClients || closeAfter == 0) {
      ::close(fd);
      continue;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    auto c = std::make_unique<Client>();
    c->fd = fd;
    clients_.push_back(std::move(c));
    if (options_.transcript) options_.transcript->Note(name_, "client connected");
  }
}

void SimServer::Drop(std::size_t index) {
  ::close(clients_[index]->fd);
  clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(index));
  if (options_.transcript) options_.transcript->Note(name_, "client gone");
}

// Takes what the client sent; false when it has gone.
bool SimServer::Receive(Client& c) {
  char chunk[kReadChunk];
  for (;;) {
    const ssize_t n = ::recv(c.fd, chunk, sizeof chunk, 0);
    if (n == 0) return false;
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    c.in.append(chunk, static_cast<std::size_t>(n));
    if (!Advance(c)) return false;
    // The rest waits in the socket while this client's answers wait.
    if (static_cast<std::size_t>(n) < sizeof chunk || c.late || c.closing || c.Unsent() >= kMaxUnsentBytes) return true;
  }
}

// Runs the complete lines that wait; false when the meter drops off the bus
// (the connection goes with it).
bool SimServer::Advance(Client& c) {
  TranscriptLog* log = options_.transcript.get();
  const int closeAfter = meter_->Description().faults.closeAfter;
  const auto answered = [&](const std::string& answer) {
    if (log) log->Received(name_, ReadResult{status::kSuccess, answer, true});
    c.out += answer;
    if (closeAfter >= 0 && ++c.answers >= closeAfter) {
      c.closing = true;
      if (log) log->Note(name_, "closing the connection (close-after fault)");
    }
  };
  if (c.late && SteadyClock::now() >= c.lateAt) {
    answered(*c.late);
    c.late.reset();
  }
  std::size_t start = 0;
  std::string answer;
  for (std::size_t lf;
       !c.late && !c.closing && c.Unsent() < kMaxUnsentBytes && (lf = c.in.find('\n', start)) != std::string::npos;
       start = lf + 1) {
    const std::string_view line(c.in.data() + start, lf - start + 1);
    if (log) log->Sent(name_, line, status::kSuccess);
    if (!IsSuccess(meter_->Write(line))) return false;
    int delayMs = 0;
    if (!meter_->TakeAnswer(&answer, &delayMs)) continue;
    if (delayMs > 0) {
      c.late = answer;
      c.lateAt = SteadyClock::now() + std::chrono::milliseconds(delayMs);
    } else {
      answered(answer);
    }
  }
  c.in.erase(0, start);
  if (c.in.size() > kMaxLineBytes && c.in.find('\n') == std::string::npos) c.in.clear();
  return true;
}

// Sends as much as the socket takes; false when the connection is over.
bool SimServer::Flush(Client& c) {
  while (c.Unsent() > 0) {
    const ssize_t n = ::send(c.fd, c.out.data() + c.sent, c.Unsent(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno == EAGAIN || errno == EWOULDBLOCK;
    }
    c.sent += static_cast<std::size_t>(n);
  }
  c.out.clear();
  c.sent = 0;
  return !c.closing;
}

}  // namespace merilog::sim
