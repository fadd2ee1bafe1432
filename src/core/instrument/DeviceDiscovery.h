#pragma once
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/WorkerThread.h"
#include "core/instrument/DeviceEntry.h"
#include "core/instrument/LanSearch.h"
#include "core/instrument/QueryDevice.h"
#include "core/instrument/SessionWorker.h"

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

// Finds the instruments, opens a session to each on a thread of its own and
// keeps the supported meters. The window never waits for it: the buses are
// listed on a thread, every instrument is asked for its identification at once
// on its session's thread, and the result comes back when the last has
// answered or failed, so a search takes about as long as the slowest meter.
// Owns every session worker it makes; entries only borrow them.
class DeviceDiscovery {
 public:
  explicit DeviceDiscovery(ResourceManager& rm);
  ~DeviceDiscovery();
  DeviceDiscovery(const DeviceDiscovery&) = delete;
  DeviceDiscovery& operator=(const DeviceDiscovery&) = delete;

  // LAN resources searched after USB and GPIB, in this order.
  void SetLanResources(std::vector<std::string> resources) { lanResources_ = std::move(resources); }
  const std::vector<std::string>& LanResources() const { return lanResources_; }
  // With options, each search also looks for meters on the LAN (broadcast and
  // DNS-SD) while the buses are listed; what it finds comes after the LAN
  // resources. Off (nullopt) by default: a broadcast leaves the machine.
  void SetLanSearch(std::optional<LanSearchOptions> options) { lanSearch_ = std::move(options); }

  // USB, then GPIB, then the LAN resources, then the meters the LAN search
  // found: every instrument gets a raw session,
  // is asked "*IDN?\n", and the supported ones become device entries, in that
  // order whatever order the answers come in. The sessions of an earlier search
  // are closed first. `done` runs on this thread when the search is complete; a
  // search started meanwhile replaces this one (its `done` never runs).
  void DiscoverDevices(std::function<void()> done);
  bool Discovering() const { return discovering_; }
  // Closes every session (without waiting for a silent meter); the device
  // table is empty afterwards.
  void CloseDevices();

  const DeviceTable& Devices() const { return devices_; }
  int DeviceCount() const { return static_cast<int>(devices_.size()); }
  // Every instrument of the last search, supported or not, by raw index.
  const std::vector<std::string>& RawResources() const { return rawResources_; }
  int RawCount() const { return static_cast<int>(rawResources_.size()); }
  // How many of the raw resources came from the USB and GPIB searches (the rest are LAN).
  int BusCount() const { return busCount_; }
  // No session thread has work or a result on its way.
  bool Quiet() const;
  // The session thread of an instrument by raw index, null outside the table.
  SessionWorker* RawWorker(int rawIndex) const;

 private:
  struct Listed {
    std::vector<std::string> bus;  // USB, then GPIB
    std::vector<std::string> lan;  // found by the LAN search
  };
  void Found(Listed listed);
  void Identified(int rawIndex, std::string identification);

  ResourceManager& rm_;
  std::vector<std::string> lanResources_;
  std::optional<LanSearchOptions> lanSearch_;
  std::unique_ptr<WorkerThread> lister_;
  std::vector<std::unique_ptr<SessionWorker>> workers_;  // by raw index
  std::vector<std::string> rawResources_;
  std::vector<std::string> identifications_;
  int answered_ = 0;
  int busCount_ = 0;
  DeviceTable devices_;
  bool discovering_ = false;
  std::function<void()> done_;
  std::unique_ptr<CallbackGuard> search_;  // results of a replaced search change nothing
};

}  // namespace merilog
