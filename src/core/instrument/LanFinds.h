#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace merilog {

// What a LAN search heard, merged by address: one resource per instrument
// however many ways it answered (a portmapper reply and several DNS-SD
// services of one meter). Where a meter offers several protocols the one
// listed is HiSLIP, then VXI-11, then the raw socket; an LXI announcement
// alone stands for VXI-11, which every LXI instrument speaks.
class LanFinds {
 public:
  enum class Kind { Lxi, Socket, Vxi11, Hislip };  // in rising preference

  // The kind a DNS-SD service type stands for: _lxi._tcp, _vxi-11._tcp,
  // _scpi-raw._tcp, _hislip._tcp; empty for any other type.
  static std::optional<Kind> KindOfService(std::string_view type);
  // The service types a search browses.
  static const std::vector<std::string>& ServiceTypes();

  // An IPv4 address in dotted form; anything else is ignored. The port counts
  // for a socket and for HiSLIP (0: HiSLIP's own 4880).
  void Add(const std::string& address, Kind kind, std::uint16_t port = 0);

  // One resource per address, in address order:
  // TCPIP0::a.b.c.d::hislip0[,port]::INSTR, ::inst0::INSTR or ::port::SOCKET.
  std::vector<std::string> Resources() const;

 private:
  struct Best {
    Kind kind;
    std::uint16_t port;
  };
  std::map<std::uint32_t, Best> found_;  // by the address as a number, so 10.0.0.9 sorts before 10.0.0.10
};

}  // namespace merilog
