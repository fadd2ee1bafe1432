#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace merilog {

// An IPv4 address of one network interface.
struct Ipv4Interface {
  std::string name;
  std::string address;
  std::string broadcast;  // empty when the interface cannot broadcast
  bool up = false;
  bool loopback = false;
};
std::vector<Ipv4Interface> Ipv4Interfaces();
// Where a LAN search broadcasts: the interfaces that are up, can broadcast and
// are not the loopback, one entry per broadcast address.
std::vector<Ipv4Interface> BroadcastInterfaces();

// Asks the portmapper at each target (UDP, GETPORT for VXI-11's core channel
// over TCP) and gathers, for windowMs, the addresses of the hosts that know
// one: VXI-11 instruments answer a broadcast from their own address. The
// question goes out twice, so one lost datagram loses no meter.
std::vector<std::string> FindVxi11Hosts(const std::vector<std::string>& targets, std::uint16_t port, int windowMs);

}  // namespace merilog
