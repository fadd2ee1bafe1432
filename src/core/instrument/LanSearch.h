#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace merilog {

struct LanSearchOptions {
  int boundMs = 1500;            // the whole search, DNS-SD included
  int broadcastWindowMs = 1000;  // how long portmapper answers are gathered
  std::uint16_t portmapperPort = 111;
  // Where the portmapper question goes; empty: each interface's broadcast
  // address (tests name loopback addresses instead).
  std::vector<std::string> broadcastTo;
  bool dnsSd = true;
};

struct LanSearchResult {
  // One resource per instrument, in address order (see LanFinds).
  std::vector<std::string> resources;
  // Why the DNS-SD half was skipped; empty when it was asked.
  std::string dnsSdSkipped;
};

// Finds LAN instruments: a VXI-11 portmapper GETPORT broadcast on each
// interface and a DNS-SD browse for _lxi._tcp, _vxi-11._tcp, _scpi-raw._tcp
// and _hislip._tcp through avahi-daemon, at the same time, merged by address.
// Returns within about options.boundMs whatever the network does. Blocks:
// run it off the window's thread.
LanSearchResult SearchLan(const LanSearchOptions& options = {});

// What each half of the search would do here, one line each, for
// `merilog-cli io`: the interfaces it broadcasts on, and whether DNS-SD is
// asked or skipped and why.
std::vector<std::string> DescribeLanSearch();

}  // namespace merilog
