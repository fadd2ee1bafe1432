#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace merilog {

// One DNS-SD service instance, resolved to an IPv4 address and port.
struct DnsSdService {
  std::string type;  // "_hislip._tcp"
  std::string name;
  std::string address;
  std::uint16_t port = 0;
};

struct DnsSdBrowse {
  std::vector<DnsSdService> services;
  // Why DNS-SD could not be asked (no libavahi-client, no avahi-daemon); empty when it was.
  std::string skipped;
};

// Browses the service types on every interface through avahi-daemon, and
// resolves each instance, for at most windowMs: less once the daemon has
// told all it knows. libavahi-client is loaded at run time, so the programs
// run without it; without it or without a daemon nothing is asked.
DnsSdBrowse BrowseDnsSd(const std::vector<std::string>& types, int windowMs);

// Whether a browse would ask avahi-daemon; otherwise why not, in one line.
bool DnsSdUsable(std::string* why);

}  // namespace merilog
