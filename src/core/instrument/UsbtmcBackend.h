#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/instrument/Backend.h"

namespace merilog {

// USB instruments through the Linux usbtmc kernel driver: one /dev/usbtmcN per
// instrument, vendor, product and serial number read from sysfs.
//
// Resource: USB0::0x<VID>::0x<PID>::<serial>::INSTR, the codes in upper-case hex.
// An instrument without a usable serial number (none, or one holding blanks,
// colons or control characters) is named by its device node instead
// ("USB0::0x3A7D::0x6081::usbtmc0::INSTR"); that name holds while it stays plugged in.
class UsbtmcBackend final : public Backend {
 public:
  struct Node {
    std::string name;     // "usbtmc0"
    std::string devPath;  // "/dev/usbtmc0"
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    std::string serial;  // as used in the resource: the serial number or the node name
    std::string resource;
  };

  // The roots are parameters so that tests can lay out a fake tree.
  explicit UsbtmcBackend(std::string sysfsRoot = "/sys/class/usbmisc", std::string devRoot = "/dev");

  std::string Name() const override { return "USBTMC"; }
  // Inactive when no usbtmc node exists, or none of them can be opened for reading and writing.
  bool IsActive(std::string* whyNot) const override;
  // The instruments whose device node this user may open, by node number.
  std::vector<std::string> List() override;
  bool Handles(const std::string& resource) const override;
  std::unique_ptr<Session> Open(const std::string& resource, Status* status) override;

  // Every usbtmc node under the sysfs root, by node number, accessible or not.
  std::vector<Node> Scan() const;

 private:
  std::string sysfsRoot_;
  std::string devRoot_;
};

}  // namespace merilog
