#include "core/instrument/LanSearch.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include "core/instrument/DnsSdBrowser.h"
#include "core/instrument/LanFinds.h"
#include "core/instrument/PortmapperSearch.h"

namespace merilog {
namespace {

// Asking avahi-daemon goes through D-Bus, whose calls wait up to 25 s for a
// daemon that hangs: that half runs on a thread of its own, which the search
// leaves behind when it overstays (the future of a packaged task, unlike one
// of std::async, does not wait for it when dropped).
template <class R>
std::future<R> RunDetached(std::function<R()> job) {
  std::packaged_task<R()> task(std::move(job));
  std::future<R> result = task.get_future();
  std::thread(std::move(task)).detach();
  return result;
}

// The DNS-SD half may take this long beyond the bound before it counts as hung.
constexpr int kGraceMs = 100;

}  // namespace

LanSearchResult SearchLan(const LanSearchOptions& options) {
  using Clock = std::chrono::steady_clock;
  const auto end = Clock::now() + std::chrono::milliseconds(options.boundMs + kGraceMs);
  LanSearchResult result;
  std::future<DnsSdBrowse> dnsSd;
  if (options.dnsSd)
    dnsSd =
        RunDetached<DnsSdBrowse>([window = options.boundMs] { return BrowseDnsSd(LanFinds::ServiceTypes(), window); });
  else
    result.dnsSdSkipped = "not asked for";

  std::vector<std::string> targets = options.broadcastTo;
  if (targets.empty())
    for (const Ipv4Interface& n : BroadcastInterfaces()) targets.push_back(n.broadcast);
  LanFinds finds;
  for (const std::string& host :
       FindVxi11Hosts(targets, options.portmapperPort, std::min(options.broadcastWindowMs, options.boundMs)))
    finds.Add(host, LanFinds::Kind::Vxi11);

  if (dnsSd.valid()) {
    if (dnsSd.wait_until(end) != std::future_status::ready) {
      result.dnsSdSkipped = "avahi-daemon did not answer in time";
    } else {
      const DnsSdBrowse browse = dnsSd.get();
      result.dnsSdSkipped = browse.skipped;
      for (const DnsSdService& s : browse.services)
        if (const auto kind = LanFinds::KindOfService(s.type)) finds.Add(s.address, *kind, s.port);
    }
  }
  result.resources = finds.Resources();
  return result;
}

std::vector<std::string> DescribeLanSearch() {
  std::vector<std::string> lines;
  std::string broadcast;
  for (const Ipv4Interface& n : BroadcastInterfaces())
    broadcast += (broadcast.empty() ? "" : ", ") + n.name + " (" + n.broadcast + ")";
  lines.push_back("LAN search, VXI-11 portmapper broadcast: " +
                  (broadcast.empty() ? std::string("no interface that can broadcast") : "on " + broadcast));
  std::future<std::string> probe = RunDetached<std::string>([] {
    std::string why;
    return DnsSdUsable(&why) ? std::string() : (why.empty() ? "avahi-daemon cannot be asked" : why);
  });
  const bool answered =
      probe.wait_until(std::chrono::steady_clock::now() + std::chrono::milliseconds(LanSearchOptions{}.boundMs)) ==
      std::future_status::ready;
  const std::string why = answered ? probe.get() : std::string();
  lines.push_back("LAN search, DNS-SD (_lxi, _vxi-11, _scpi-raw, _hislip): " +
                  (!answered     ? std::string("skipped (avahi-daemon did not answer in time)")
                   : why.empty() ? std::string("through avahi-daemon")
                                 : "skipped (" + why + ")"));
  return lines;
}

}  // namespace merilog
