#include "sim/HislipServer.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace merilog::sim {
namespace {

constexpr std::size_t kMaxConns = 64;
constexpr std::uint16_t kServerVendor = ('M' << 8) | 'S';

}  // namespace

HislipServer::HislipServer(std::shared_ptr<SimMeter> meter, HislipServerOptions options)
    : meter_(std::move(meter)), options_(std::move(options)) {}

HislipServer::~HislipServer() {
  for (auto& c : conns_) ::close(c->fd);
  if (listenFd_ >= 0) ::close(listenFd_);
}

bool HislipServer::Listen(std::string* error) {
  if (!wake_.Ok()) {
    if (error) *error = "cannot create the stop pipe";
    return false;
  }
  listenFd_ = ListenTcp(options_.bindAddress, options_.port, &port_, error);
  name_ = "TCPIP0::" + options_.bindAddress + "::hislip0," + std::to_string(port_) + "::INSTR";
  return listenFd_ >= 0;
}

HislipServer::SessionState* HislipServer::SessionOf(const Conn& c) {
  return c.session >= 0 && c.session < static_cast<int>(sessions_.size()) ? &sessions_[c.session] : nullptr;
}

int HislipServer::Run() {
  if (listenFd_ < 0) return 1;
  std::vector<pollfd> fds;
  for (;;) {
    int timeoutMs = -1;
    const auto now = Clock::now();
    for (auto& s : sessions_) {
      if (!s.answer) continue;
      if (now >= s.readyAt) {
        Answer(s);
        continue;
      }
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(s.readyAt - now).count();
      const int ms = static_cast<int>(std::clamp<long long>(left, 0, 60000));
      timeoutMs = timeoutMs < 0 ? ms : std::min(timeoutMs, ms);
    }
    for (std::size_t i = conns_.size(); i-- > 0;) {
      Conn& c = *conns_[i];
      if (!FlushSome(c.fd, c.out, &c.sent) || (c.closing && c.sent == c.out.size())) {
        Drop(i);
      } else if (c.sent == c.out.size()) {
        c.out.clear();
        c.sent = 0;
      }
    }
    fds.assign({{wake_.ReadFd(), POLLIN, 0}, {listenFd_, POLLIN, 0}});
    for (const auto& c : conns_)
      fds.push_back(
          {c->fd, static_cast<short>((c->closing ? 0 : POLLIN) | (c->sent < c->out.size() ? POLLOUT : 0)), 0});
    if (::poll(fds.data(), fds.size(), timeoutMs) < 0) {
      if (errno == EINTR) continue;
      return 1;
    }
    if (fds[0].revents & POLLIN) return 0;
    for (std::size_t i = conns_.size(); i-- > 0;) {
      const short r = fds[2 + i].revents;
      if ((r & (POLLERR | POLLNVAL)) || ((r & (POLLIN | POLLHUP)) && !Receive(*conns_[i]))) Drop(i);
    }
    if (fds[1].revents & POLLIN) Accept();
  }
}

void HislipServer::Accept() {
  for (;;) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    if (conns_.size() >= kMaxConns) {
      ::close(fd);
      continue;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    auto c = std::make_unique<Conn>();
    c->fd = fd;
    conns_.push_back(std::move(c));
  }
}

void HislipServer::Drop(std::size_t index) {
  Conn* c = conns_[index].get();
  if (SessionState* s = SessionOf(*c)) {
    // A session ends with either of its channels.
    for (Conn* other : {s->sync, s->async})
      if (other && other != c) other->closing = true;
    *s = SessionState{};
    if (options_.transcript) options_.transcript->Note(name_, "client gone");
  }
  ::close(c->fd);
  conns_.erase(conns_.begin() + static_cast<std::ptrdiff_t>(index));
}

void HislipServer::Fatal(Conn& c, std::uint8_t code, const std::string& text) {
  c.out += hislip::Encode(hislip::kFatalError, code, 0, text);
  c.closing = true;
}

bool HislipServer::Receive(Conn& c) {
  char chunk[64 * 1024];
  for (;;) {
    const ssize_t n = ::recv(c.fd, chunk, sizeof chunk, 0);
    if (n == 0) return false;
    if (n < 0) break;
    c.in.append(chunk, static_cast<std::size_t>(n));
    if (static_cast<std::size_t>(n) < sizeof chunk) break;
  }
  std::size_t at = 0;
  while (!c.closing && c.in.size() - at >= hislip::kHeaderSize) {
    std::uint64_t length = 0;
    auto m = hislip::DecodeHeader(std::string_view(c.in).substr(at), &length);
    if (!m) {
      Fatal(c, hislip::kFatalPoorlyFormedHeader, "poorly formed message header");
      break;
    }
    if (length > kMaxMessage) {
      Fatal(c, hislip::kFatalPoorlyFormedHeader, "message larger than the maximum message size");
      break;
    }
    if (c.in.size() - at - hislip::kHeaderSize < length) break;
    m->payload = c.in.substr(at + hislip::kHeaderSize, length);
    at += hislip::kHeaderSize + length;
    if (!Handle(c, *m)) return false;
  }
  c.in.erase(0, at);
  return true;
}

bool HislipServer::Handle(Conn& c, const hislip::Message& m) {
  TranscriptLog* log = options_.transcript.get();
  SessionState* s = SessionOf(c);
  if (!s) {
    // The first message of a connection says which channel it is.
    if (m.type == hislip::kInitialize) {
      if (::strncasecmp(m.payload.c_str(), "hislip", 6) != 0) {
        Fatal(c, hislip::kFatalInvalidInitialization, "unknown sub-address " + m.payload);
        return true;
      }
      sessions_.push_back(SessionState{});
      c.session = static_cast<int>(sessions_.size() - 1);
      sessions_.back().sync = &c;
      c.out += hislip::Encode(hislip::kInitializeResponse, 0,
                              (std::uint32_t{hislip::kProtocolVersion} << 16) | static_cast<std::uint32_t>(c.session));
      if (log) log->Note(name_, "client connected");
      return true;
    }
    if (m.type == hislip::kAsyncInitialize && m.parameter < sessions_.size() && sessions_[m.parameter].sync &&
        !sessions_[m.parameter].async) {
      c.session = static_cast<int>(m.parameter);
      c.async = true;
      sessions_[m.parameter].async = &c;
      c.out += hislip::Encode(hislip::kAsyncInitializeResponse, 0, kServerVendor);
      return true;
    }
    Fatal(c, hislip::kFatalInvalidInitialization, "the connection did not start with Initialize or AsyncInitialize");
    return true;
  }
  if (c.async) {
    switch (m.type) {
      case hislip::kAsyncMaxMsgSize:
        s->clientMax = std::max<std::uint64_t>(hislip::SizeOf(m.payload), 1);
        c.out += hislip::Encode(hislip::kAsyncMaxMsgSizeResponse, 0, 0, hislip::SizePayload(kMaxMessage));
        return true;
      case hislip::kAsyncDeviceClear:
        s->message.clear();
        s->answer.reset();
        meter_->DeviceClear();
        if (log) log->Note(name_, "device clear");
        c.out += hislip::Encode(hislip::kAsyncDeviceClearAcknowledge, 0, 0);
        return true;
      default:
        c.out += hislip::Encode(hislip::kError, hislip::kErrorUnrecognizedType, 0, "unrecognized message type");
        return true;
    }
  }
  switch (m.type) {
    case hislip::kData:
    case hislip::kDataEnd: {
      if (!s->async) {
        Fatal(c, hislip::kFatalChannelsNotEstablished, "the asynchronous channel is not established");
        return true;
      }
      s->message += m.payload;
      if (s->message.size() > kMaxMessage) s->message.clear();
      if (m.type == hislip::kData) return true;
      if (log) log->Sent(name_, s->message, status::kSuccess);
      const Status st = meter_->Write(s->message);
      s->message.clear();
      if (!IsSuccess(st)) return false;  // off the bus: the connection goes with it
      std::string answer;
      int delayMs = 0;
      if (meter_->TakeAnswer(&answer, &delayMs)) {
        s->answer = std::move(answer);
        s->answerId = m.parameter;
        s->readyAt = Clock::now() + std::chrono::milliseconds(delayMs);
        if (delayMs == 0) Answer(*s);
      }
      return true;
    }
    case hislip::kDeviceClearComplete:
      c.out += hislip::Encode(hislip::kDeviceClearAcknowledge, m.control, 0);
      return true;
    default:
      c.out += hislip::Encode(hislip::kError, hislip::kErrorUnrecognizedType, 0, "unrecognized message type");
      return true;
  }
}

void HislipServer::Answer(SessionState& s) {
  if (!s.answer || !s.sync) return;
  const std::string& a = *s.answer;
  if (options_.transcript) options_.transcript->Received(name_, ReadResult{status::kSuccess, a, true});
  // In pieces the client can take, the last one DataEnd.
  const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(s.clientMax, kMaxMessage));
  std::size_t at = 0;
  do {
    const std::size_t n = std::min(a.size() - at, piece);
    s.sync->out +=
        hislip::Encode(at + n == a.size() ? hislip::kDataEnd : hislip::kData, 0, s.answerId, a.substr(at, n));
    at += n;
  } while (at < a.size());
  s.answer.reset();
  const int closeAfter = meter_->Description().faults.closeAfter;
  if (closeAfter >= 0 && ++s.answers >= closeAfter) s.sync->closing = true;
}

}  // namespace merilog::sim
