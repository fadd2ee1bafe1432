#include "core/instrument/DeviceEntry.h"

#include <algorithm>

#include "core/base/Text.h"
#include "core/instrument/LanResource.h"

namespace merilog {
namespace {

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

// The host and whatever tells two instruments of one host apart.
std::string LanAddress(const std::string& resource) {
  if (const auto lan = LanResource::Parse(resource)) return lan->DisplayAddress();
  const std::size_t first = resource.find("::");
  if (first == std::string::npos) return {};
  const std::size_t next = resource.find("::", first + 2);
  return Slice(resource, first + 2, next == std::string::npos ? resource.size() : next);
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
