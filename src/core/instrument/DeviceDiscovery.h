#pragma once
#include <QString>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/instrument/DeviceEntry.h"
#include "core/instrument/QueryDevice.h"

namespace merilog {

class ResourceManager;

// USB instruments of our vendor only; every GPIB instrument.
inline constexpr char kUsbSearchPattern[] = "USB[0-9]::0x3A7D::?*INSTR";
inline constexpr char kGpibSearchPattern[] = "GPIB[0-9]?*INSTR";
// Read time-out of every session discovery opens. A silent instrument holds
// discovery this long, once, while it is asked for its identification.
constexpr int kDiscoveryTimeoutMs = 20000;

// A supported meter names "6081" or "6082" in its identification, though not as
// its very first characters.
bool IsSupportedIdentification(std::string_view identification);

// LAN resources kept in the language file: section "Instruments", keys
// "Resource1", "Resource2", ... in number order (gaps allowed), empty values
// skipped. A missing file gives none.
std::vector<std::string> ReadConfiguredResources(const QString& iniPath);
// The LAN resources discovery searches: the configured ones, then those given on
// the command line.
std::vector<std::string> DiscoveryLanResources(const QString& iniPath, const std::vector<std::string>& commandLine);

// Finds the instruments, opens a session to each and keeps the supported meters.
// Owns every session it opens; entries and the query only borrow them.
class DeviceDiscovery {
 public:
  explicit DeviceDiscovery(ResourceManager& rm) : rm_(rm) {}
  ~DeviceDiscovery() { CloseDevices(); }
  DeviceDiscovery(const DeviceDiscovery&) = delete;
  DeviceDiscovery& operator=(const DeviceDiscovery&) = delete;

  // LAN resources searched after USB and GPIB, in this order.
  void SetLanResources(std::vector<std::string> resources) { lanResources_ = std::move(resources); }
  const std::vector<std::string>& LanResources() const { return lanResources_; }

  // USB, then GPIB, then the LAN resources: every instrument gets a raw session,
  // is asked "*IDN?\n", and the supported ones become device entries. Sessions
  // of an earlier discovery are closed first. Returns the device count.
  int DiscoverDevices();
  // Closes every session; the device table is empty afterwards.
  void CloseDevices();

  const DeviceTable& Devices() const { return devices_; }
  int DeviceCount() const { return static_cast<int>(devices_.size()); }
  // Every instrument of the last discovery, supported or not, by raw index.
  const std::vector<std::string>& RawResources() const { return rawResources_; }
  int RawCount() const { return static_cast<int>(rawResources_.size()); }
  // How many of the raw resources came from the USB and GPIB searches (the rest are LAN).
  int BusCount() const { return busCount_; }
  // The main window's query operation: slots go through each entry's raw index.
  DeviceQuery& Query() { return query_; }

 private:
  ResourceManager& rm_;
  std::vector<std::string> lanResources_;
  std::vector<std::unique_ptr<Session>> rawSessions_;  // null where opening failed
  std::vector<std::string> rawResources_;
  int busCount_ = 0;
  DeviceTable devices_;
  DeviceQuery query_{QueryForm::MainWindow};
};

}  // namespace merilog
