#include "sim/Vxi11Server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "core/instrument/Tirpc.h"
#include "core/instrument/Vxi11Protocol.h"

namespace merilog::sim {
namespace {

constexpr std::size_t kMaxConns = 64;
constexpr std::size_t kMaxMessage = 1 << 20;
constexpr int kRpcbindWaitMs = 2000;

template <class T>
std::string Encoded(xdrproc_t proc, const T& value) {
  return tirpc::Encode(proc, &value).value_or(std::string());
}

std::string ErrorOnly(std::int32_t error) {
  Device_Error e{};
  e.error = error;
  return Encoded(reinterpret_cast<xdrproc_t>(xdr_Device_Error), e);
}

std::string ReadReply(std::int32_t error, std::int32_t reason, std::string_view data) {
  Device_ReadResp r{};
  r.error = error;
  r.reason = reason;
  r.data.data_len = static_cast<u_int>(data.size());
  r.data.data_val = const_cast<char*>(data.data());
  return Encoded(reinterpret_cast<xdrproc_t>(xdr_Device_ReadResp), r);
}

// Decodes a call's arguments; false for garbage (the caller answers GARBAGE_ARGS).
template <class T>
bool Args(const rpc::Call& call, xdrproc_t proc, T* into) {
  *into = T{};
  const std::string padded = std::string(call.args) + std::string(3, '\0');
  return tirpc::Decode(proc, padded, into);
}

}  // namespace

Vxi11Server::Vxi11Server(std::shared_ptr<SimMeter> meter, Vxi11ServerOptions options)
    : meter_(std::move(meter)), options_(std::move(options)) {}

Vxi11Server::~Vxi11Server() {
  if (registered_) RpcbindSet(false);
  for (auto& c : conns_) ::close(c->fd);
  for (int fd : {coreFd_, abortFd_, pmapTcpFd_, pmapUdpFd_, broadcastFd_})
    if (fd >= 0) ::close(fd);
}

bool Vxi11Server::Listen(std::string* error) {
  std::string why;
  if (!tirpc::Load(&why)) {
    if (error) *error = "VXI-11 needs " + why;
    return false;
  }
  if (!wake_.Ok()) {
    if (error) *error = "cannot create the stop pipe";
    return false;
  }
  const std::string& a = options_.bindAddress;
  coreFd_ = ListenTcp(a, options_.port, &corePort_, error);
  if (coreFd_ < 0) return false;
  abortFd_ = ListenTcp(a, 0, &abortPort_, error);
  if (abortFd_ < 0) return false;
  if (options_.portmapperPort >= 0) {
    pmapTcpFd_ = ListenTcp(a, options_.portmapperPort, &pmapPort_, error);
    if (pmapTcpFd_ < 0) return false;
    pmapUdpFd_ = BindUdp(a, pmapPort_, error);
    if (pmapUdpFd_ < 0) return false;
    // GETPORT broadcasts reach the interface's broadcast address, not ours.
    const std::string broadcast = BroadcastAddressOf(a);
    if (!broadcast.empty()) {
      broadcastFd_ = BindUdp(broadcast, pmapPort_, error);
      if (broadcastFd_ < 0) return false;
    }
  }
  name_ = "TCPIP0::" + a + "::inst0::INSTR";
  if (options_.registerRpcbind) {
    if (!RpcbindSet(true)) {
      if (error) *error = "the portmapper at 127.0.0.1:111 did not take the registration";
      return false;
    }
    registered_ = true;
  }
  return true;
}

bool Vxi11Server::RpcbindSet(bool set) {
  std::string error;
  const int fd = BindUdp("127.0.0.1", 0, &error);
  if (fd < 0) return false;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(rpc::kPortmapPort);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const std::uint32_t xid = static_cast<std::uint32_t>(::getpid()) ^ 0x5A5A0000u;
  const std::string call = rpc::EncodeCall(
      xid, rpc::kPortmapProgram, rpc::kPortmapVersion, set ? rpc::kPortmapProcSet : rpc::kPortmapProcUnset,
      rpc::EncodeMapping(DEVICE_CORE, DEVICE_CORE_VERSION, rpc::kProtocolTcp, static_cast<std::uint32_t>(corePort_)));
  bool ok = ::sendto(fd, call.data(), call.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) ==
            static_cast<ssize_t>(call.size());
  bool answered = false;
  while (ok && !answered) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, kRpcbindWaitMs) <= 0) break;
    char buf[512];
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    const auto reply = rpc::DecodeReply(std::string_view(buf, static_cast<std::size_t>(n)));
    if (!reply || reply->xid != xid) continue;
    answered = true;
    ok = reply->stat == rpc::kSuccess && reply->results.size() >= 4 && rpc::GetWord(reply->results, 0) != 0;
  }
  ::close(fd);
  return ok && answered;
}

int Vxi11Server::Run() {
  if (coreFd_ < 0) return 1;
  std::vector<pollfd> fds;
  for (;;) {
    for (std::size_t i = conns_.size(); i-- > 0;) {
      Conn& c = *conns_[i];
      if ((!c.read || AdvanceRead(c)) && !Serve(c)) {
        Drop(i);
        continue;
      }
      if (!FlushSome(c.fd, c.out, &c.sent) || (c.closing && c.sent == c.out.size())) {
        Drop(i);
        continue;
      }
      if (c.sent == c.out.size()) {
        c.out.clear();
        c.sent = 0;
      }
    }
    fds.clear();
    for (int fd : {wake_.ReadFd(), coreFd_, abortFd_, pmapTcpFd_, pmapUdpFd_, broadcastFd_})
      fds.push_back({fd, POLLIN, 0});
    int timeoutMs = -1;
    const auto now = Clock::now();
    for (const auto& c : conns_) {
      short events = c->read || c->closing ? 0 : POLLIN;
      if (c->sent < c->out.size()) events |= POLLOUT;
      fds.push_back({c->fd, events, 0});
      if (!c->read) continue;
      auto due = c->read->giveUpAt;
      const auto link = links_.find(*c->readLink);
      if (link != links_.end() && !link->second.answer.empty()) due = std::min(due, link->second.readyAt);
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(due - now).count();
      const int ms = static_cast<int>(std::clamp<long long>(left, 0, 60000));
      timeoutMs = timeoutMs < 0 ? ms : std::min(timeoutMs, ms);
    }
    if (::poll(fds.data(), fds.size(), timeoutMs) < 0) {
      if (errno == EINTR) continue;
      return 1;
    }
    if (fds[0].revents & POLLIN) return 0;
    for (std::size_t i = conns_.size(); i-- > 0;) {
      const short r = fds[6 + i].revents;
      if ((r & (POLLERR | POLLNVAL)) || ((r & (POLLIN | POLLHUP)) && !Receive(*conns_[i]))) Drop(i);
    }
    if (fds[1].revents & POLLIN) Accept(coreFd_, Channel::Core);
    if (fds[2].revents & POLLIN) Accept(abortFd_, Channel::Abort);
    if (fds[3].revents & POLLIN) Accept(pmapTcpFd_, Channel::Portmap);
    if (fds[4].revents & POLLIN) ServeUdp(pmapUdpFd_);
    if (fds[5].revents & POLLIN) ServeUdp(broadcastFd_);
  }
}

void Vxi11Server::Accept(int listenFd, Channel channel) {
  for (;;) {
    const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    if (conns_.size() >= kMaxConns || (channel == Channel::Core && meter_->Description().faults.closeAfter == 0)) {
      ::close(fd);
      continue;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    auto c = std::make_unique<Conn>();
    c->fd = fd;
    c->channel = channel;
    conns_.push_back(std::move(c));
  }
}

void Vxi11Server::Drop(std::size_t index) {
  Conn& c = *conns_[index];
  for (std::int32_t lid : c.links) links_.erase(lid);
  if (c.channel == Channel::Core && options_.transcript) options_.transcript->Note(name_, "client gone");
  ::close(c.fd);
  conns_.erase(conns_.begin() + static_cast<std::ptrdiff_t>(index));
}

bool Vxi11Server::Receive(Conn& c) {
  char chunk[64 * 1024];
  for (;;) {
    const ssize_t n = ::recv(c.fd, chunk, sizeof chunk, 0);
    if (n == 0) return false;
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    c.reader.Append(chunk, static_cast<std::size_t>(n));
    if (static_cast<std::size_t>(n) < sizeof chunk) return Serve(c);
  }
}

bool Vxi11Server::Serve(Conn& c) {
  // Calls on one link are answered in order: while a read waits, the rest wait too.
  while (!c.read && !c.closing) {
    bool broken = false;
    const auto record = c.reader.Next(&broken);
    if (broken) return false;
    if (!record) return true;
    const auto call = rpc::DecodeCall(*record);
    if (!call) return false;
    bool deferred = false;
    const std::string reply = Dispatch(c, *call, &deferred);
    if (!deferred)
      c.out += rpc::Frame(reply);
    else
      AdvanceRead(c);
  }
  return true;
}

std::string Vxi11Server::Dispatch(Conn& c, const rpc::Call& call, bool* deferred) {
  if (c.channel == Channel::Portmap) return Portmap(call);
  const std::uint32_t program = c.channel == Channel::Core ? DEVICE_CORE : DEVICE_ASYNC;
  if (call.program != program) return rpc::EncodeReply(call.xid, rpc::kProgUnavail, {});
  if (call.version != 1) {
    std::string range;
    rpc::PutWord(&range, 1);
    rpc::PutWord(&range, 1);
    return rpc::EncodeReply(call.xid, rpc::kProgMismatch, range);
  }
  if (call.procedure == 0) return rpc::EncodeReply(call.xid, rpc::kSuccess, {});
  return c.channel == Channel::Core ? Core(c, call, deferred) : AbortCall(call);
}

std::string Vxi11Server::Core(Conn& c, const rpc::Call& call, bool* deferred) {
  const auto reply = [&](const std::string& results) { return rpc::EncodeReply(call.xid, rpc::kSuccess, results); };
  const auto garbage = [&] { return rpc::EncodeReply(call.xid, rpc::kGarbageArgs, {}); };
  TranscriptLog* log = options_.transcript.get();
  switch (call.procedure) {
    case create_link: {
      Create_LinkParms p;
      if (!rpc::LengthFits(call.args, 12) || !Args(call, reinterpret_cast<xdrproc_t>(xdr_Create_LinkParms), &p)) {
        tirpc::Free(reinterpret_cast<xdrproc_t>(xdr_Create_LinkParms), &p);
        return garbage();
      }
      const bool known = p.device && ::strncasecmp(p.device, "inst", 4) == 0;
      tirpc::Free(reinterpret_cast<xdrproc_t>(xdr_Create_LinkParms), &p);
      Create_LinkResp r{};
      if (!known) {
        r.error = vxi11::kErrorDeviceNotAccessible;
      } else {
        r.lid = nextLink_++;
        r.abortPort = static_cast<u_short>(abortPort_);
        r.maxRecvSize = kMaxRecvSize;
        links_[static_cast<std::int32_t>(r.lid)].conn = &c;
        c.links.push_back(static_cast<std::int32_t>(r.lid));
        if (log) log->Note(name_, "link " + std::to_string(r.lid) + " created");
      }
      return reply(Encoded(reinterpret_cast<xdrproc_t>(xdr_Create_LinkResp), r));
    }
    case device_write: {
      Device_WriteParms p;
      if (!rpc::LengthFits(call.args, 16) || !Args(call, reinterpret_cast<xdrproc_t>(xdr_Device_WriteParms), &p)) {
        tirpc::Free(reinterpret_cast<xdrproc_t>(xdr_Device_WriteParms), &p);
        return garbage();
      }
      Device_WriteResp r{};
      const auto link = links_.find(static_cast<std::int32_t>(p.lid));
      if (link == links_.end()) {
        r.error = vxi11::kErrorInvalidLink;
      } else if (p.data.data_len > kMaxRecvSize) {
        r.error = vxi11::kErrorParameter;  // more than create_link said it takes
      } else {
        Link& l = link->second;
        l.message.append(p.data.data_val ? p.data.data_val : "", p.data.data_len);
        r.size = p.data.data_len;
        if (l.message.size() > kMaxMessage) l.message.clear();
        if (p.flags & vxi11::kFlagEnd) {
          if (log) log->Sent(name_, l.message, status::kSuccess);
          const Status st = meter_->Write(l.message);
          l.message.clear();
          int delayMs = 0;
          std::string answer;
          if (!IsSuccess(st)) {
            r.error = vxi11::kErrorIo;
            c.closing = true;  // off the bus: the connection goes with it
          } else if (meter_->TakeAnswer(&answer, &delayMs)) {
            l.answer = std::move(answer);
            l.readyAt = Clock::now() + std::chrono::milliseconds(delayMs);
          }
        }
      }
      tirpc::Free(reinterpret_cast<xdrproc_t>(xdr_Device_WriteParms), &p);
      return reply(Encoded(reinterpret_cast<xdrproc_t>(xdr_Device_WriteResp), r));
    }
    case device_read: {
      Device_ReadParms p;
      if (!Args(call, reinterpret_cast<xdrproc_t>(xdr_Device_ReadParms), &p)) return garbage();
      if (!links_.count(static_cast<std::int32_t>(p.lid))) return reply(ReadReply(vxi11::kErrorInvalidLink, 0, {}));
      PendingRead r;
      r.xid = call.xid;
      r.requestSize = static_cast<std::uint32_t>(std::min<u_long>(p.requestSize, 64u << 20));
      r.flags = static_cast<std::int32_t>(p.flags);
      r.termChar = p.termChar;
      r.giveUpAt = Clock::now() + std::chrono::milliseconds(std::min<u_long>(p.io_timeout, 3600000));
      c.read = r;
      c.readLink = static_cast<std::int32_t>(p.lid);
      *deferred = true;
      return {};
    }
    case device_clear:
    case destroy_link:
    case device_trigger:
    case device_remote:
    case device_local:
    case device_lock:
    case device_unlock:
    case device_readstb: {
      // Every one of these starts with the link id.
      if (call.args.size() < 4) return garbage();
      const std::int32_t lid = static_cast<std::int32_t>(rpc::GetWord(call.args, 0));
      const auto link = links_.find(lid);
      std::int32_t error = link == links_.end() ? vxi11::kErrorInvalidLink : vxi11::kErrorNone;
      if (!error && call.procedure == device_clear) {
        link->second.answer.clear();
        link->second.message.clear();
        if (!IsSuccess(meter_->DeviceClear())) error = vxi11::kErrorIo;
        if (log) log->Note(name_, "device clear");
      }
      if (!error && call.procedure == destroy_link) {
        links_.erase(link);
        c.links.erase(std::remove(c.links.begin(), c.links.end(), lid), c.links.end());
      }
      if (call.procedure == device_readstb) {
        Device_ReadStbResp r{};
        r.error = error;
        return reply(Encoded(reinterpret_cast<xdrproc_t>(xdr_Device_ReadStbResp), r));
      }
      return reply(ErrorOnly(error));
    }
    default:
      return rpc::EncodeReply(call.xid, rpc::kProcUnavail, {});
  }
}

bool Vxi11Server::AdvanceRead(Conn& c) {
  if (!c.read) return true;
  const PendingRead r = *c.read;
  const auto link = links_.find(*c.readLink);
  const auto now = Clock::now();
  std::string results;
  if (link == links_.end()) {
    results = ReadReply(vxi11::kErrorInvalidLink, 0, {});
  } else if (Link& l = link->second; !l.answer.empty() && now >= l.readyAt) {
    std::size_t n = std::min<std::size_t>(std::max<std::uint32_t>(r.requestSize, 1), l.answer.size());
    std::int32_t reason = 0;
    if (r.flags & vxi11::kFlagTermCharSet) {
      const std::size_t at = l.answer.find(r.termChar);
      if (at != std::string::npos && at < n) {
        n = at + 1;
        reason |= vxi11::kReasonTermChar;
      }
    }
    if (n == l.answer.size())
      reason |= vxi11::kReasonEnd;
    else if (n == r.requestSize)
      reason |= vxi11::kReasonRequestCount;
    const std::string part = l.answer.substr(0, n);
    l.answer.erase(0, n);
    if (options_.transcript) options_.transcript->Received(name_, ReadResult{status::kSuccess, part, l.answer.empty()});
    results = ReadReply(vxi11::kErrorNone, reason, part);
    const int closeAfter = meter_->Description().faults.closeAfter;
    if (l.answer.empty() && closeAfter >= 0 && ++l.answers >= closeAfter) c.closing = true;
  } else if (now >= r.giveUpAt) {
    results = ReadReply(vxi11::kErrorIoTimeout, 0, {});
  } else {
    return false;
  }
  c.out += rpc::Frame(rpc::EncodeReply(r.xid, rpc::kSuccess, results));
  c.read.reset();
  c.readLink.reset();
  return true;
}

std::string Vxi11Server::AbortCall(const rpc::Call& call) {
  if (call.procedure != device_abort) return rpc::EncodeReply(call.xid, rpc::kProcUnavail, {});
  if (call.args.size() < 4) return rpc::EncodeReply(call.xid, rpc::kGarbageArgs, {});
  const std::int32_t lid = static_cast<std::int32_t>(rpc::GetWord(call.args, 0));
  const auto link = links_.find(lid);
  if (link == links_.end()) return rpc::EncodeReply(call.xid, rpc::kSuccess, ErrorOnly(vxi11::kErrorInvalidLink));
  Conn* owner = link->second.conn;
  if (owner && owner->read && owner->readLink == lid) {
    owner->out += rpc::Frame(rpc::EncodeReply(owner->read->xid, rpc::kSuccess, ReadReply(vxi11::kErrorAbort, 0, {})));
    owner->read.reset();
    owner->readLink.reset();
    if (options_.transcript) options_.transcript->Note(name_, "read aborted");
  }
  return rpc::EncodeReply(call.xid, rpc::kSuccess, ErrorOnly(vxi11::kErrorNone));
}

std::string Vxi11Server::Portmap(const rpc::Call& call) {
  if (call.program != rpc::kPortmapProgram) return rpc::EncodeReply(call.xid, rpc::kProgUnavail, {});
  if (call.version != rpc::kPortmapVersion) {
    std::string range;
    rpc::PutWord(&range, rpc::kPortmapVersion);
    rpc::PutWord(&range, rpc::kPortmapVersion);
    return rpc::EncodeReply(call.xid, rpc::kProgMismatch, range);
  }
  std::string results;
  switch (call.procedure) {
    case rpc::kPortmapProcNull:
      break;
    case rpc::kPortmapProcGetPort: {
      if (call.args.size() < 16) return rpc::EncodeReply(call.xid, rpc::kGarbageArgs, {});
      const bool core = rpc::GetWord(call.args, 0) == DEVICE_CORE &&
                        rpc::GetWord(call.args, 4) == DEVICE_CORE_VERSION &&
                        rpc::GetWord(call.args, 8) == rpc::kProtocolTcp;
      rpc::PutWord(&results, core ? static_cast<std::uint32_t>(corePort_) : 0u);
      break;
    }
    case rpc::kPortmapProcSet:
    case rpc::kPortmapProcUnset:
      rpc::PutWord(&results, 0);  // this portmapper serves one meter and takes no registrations
      break;
    default:
      return rpc::EncodeReply(call.xid, rpc::kProcUnavail, {});
  }
  return rpc::EncodeReply(call.xid, rpc::kSuccess, results);
}

void Vxi11Server::ServeUdp(int fd) {
  for (;;) {
    char buf[1500];
    sockaddr_storage from{};
    socklen_t len = sizeof from;
    const ssize_t n = ::recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 0) return;
    const auto call = rpc::DecodeCall(std::string_view(buf, static_cast<std::size_t>(n)));
    if (!call || call->program != rpc::kPortmapProgram) continue;
    const std::string reply = Portmap(*call);
    // Answered from our own address, so the asker learns where the meter is.
    ::sendto(pmapUdpFd_, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
  }
}

}  // namespace merilog::sim
