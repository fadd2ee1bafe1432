#include "core/instrument/DeviceEntry.h"

#include <algorithm>

#include "core/base/Text.h"

namespace merilog {
namespace {

// The port raw-SCPI instruments listen on; the name shows any other.
constexpr char kUsualScpiPort[] = "5025";

// Substring [from, to) clamped to the string, so odd resources never read out of range.
std::string Slice(const std::string& s, std::size_t from, std::size_t to) {
  if (from >= s.size() || to <= from) return {};
  return s.substr(from, std::min(to, s.size()) - from);
}

std::string UsbSerial(const std::string& resource) {
  // Resource form USB<b>::0xVVVV::0xPPPP::<serial>::INSTR; the serial field lies
  // between the "::" after the vendor code and the next one.
  const std::size_t first = resource.find("::", 14);
  if (first == std::string::npos) return {};
  const std::size_t start = first + 2;
  const std::size_t next = resource.find("::", std::max<std::size_t>(22, start));
  return Slice(resource, start, next == std::string::npos ? resource.size() : next);
}

// "host" of TCPIP0::host::5025::SOCKET, "host-5026" of TCPIP0::host::5026::SOCKET,
// so meters sharing a host are told apart by their ports.
std::string LanAddress(const std::string& resource) {
  const std::size_t first = resource.find("::");
  if (first == std::string::npos) return {};
  const std::size_t next = resource.find("::", first + 2);
  const std::string host = Slice(resource, first + 2, next == std::string::npos ? resource.size() : next);
  if (next == std::string::npos) return host;
  const std::size_t after = resource.find("::", next + 2);
  const std::string port = Slice(resource, next + 2, after == std::string::npos ? resource.size() : after);
  return port.empty() || port == kUsualScpiPort || Upper(port) == "INST0" ? host : host + "-" + port;
}

}  // namespace

std::string MakeDeviceDisplayName(const std::string& identification, const std::string& resource) {
  std::string name;
  if (identification.empty()) {
    name = "Unknow Manufacture";
  } else {
    const std::size_t comma = identification.find(',');
    if (comma == std::string::npos) {
      name = Upper(identification);  // no model field to pick: show what the instrument said
    } else {
      const std::size_t next = identification.find(',', comma + 1);
      name = Upper(Slice(identification, comma + 1, next == std::string::npos ? identification.size() : next));
    }
  }
  if (resource.find("USB") != std::string::npos) {
    name += "-USBTMC-" + UsbSerial(Upper(resource));
  } else if (resource.find("GPIB") != std::string::npos) {
    const std::size_t colons = resource.find("::");
    name += "-GPIB-" + (colons == std::string::npos ? std::string() : Slice(resource, colons + 2, colons + 4));
  } else if (resource.find("TCPIP") != std::string::npos) {
    name += "-LAN-" + LanAddress(resource);
  }
  name.erase(std::remove(name.begin(), name.end(), ':'), name.end());
  return name;
}

}  // namespace merilog
