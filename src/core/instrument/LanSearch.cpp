#include "core/instrument/LanSearch.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "core/instrument/DnsSdBrowser.h"
#include "core/instrument/LanFinds.h"
#include "core/instrument/PortmapperSearch.h"

namespace merilog {
namespace {

// Asking avahi-daemon goes through D-Bus, whose calls wait up to 25 s for a
// daemon that hangs: that half runs on a thread of its own, which the search
// leaves behind when it overstays.
template <class R>
class Bounded {
 public:
  explicit Bounded(std::function<R()> job) : state_(std::make_shared<State>()) {
    std::thread([state = state_, job = std::move(job)] {
      R r = job();
      std::lock_guard lock(state->mutex);
      state->result = std::move(r);
      state->wake.notify_all();
    }).detach();
  }
  std::optional<R> WaitUntil(std::chrono::steady_clock::time_point end) {
    std::unique_lock lock(state_->mutex);
    state_->wake.wait_until(lock, end, [this] { return state_->result.has_value(); });
    return std::move(state_->result);
  }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable wake;
    std::optional<R> result;
  };
  std::shared_ptr<State> state_;
};

// The DNS-SD half may take this long beyond the bound before it counts as hung.
constexpr int kGraceMs = 100;

}  // namespace

LanSearchResult SearchLan(const LanSearchOptions& options) {
  using Clock = std::chrono::steady_clock;
  const auto end = Clock::now() + std::chrono::milliseconds(options.boundMs + kGraceMs);
  LanSearchResult result;
  std::optional<Bounded<DnsSdBrowse>> dnsSd;
  if (options.dnsSd)
    dnsSd.emplace([window = options.boundMs] { return BrowseDnsSd(LanFinds::ServiceTypes(), window); });
  else
    result.dnsSdSkipped = "not asked for";

  std::vector<std::string> targets = options.broadcastTo;
  if (targets.empty())
    for (const Ipv4Interface& n : BroadcastInterfaces()) {
      targets.push_back(n.broadcast);
      result.interfaces.push_back(n.name + " (" + n.broadcast + ")");
    }
  LanFinds finds;
  for (const std::string& host :
       FindVxi11Hosts(targets, options.portmapperPort, std::min(options.broadcastWindowMs, options.boundMs)))
    finds.Add(host, LanFinds::Kind::Vxi11);

  if (dnsSd) {
    const std::optional<DnsSdBrowse> browse = dnsSd->WaitUntil(end);
    if (!browse) {
      result.dnsSdSkipped = "avahi-daemon did not answer in time";
    } else {
      result.dnsSdSkipped = browse->skipped;
      for (const DnsSdService& s : browse->services)
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
  Bounded<std::string> probe([] {
    std::string why;
    return DnsSdUsable(&why) ? std::string() : (why.empty() ? "avahi-daemon cannot be asked" : why);
  });
  const auto why =
      probe.WaitUntil(std::chrono::steady_clock::now() + std::chrono::milliseconds(LanSearchOptions{}.boundMs));
  lines.push_back("LAN search, DNS-SD (_lxi, _vxi-11, _scpi-raw, _hislip): " +
                  (!why           ? std::string("skipped (avahi-daemon did not answer in time)")
                   : why->empty() ? std::string("through avahi-daemon")
                                  : "skipped (" + *why + ")"));
  return lines;
}

}  // namespace merilog
