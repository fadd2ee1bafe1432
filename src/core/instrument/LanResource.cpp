#include "core/instrument/LanResource.h"

#include <strings.h>

#include <cctype>
#include <cstring>

namespace merilog {
namespace {

bool StartsWithNoCase(const std::string& s, std::size_t at, const char* prefix) {
  const std::size_t n = std::strlen(prefix);
  return s.size() >= at + n && ::strncasecmp(s.c_str() + at, prefix, n) == 0;
}

bool EndsWithNoCase(const std::string& s, const char* suffix) {
  const std::size_t n = std::strlen(suffix);
  return s.size() >= n && ::strncasecmp(s.c_str() + s.size() - n, suffix, n) == 0;
}

bool AllDigits(const std::string& s) {
  for (unsigned char c : s)
    if (!std::isdigit(c)) return false;
  return true;
}

// A port of 1 to 65535 in at most five digits, read without overflow.
bool ParsePort(const std::string& text, std::uint16_t* port) {
  if (text.empty() || text.size() > 5 || !AllDigits(text)) return false;
  const long v = std::stol(text);
  if (v < 1 || v > 65535) return false;
  *port = static_cast<std::uint16_t>(v);
  return true;
}

constexpr char kForms[] =
    "it is not of the form TCPIP0::host::port::SOCKET, TCPIP0::host[::inst0]::INSTR or "
    "TCPIP0::host::hislip0[,port]::INSTR";

}  // namespace

bool LanResource::LooksLike(const std::string& resource, Protocol protocol) {
  if (!StartsWithNoCase(resource, 0, "TCPIP")) return false;
  if (protocol == Protocol::Socket) return EndsWithNoCase(resource, "::SOCKET");
  if (!EndsWithNoCase(resource, "::INSTR")) return false;
  // A HiSLIP resource names its sub-address between the host and ::INSTR.
  const std::size_t last = resource.size() - 7;
  const std::size_t sep = resource.rfind("::", last > 0 ? last - 1 : 0);
  const bool hislip = sep != std::string::npos && sep > 5 && StartsWithNoCase(resource, sep + 2, "HISLIP");
  return hislip == (protocol == Protocol::Hislip);
}

std::optional<LanResource> LanResource::Parse(const std::string& resource, std::string* why) {
  const auto fail = [why](std::string reason) -> std::optional<LanResource> {
    if (why) *why = std::move(reason);
    return std::nullopt;
  };
  if (resource.size() > kMaxLength) return fail("it is longer than " + std::to_string(kMaxLength) + " characters");
  if (!StartsWithNoCase(resource, 0, "TCPIP")) return fail("it does not start with TCPIP");
  LanResource r;
  std::size_t pos = 5;
  const std::size_t sep = resource.find("::", pos);
  if (sep == std::string::npos) return fail(kForms);
  const std::string board = resource.substr(pos, sep - pos);
  if (!AllDigits(board) || board.size() > 3) return fail("the board number \"" + board + "\" is not a number");
  r.board = board.empty() ? 0 : std::stoi(board);
  pos = sep + 2;

  std::size_t hostEnd;
  if (pos < resource.size() && resource[pos] == '[') {
    // An IPv6 literal holds "::" itself, so it comes in brackets.
    const std::size_t close = resource.find(']', pos);
    if (close == std::string::npos || resource.compare(close + 1, 2, "::") != 0)
      return fail("the IPv6 address in [ ] is not closed by \"]::\"");
    r.host = resource.substr(pos + 1, close - pos - 1);
    hostEnd = close + 1;
  } else {
    hostEnd = resource.find("::", pos);
    if (hostEnd == std::string::npos) return fail(kForms);
    r.host = resource.substr(pos, hostEnd - pos);
  }
  if (r.host.empty()) return fail("the host is missing");
  for (unsigned char c : r.host)
    if (std::isspace(c) || !std::isprint(c)) return fail("the host holds a blank or a control character");
  pos = hostEnd + 2;

  // What is left: "INSTR", "<name>::INSTR" or "<port>::SOCKET".
  const std::string rest = resource.substr(pos);
  if (::strcasecmp(rest.c_str(), "INSTR") == 0) {
    r.protocol = Protocol::Vxi11;
    r.deviceName = "inst0";
    return r;
  }
  const std::size_t fieldEnd = rest.find("::");
  if (fieldEnd == std::string::npos) return fail(kForms);
  const std::string field = rest.substr(0, fieldEnd);
  const std::string kind = rest.substr(fieldEnd + 2);
  if (::strcasecmp(kind.c_str(), "SOCKET") == 0) {
    if (!ParsePort(field, &r.port)) return fail("the port \"" + field + "\" is not a number from 1 to 65535");
    return r;
  }
  if (::strcasecmp(kind.c_str(), "INSTR") != 0) return fail(kForms);
  if (field.empty()) return fail("the LAN device name between the host and ::INSTR is empty");
  for (unsigned char c : field)
    if (std::isspace(c) || !std::isprint(c) || c == ':')
      return fail("the LAN device name \"" + field + "\" holds a blank, a colon or a control character");
  if (StartsWithNoCase(field, 0, "HISLIP")) {
    r.protocol = Protocol::Hislip;
    const std::size_t comma = field.find(',');
    r.deviceName = field.substr(0, comma);
    if (r.deviceName.size() == 6 || !AllDigits(r.deviceName.substr(6)))
      return fail("the HiSLIP name \"" + r.deviceName + "\" is not hislip followed by a number");
    r.port = kHislipPort;
    if (comma != std::string::npos && !ParsePort(field.substr(comma + 1), &r.port))
      return fail("the HiSLIP port \"" + field.substr(comma + 1) + "\" is not a number from 1 to 65535");
    return r;
  }
  r.protocol = Protocol::Vxi11;
  r.deviceName = field;  // inst0, gpib0,5, ... passed through to the instrument
  return r;
}

std::optional<LanResource> LanResource::ParseAs(const std::string& resource, Protocol protocol, std::string* why) {
  static constexpr const char* kExpected[] = {"it does not end in ::SOCKET",
                                              "it is not a VXI-11 resource (TCPIP0::host[::inst0]::INSTR)",
                                              "it is not a HiSLIP resource (TCPIP0::host::hislip0[,port]::INSTR)"};
  auto r = Parse(resource, why);
  if (r && r->protocol != protocol) {
    if (why) *why = kExpected[static_cast<int>(protocol)];
    return std::nullopt;
  }
  return r;
}

std::string LanResource::DisplayAddress() const {
  switch (protocol) {
    case Protocol::Socket:
      return port == 5025 ? host : host + "-" + std::to_string(port);
    case Protocol::Vxi11:
      return ::strcasecmp(deviceName.c_str(), "inst0") == 0 ? host : host + "-" + deviceName;
    case Protocol::Hislip:
      // Always named, so a meter listed by both of its LAN protocols shows two names.
      return host + "-" + deviceName + (port == kHislipPort ? "" : "-" + std::to_string(port));
  }
  return host;
}

}  // namespace merilog
