#include "core/instrument/LanFinds.h"

#include <arpa/inet.h>

#include "core/instrument/LanResource.h"

namespace merilog {
namespace {

// The DNS-SD service types a search browses, in the order it asks, and the kind each stands for.
struct Service {
  std::string_view type;
  LanFinds::Kind kind;
};
constexpr Service kServices[] = {{"_lxi._tcp", LanFinds::Kind::Lxi},
                                 {"_vxi-11._tcp", LanFinds::Kind::Vxi11},
                                 {"_scpi-raw._tcp", LanFinds::Kind::Socket},
                                 {"_hislip._tcp", LanFinds::Kind::Hislip}};

}  // namespace

std::optional<LanFinds::Kind> LanFinds::KindOfService(std::string_view type) {
  for (const Service& s : kServices)
    if (s.type == type) return s.kind;
  return std::nullopt;
}

const std::vector<std::string>& LanFinds::ServiceTypes() {
  static const std::vector<std::string> kTypes = [] {
    std::vector<std::string> types;
    for (const Service& s : kServices) types.emplace_back(s.type);
    return types;
  }();
  return kTypes;
}

void LanFinds::Add(const std::string& address, Kind kind, std::uint16_t port) {
  in_addr a{};
  if (::inet_pton(AF_INET, address.c_str(), &a) != 1) return;
  // A socket needs its port; without one the announcement says nothing usable.
  if (kind == Kind::Socket && port == 0) return;
  const std::uint32_t key = ntohl(a.s_addr);
  const auto it = found_.find(key);
  if (it == found_.end() || it->second.kind < kind) found_[key] = {kind, port};
}

std::vector<std::string> LanFinds::Resources() const {
  std::vector<std::string> out;
  for (const auto& [key, best] : found_) {
    in_addr a{};
    a.s_addr = htonl(key);
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a, text, sizeof text);
    const std::string host = "TCPIP0::" + std::string(text) + "::";
    switch (best.kind) {
      case Kind::Hislip:
        out.push_back(host + "hislip0" +
                      (best.port && best.port != LanResource::kHislipPort ? "," + std::to_string(best.port) : "") +
                      "::INSTR");
        break;
      case Kind::Socket:
        out.push_back(host + std::to_string(best.port) + "::SOCKET");
        break;
      case Kind::Vxi11:
      case Kind::Lxi:
        out.push_back(host + "inst0::INSTR");
        break;
    }
  }
  return out;
}

}  // namespace merilog
