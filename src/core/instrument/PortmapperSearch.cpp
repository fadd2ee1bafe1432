#include "core/instrument/PortmapperSearch.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <set>

#include "core/instrument/OncRpc.h"
#include "core/instrument/Tirpc.h"

namespace merilog {
namespace {

std::string Text(const sockaddr* a) {
  char text[INET_ADDRSTRLEN] = {};
  if (!a || a->sa_family != AF_INET ||
      !::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(a)->sin_addr, text, sizeof text))
    return {};
  return text;
}

// An address added without "brd" reports itself as its broadcast address:
// then the broadcast address is worked out from the netmask.
std::string BroadcastOf(const ifaddrs& i) {
  const auto address = reinterpret_cast<const sockaddr_in*>(i.ifa_addr)->sin_addr.s_addr;
  if (i.ifa_broadaddr && i.ifa_broadaddr->sa_family == AF_INET) {
    const auto given = reinterpret_cast<const sockaddr_in*>(i.ifa_broadaddr)->sin_addr.s_addr;
    if (given != address && given != 0) return Text(i.ifa_broadaddr);
  }
  if (!i.ifa_netmask || i.ifa_netmask->sa_family != AF_INET) return {};
  const auto mask = reinterpret_cast<const sockaddr_in*>(i.ifa_netmask)->sin_addr.s_addr;
  if (ntohl(mask) >= 0xFFFFFFFEu) return {};  // a /31 or /32 has no broadcast address
  sockaddr_in b{};
  b.sin_family = AF_INET;
  b.sin_addr.s_addr = address | ~mask;
  return Text(reinterpret_cast<const sockaddr*>(&b));
}

// The second question, in case the first or its answer was lost.
constexpr int kRepeatAfterMs = 250;

}  // namespace

std::vector<Ipv4Interface> Ipv4Interfaces() {
  std::vector<Ipv4Interface> out;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return out;
  for (ifaddrs* i = list; i; i = i->ifa_next) {
    if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
    Ipv4Interface n;
    n.name = i->ifa_name ? i->ifa_name : "";
    n.address = Text(i->ifa_addr);
    if (i->ifa_flags & IFF_BROADCAST) n.broadcast = BroadcastOf(*i);
    n.up = (i->ifa_flags & IFF_UP) != 0;
    n.loopback = (i->ifa_flags & IFF_LOOPBACK) != 0;
    out.push_back(std::move(n));
  }
  ::freeifaddrs(list);
  return out;
}

std::vector<Ipv4Interface> BroadcastInterfaces() {
  std::vector<Ipv4Interface> out;
  std::set<std::string> seen;
  for (Ipv4Interface& n : Ipv4Interfaces())
    if (n.up && !n.loopback && !n.broadcast.empty() && seen.insert(n.broadcast).second) out.push_back(std::move(n));
  return out;
}

std::vector<std::string> FindVxi11Hosts(const std::vector<std::string>& targets, std::uint16_t port, int windowMs) {
  std::vector<std::string> hosts;
  std::vector<sockaddr_in> to;
  for (const std::string& t : targets) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    if (::inet_pton(AF_INET, t.c_str(), &a.sin_addr) == 1) to.push_back(a);
  }
  if (to.empty()) return hosts;
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return hosts;
  const int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
  const std::uint32_t xid = std::random_device{}();
  const std::string call = rpc::EncodeCall(xid, rpc::kPortmapProgram, rpc::kPortmapVersion, rpc::kPortmapProcGetPort,
                                           rpc::EncodeMapping(DEVICE_CORE, DEVICE_CORE_VERSION, rpc::kProtocolTcp, 0));
  const auto ask = [&] {
    for (const sockaddr_in& a : to)
      ::sendto(fd, call.data(), call.size(), 0, reinterpret_cast<const sockaddr*>(&a), sizeof a);
  };
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  const auto repeatAt = start + std::chrono::milliseconds(std::min(kRepeatAfterMs, windowMs / 2));
  const auto end = start + std::chrono::milliseconds(windowMs);
  ask();
  bool repeated = false;
  std::set<std::string> seen;
  for (;;) {
    const auto now = Clock::now();
    if (now >= end) break;
    if (!repeated && now >= repeatAt) {
      ask();
      repeated = true;
    }
    const auto until = repeated ? end : repeatAt;
    pollfd p{fd, POLLIN, 0};
    const int wait = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(until - now).count());
    if (::poll(&p, 1, std::max(wait, 0)) <= 0) continue;
    for (;;) {
      char buf[512];
      sockaddr_in from{};
      socklen_t len = sizeof from;
      const ssize_t n = ::recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
      if (n < 0) break;
      const auto reply = rpc::DecodeReply(std::string_view(buf, static_cast<std::size_t>(n)));
      // A portmapper without VXI-11 answers port 0.
      if (!reply || reply->xid != xid || reply->stat != rpc::kSuccess || reply->results.size() < 4 ||
          rpc::GetWord(reply->results, 0) == 0)
        continue;
      const std::string host = Text(reinterpret_cast<const sockaddr*>(&from));
      if (!host.empty() && seen.insert(host).second) hosts.push_back(host);
    }
  }
  ::close(fd);
  return hosts;
}

}  // namespace merilog
