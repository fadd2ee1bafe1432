#include "core/instrument/DnsSdBrowser.h"

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/address.h>
#include <avahi-common/error.h>
#include <avahi-common/simple-watch.h>
#include <dlfcn.h>

#include <chrono>
#include <mutex>
#include <set>

#include "core/instrument/LoadedLibrary.h"

namespace merilog {
namespace {

constexpr char kClientLibrary[] = "libavahi-client.so.3";
constexpr char kCommonLibrary[] = "libavahi-common.so.3";

// The routines used, bound by name from the libraries; the header's own
// declarations give each pointer its type.
struct Api {
  decltype(&avahi_simple_poll_new) pollNew = nullptr;
  decltype(&avahi_simple_poll_get) pollGet = nullptr;
  decltype(&avahi_simple_poll_iterate) pollIterate = nullptr;
  decltype(&avahi_simple_poll_free) pollFree = nullptr;
  decltype(&avahi_client_new) clientNew = nullptr;
  decltype(&avahi_client_free) clientFree = nullptr;
  decltype(&avahi_service_browser_new) browserNew = nullptr;
  decltype(&avahi_service_browser_free) browserFree = nullptr;
  decltype(&avahi_service_resolver_new) resolverNew = nullptr;
  decltype(&avahi_service_resolver_free) resolverFree = nullptr;
  decltype(&avahi_address_snprint) addressText = nullptr;
  decltype(&avahi_strerror) errorText = nullptr;
};

Api g_api;
std::string g_why;  // empty once loaded
std::once_flag g_once;

void LoadOnce() {
  // Never unloaded: a browse given up on may still be running on its thread.
  void* common = ::dlopen(kCommonLibrary, RTLD_NOW | RTLD_LOCAL);
  void* client = common ? ::dlopen(kClientLibrary, RTLD_NOW | RTLD_LOCAL) : nullptr;
  if (!client) {
    g_why = std::string(common ? kClientLibrary : kCommonLibrary) + " not found (Debian package libavahi-client3)";
    return;
  }
  Api api;
  std::string missing;
  BindRoutine(common, "avahi_simple_poll_new", &api.pollNew, &missing);
  BindRoutine(common, "avahi_simple_poll_get", &api.pollGet, &missing);
  BindRoutine(common, "avahi_simple_poll_iterate", &api.pollIterate, &missing);
  BindRoutine(common, "avahi_simple_poll_free", &api.pollFree, &missing);
  BindRoutine(common, "avahi_address_snprint", &api.addressText, &missing);
  BindRoutine(common, "avahi_strerror", &api.errorText, &missing);
  BindRoutine(client, "avahi_client_new", &api.clientNew, &missing);
  BindRoutine(client, "avahi_client_free", &api.clientFree, &missing);
  BindRoutine(client, "avahi_service_browser_new", &api.browserNew, &missing);
  BindRoutine(client, "avahi_service_browser_free", &api.browserFree, &missing);
  BindRoutine(client, "avahi_service_resolver_new", &api.resolverNew, &missing);
  BindRoutine(client, "avahi_service_resolver_free", &api.resolverFree, &missing);
  if (!missing.empty()) {
    g_why = std::string(kClientLibrary) + " lacks " + missing;
    return;
  }
  g_api = api;
}

bool Load(std::string* why) {
  std::call_once(g_once, LoadOnce);
  if (!g_why.empty() && why) *why = g_why;
  return g_why.empty();
}

std::string ClientError(int error) {
  if (error == AVAHI_ERR_NO_DAEMON || error == AVAHI_ERR_DISCONNECTED) return "avahi-daemon is not running";
  return std::string("avahi-daemon cannot be asked: ") + g_api.errorText(error);
}

// One browse: the poll loop, the client, a browser per type and the
// resolvers in flight, all used on the browsing thread only.
class Browse {
 public:
  ~Browse() {
    for (AvahiServiceResolver* r : resolvers_) g_api.resolverFree(r);
    for (AvahiServiceBrowser* b : browsers_) g_api.browserFree(b);
    if (client_) g_api.clientFree(client_);
    if (poll_) g_api.pollFree(poll_);
  }

  // False with *why when the daemon cannot be asked.
  bool Start(const std::vector<std::string>& types, std::string* why) {
    poll_ = g_api.pollNew();
    if (!poll_) {
      *why = "cannot make an event loop for avahi-daemon";
      return false;
    }
    int error = 0;
    client_ = g_api.clientNew(g_api.pollGet(poll_), AvahiClientFlags(0), &Browse::OnClient, this, &error);
    if (!client_) {
      *why = ClientError(error);
      return false;
    }
    for (const std::string& type : types) {
      AvahiServiceBrowser* b = g_api.browserNew(client_, AVAHI_IF_UNSPEC, AVAHI_PROTO_INET, type.c_str(), nullptr,
                                                AvahiLookupFlags(0), &Browse::OnBrowse, this);
      if (b) browsers_.push_back(b);
    }
    waiting_.insert(browsers_.begin(), browsers_.end());
    return true;
  }

  void Run(std::chrono::steady_clock::time_point end) {
    using Clock = std::chrono::steady_clock;
    while (!failed_ && (!waiting_.empty() || !resolvers_.empty())) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
      if (left <= 0 || g_api.pollIterate(poll_, static_cast<int>(left)) != 0) break;
    }
  }

  std::vector<DnsSdService> found;

 private:
  static void OnClient(AvahiClient*, AvahiClientState state, void* self) {
    if (state == AVAHI_CLIENT_FAILURE) static_cast<Browse*>(self)->failed_ = true;
  }

  static void OnBrowse(AvahiServiceBrowser* browser, AvahiIfIndex interface, AvahiProtocol protocol,
                       AvahiBrowserEvent event, const char* name, const char* type, const char* domain,
                       AvahiLookupResultFlags, void* self) {
    auto* b = static_cast<Browse*>(self);
    switch (event) {
      case AVAHI_BROWSER_NEW:
        if (AvahiServiceResolver* r = g_api.resolverNew(b->client_, interface, protocol, name, type, domain,
                                                        AVAHI_PROTO_INET, AvahiLookupFlags(0), &Browse::OnResolve, b))
          b->resolvers_.push_back(r);
        break;
      case AVAHI_BROWSER_ALL_FOR_NOW:
      case AVAHI_BROWSER_FAILURE:
        b->waiting_.erase(browser);
        break;
      default:
        break;
    }
  }

  static void OnResolve(AvahiServiceResolver* r, AvahiIfIndex, AvahiProtocol, AvahiResolverEvent event,
                        const char* name, const char* type, const char*, const char*, const AvahiAddress* a,
                        std::uint16_t port, AvahiStringList*, AvahiLookupResultFlags, void* self) {
    auto* b = static_cast<Browse*>(self);
    if (event == AVAHI_RESOLVER_FOUND && a && type) {
      char text[AVAHI_ADDRESS_STR_MAX] = {};
      g_api.addressText(text, sizeof text, a);
      b->found.push_back({type, name ? name : "", text, port});
    }
    std::erase(b->resolvers_, r);
    g_api.resolverFree(r);
  }

  AvahiSimplePoll* poll_ = nullptr;
  AvahiClient* client_ = nullptr;
  std::vector<AvahiServiceBrowser*> browsers_;
  std::vector<AvahiServiceResolver*> resolvers_;
  std::set<AvahiServiceBrowser*> waiting_;  // not yet done telling what the daemon knows
  bool failed_ = false;
};

}  // namespace

DnsSdBrowse BrowseDnsSd(const std::vector<std::string>& types, int windowMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(windowMs);
  DnsSdBrowse result;
  if (!Load(&result.skipped)) return result;
  Browse browse;
  if (!browse.Start(types, &result.skipped)) return result;
  browse.Run(end);
  result.services = std::move(browse.found);
  return result;
}

bool DnsSdUsable(std::string* why) {
  if (!Load(why)) return false;
  Browse probe;
  return probe.Start({}, why);
}

}  // namespace merilog
