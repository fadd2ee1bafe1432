#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace merilog {

// A LAN instrument's VISA resource string, in the three forms meters show:
//   TCPIP[board]::host::port::SOCKET              raw SCPI over TCP
//   TCPIP[board]::host[::LAN device name]::INSTR  VXI-11 ("inst0" when left out)
//   TCPIP[board]::host::hislipN[,port]::INSTR     HiSLIP (port 4880 when left out)
// Keywords are case-insensitive; an IPv6 host comes in brackets ("[::1]").
struct LanResource {
  enum class Protocol { Socket, Vxi11, Hislip };

  Protocol protocol = Protocol::Socket;
  int board = 0;
  std::string host;        // without the brackets of an IPv6 literal
  std::uint16_t port = 0;  // socket and HiSLIP; 0 for VXI-11 (the portmapper tells)
  std::string deviceName;  // VXI-11 "inst0", "gpib0,5"; HiSLIP "hislip0"; empty for a socket

  static constexpr std::uint16_t kHislipPort = 4880;
  static constexpr std::size_t kMaxLength = 1024;

  // Empty when the string is none of the forms; why then says what is wrong.
  static std::optional<LanResource> Parse(const std::string& resource, std::string* why = nullptr);
  // Parse, of the one protocol a backend speaks.
  static std::optional<LanResource> ParseAs(const std::string& resource, Protocol protocol, std::string* why = nullptr);
  // True for every string that starts with TCPIP and ends in ::INSTR or ::SOCKET,
  // malformed or not: the LAN backends claim those so they get a precise status.
  static bool LooksLike(const std::string& resource, Protocol protocol);

  // Host and what tells two instruments of one host apart, for display names:
  // "host" for the usual port 5025 and inst0; else "host-5026", "host-gpib0,5";
  // "host-hislip0" (always named: a meter may be listed by both protocols).
  std::string DisplayAddress() const;
};

}  // namespace merilog
