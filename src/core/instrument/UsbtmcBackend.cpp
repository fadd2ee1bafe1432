#include "core/instrument/UsbtmcBackend.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "core/instrument/UsbtmcSession.h"

namespace merilog {
namespace {

constexpr char kNodePrefix[] = "usbtmc";

std::string Trim(std::string s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t\r\n");
  return s.substr(first, last - first + 1);
}

std::optional<std::string> ReadSysfsFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) return std::nullopt;
  std::string line;
  std::getline(in, line);
  return Trim(line);
}

// The node number of "usbtmcN", or -1 for other names.
long NodeNumber(const char* name) {
  const std::size_t n = sizeof kNodePrefix - 1;
  if (std::strncmp(name, kNodePrefix, n) != 0 || name[n] == '\0') return -1;
  long value = 0;
  for (const char* p = name + n; *p; ++p) {
    if (!std::isdigit(static_cast<unsigned char>(*p)) || value > 100000) return -1;
    value = value * 10 + (*p - '0');
  }
  return value;
}

std::optional<std::uint16_t> ParseHex16(const std::string& s) {
  if (s.empty() || s.size() > 4) return std::nullopt;
  unsigned value = 0;
  for (unsigned char c : s) {
    if (!std::isxdigit(c)) return std::nullopt;
    value = value * 16 + (std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10);
  }
  return static_cast<std::uint16_t>(value);
}

// A code of a resource string: "0x3A7D" or decimal "14973".
std::optional<std::uint16_t> ParseCode(const std::string& s) {
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) return ParseHex16(s.substr(2));
  if (s.empty() || s.size() > 5) return std::nullopt;
  unsigned value = 0;
  for (unsigned char c : s) {
    if (!std::isdigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > 0xFFFF) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

bool UsableSerial(const std::string& s) {
  if (s.empty()) return false;
  return std::all_of(s.begin(), s.end(), [](unsigned char c) { return c > 0x20 && c < 0x7F && c != ':'; });
}

std::vector<std::string> SplitFields(const std::string& s) {
  std::vector<std::string> out;
  std::size_t pos = 0;
  for (;;) {
    const std::size_t sep = s.find("::", pos);
    out.push_back(s.substr(pos, sep == std::string::npos ? std::string::npos : sep - pos));
    if (sep == std::string::npos) return out;
    pos = sep + 2;
  }
}

struct UsbAddress {
  std::uint16_t vendor;
  std::uint16_t product;
  std::string serial;
};

// USB[board]::<vid>::<pid>::<serial>[::<interface>]::INSTR
std::optional<UsbAddress> ParseUsbResource(const std::string& resource) {
  const auto f = SplitFields(resource);
  if (f.size() != 5 && f.size() != 6) return std::nullopt;
  if (f[0].size() < 3 || ::strncasecmp(f[0].c_str(), "USB", 3) != 0) return std::nullopt;
  if (!std::all_of(f[0].begin() + 3, f[0].end(), [](unsigned char c) { return std::isdigit(c); })) return std::nullopt;
  if (::strcasecmp(f.back().c_str(), "INSTR") != 0) return std::nullopt;
  const auto vendor = ParseCode(f[1]);
  const auto product = ParseCode(f[2]);
  if (!vendor || !product || f[3].empty()) return std::nullopt;
  return UsbAddress{*vendor, *product, f[3]};
}

bool CanReadWrite(const std::string& path) {
  return ::access(path.c_str(), R_OK | W_OK) == 0;
}

}  // namespace

UsbtmcBackend::UsbtmcBackend(std::string sysfsRoot, std::string devRoot)
    : sysfsRoot_(std::move(sysfsRoot)), devRoot_(std::move(devRoot)) {}

std::vector<UsbtmcBackend::Node> UsbtmcBackend::Scan() const {
  std::vector<std::pair<long, Node>> found;
  DIR* dir = ::opendir(sysfsRoot_.c_str());
  if (!dir) return {};
  while (const dirent* e = ::readdir(dir)) {
    const long number = NodeNumber(e->d_name);
    if (number < 0) continue;
    Node node;
    node.name = e->d_name;
    node.devPath = devRoot_ + "/" + node.name;
    // "device" is the USB interface; its parent directory is the USB device with the descriptors.
    // The path is resolved by the kernel, so ".." follows the link to the real parent.
    const std::string usbDevice = sysfsRoot_ + "/" + node.name + "/device/../";
    const auto vendor = ReadSysfsFile(usbDevice + "idVendor");
    const auto product = ReadSysfsFile(usbDevice + "idProduct");
    const auto vendorCode = vendor ? ParseHex16(*vendor) : std::nullopt;
    const auto productCode = product ? ParseHex16(*product) : std::nullopt;
    if (!vendorCode || !productCode) continue;  // not a USB device we can name
    node.vendor = *vendorCode;
    node.product = *productCode;
    const std::string serial = ReadSysfsFile(usbDevice + "serial").value_or(std::string());
    node.serial = UsableSerial(serial) ? serial : node.name;
    char codes[32];
    std::snprintf(codes, sizeof codes, "USB0::0x%04X::0x%04X::", node.vendor, node.product);
    node.resource = codes + node.serial + "::INSTR";
    found.emplace_back(number, std::move(node));
  }
  ::closedir(dir);
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<Node> nodes;
  nodes.reserve(found.size());
  for (auto& f : found) nodes.push_back(std::move(f.second));
  return nodes;
}

bool UsbtmcBackend::IsActive(std::string* whyNot) const {
  const auto nodes = Scan();
  if (nodes.empty()) {
    if (whyNot) *whyNot = "no USBTMC devices (kernel driver usbtmc not loaded or nothing plugged in)";
    return false;
  }
  for (const auto& n : nodes)
    if (CanReadWrite(n.devPath)) return true;
  if (whyNot) {
    const Node& n = nodes.front();
    struct stat sb;
    if (::stat(n.devPath.c_str(), &sb) != 0)
      *whyNot = "USBTMC device node " + n.devPath + " is missing";
    else
      *whyNot = "no permission to read and write " + n.devPath +
                " (a udev rule giving your user access to usbtmc devices is needed)";
  }
  return false;
}

std::vector<std::string> UsbtmcBackend::List() {
  std::vector<std::string> out;
  for (const auto& n : Scan())
    if (CanReadWrite(n.devPath)) out.push_back(n.resource);
  return out;
}

bool UsbtmcBackend::Handles(const std::string& resource) const {
  return resource.size() > 8 && ::strncasecmp(resource.c_str(), "USB", 3) == 0 &&
         ::strcasecmp(resource.c_str() + resource.size() - 7, "::INSTR") == 0;
}

std::unique_ptr<Session> UsbtmcBackend::Open(const std::string& resource, Status* status) {
  Status st = status::kErrorResourceNotFound;
  std::unique_ptr<Session> session;
  const auto address = ParseUsbResource(resource);
  if (!address) {
    st = status::kErrorInvalidResourceName;
  } else {
    for (const auto& n : Scan()) {
      if (n.vendor != address->vendor || n.product != address->product ||
          ::strcasecmp(n.serial.c_str(), address->serial.c_str()) != 0)
        continue;
      const int fd = ::open(n.devPath.c_str(), O_RDWR | O_CLOEXEC);
      if (fd >= 0) {
        session = std::make_unique<UsbtmcSession>(fd, resource);
        st = status::kSuccess;
      } else {
        st = (errno == ENOENT || errno == ENODEV || errno == ENXIO) ? status::kErrorResourceNotFound
                                                                    : status::kErrorSystem;
      }
      break;
    }
  }
  if (status) *status = st;
  return session;
}

}  // namespace merilog
