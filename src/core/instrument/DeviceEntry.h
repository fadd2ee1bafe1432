#pragma once
#include <string>
#include <vector>

namespace merilog {

class SessionWorker;

// One supported meter accepted by discovery.
struct DeviceEntry {
  // The thread every exchange with the meter runs on (its session lives there);
  // owned by discovery, borrowed here.
  SessionWorker* worker = nullptr;
  int rawIndex = 0;            // position among all instruments found, supported or not
  std::string identification;  // the *IDN? answer as QueryDevice returned it
  std::string displayName;     // MakeDeviceDisplayName(identification, resource)
  std::string resource;        // resource string under which it was found
};

using DeviceTable = std::vector<DeviceEntry>;

// The model field of an identification, upper-cased, with the interface suffix:
// "MODEL 6081-USBTMC-SN01", "MODEL 6081-GPIB-16", "MODEL 6081-LAN-10.0.0.5" (port
// 5025), "MODEL 6081-LAN-10.0.0.5-5026" (any other port). Never a colon.
std::string MakeDeviceDisplayName(const std::string& identification, const std::string& resource);

}  // namespace merilog
