#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/instrument/DeviceDiscovery.h"
#include "core/instrument/ReopenMeter.h"

namespace merilog {

// The current slot when no meter is selected. Negative so that it can never
// collide with a real slot, however many meters are found.
constexpr int kNoDeviceSlot = -1;

// The part of a device-list line that labels the meter on the front panel: the
// text from "6081" on when the line holds "MODEL 6081" after its first
// character (likewise "5963" for "QDM-5963"); any other line is kept whole. The
// names discovery makes start with the model field, so they are kept whole.
std::string ShortDeviceName(std::string_view line);

// The main window's device list and the discovery behind it: the lines, the
// selected meter (the current slot), the no-meter flag and the list's tool-tip.
class DeviceListModel {
 public:
  DeviceListModel(ResourceManager& rm, std::vector<std::string> lanResources);

  // Start-up and Refresh: closes the sessions of the last discovery, searches
  // again in the background and, when the search is complete, fills the lines
  // and runs `done`. With meters the first line is selected; without, the list
  // holds the single no-meter line, which is also the tool-tip. The list is
  // empty while the search runs.
  void Discover(std::function<void()> done = {});
  bool Discovering() const { return discovery_.Discovering(); }
  // Whether Discover also searches the LAN, and how (off: nullopt).
  void SetLanSearch(std::optional<LanSearchOptions> options) { discovery_.SetLanSearch(std::move(options)); }
  // Window closing: closes every session. Safe to call more than once.
  void Close();
  // Makes the meter on `line` the current one; false (nothing changes) for a
  // line without a meter.
  bool Select(int line);
  // The tool-tip shows the selected meter's identification.
  void ShowSelectedIdentification();

  // Before a command that opens a dialog or starts reading: true when it must be
  // refused with message 1031. With checkBuses the USB and GPIB buses are listed
  // again (no instrument is asked anything) and a meter plugged in or removed
  // since the last discovery refuses too.
  bool ConnectionGuardRefuses(bool checkBuses = false);

  const std::vector<std::string>& Lines() const { return lines_; }
  int SelectedLine() const { return selectedLine_; }
  // The selected meter's slot, or kNoDeviceSlot.
  int CurrentSlot() const { return HasMeters() ? selectedLine_ : kNoDeviceSlot; }
  bool HasMeters() const { return DeviceCount() > 0; }
  // 1 when the last discovery accepted nothing.
  int NoMeterFlag() const { return HasMeters() ? 0 : 1; }
  const std::string& ToolTip() const { return toolTip_; }

  const DeviceTable& Devices() const { return discovery_.Devices(); }
  int DeviceCount() const { return discovery_.DeviceCount(); }
  // The meter in a slot, or null.
  const DeviceEntry* Entry(int slot) const;
  // A meter's identification; empty for a slot without a meter.
  const std::string& Identification(int slot) const;
  // The session thread of the meter in a slot, null without one.
  SessionWorker* Worker(int slot) const;
  const DeviceDiscovery& Discovery() const { return discovery_; }

  // A meter of the list that dropped off, looked for again on its own session
  // thread (ReopenMeter): where it was, then (USB) wherever the bus lists it
  // now, never where another instrument of the list is. `done` gets what was
  // found; the meter's worker keeps the new session. Nothing happens for a slot
  // without a meter.
  void Reconnect(int slot, std::function<void(Reopened)> done, std::weak_ptr<int> alive);

 private:
  ResourceManager& rm_;
  DeviceDiscovery discovery_;
  std::vector<std::string> lines_;
  int selectedLine_ = -1;
  std::string toolTip_;
};

}  // namespace merilog
