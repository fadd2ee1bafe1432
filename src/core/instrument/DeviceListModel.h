#pragma once
#include <array>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/instrument/DeviceDiscovery.h"
#include "core/instrument/DeviceHandOver.h"

namespace merilog {

// The current slot when no meter is selected. Negative so that it can never
// collide with a real slot, however many meters are found.
constexpr int kNoDeviceSlot = -1;
constexpr int kMeterPositions = 4;

// What a view does with one control.
struct ControlState {
  bool shown = true;
  bool enabled = true;
};

// One meter row of the front panel (positions 1 to 4).
struct MeterRowState {
  std::string nameText;  // the meter's (short) name, or the "Multimeter Device -- n" template
  std::string valueText = "0";
  ControlState nameLabel, indicator, valueDisplay, mainMarker, selectionButton;
  bool hasSecond = false;  // this position's 2ND reading is shown and drawn
  ControlState secondValueDisplay, secondIndicator, secondSelectionButton, secondMarkers;
};

// How a selected meter changes a control: only the named aspect changes.
enum class ControlChange { Keep, Show, Hide, Enable, Disable };
void ApplyControlChange(ControlChange change, ControlState& control);

// One row of the table that adapts the front panel to the selected meter.
struct FunctionControlAdaptation {
  std::string tag;  // searched for in the short name; empty: a meter with neither model number
  enum class Mode { Either, Single, Multi } mode;
  ControlChange capButton, tcouplButton, measurementFunctionLabel, secondMarkers, secondChooser;
};

// Rows in the order they are tried: "6082" before "6081", then the fall-backs by mode.
std::span<const FunctionControlAdaptation> FunctionControlAdaptations();
const FunctionControlAdaptation& FindFunctionControlAdaptation(std::string_view shortName, bool singleDeviceMode);

// The part of a device-list line that labels the meter ("6081-USBTMC-SN01" for
// "MODEL 6081-USBTMC-SN01"); other names are kept whole.
std::string ShortDeviceName(std::string_view line);

// Everything of the main window that discovery and the device list decide.
struct DeviceListState {
  std::vector<std::string> lines;  // one per meter, or the single no-meter line
  int selectedLine = -1;
  bool listEnabled = true;
  std::string toolTip;  // identification of the selected meter, or the no-meter text
  int currentSlot = kNoDeviceSlot;
  int noMeterFlag = 0;  // 1 when the last discovery accepted nothing
  bool singleDeviceMode = true;

  // Status box "MAIN" and the function buttons that depend on the model.
  ControlState capButton, tcouplButton, measurementFunctionLabel, secondMarkers, secondChooser;
  std::array<MeterRowState, kMeterPositions> meters;

  DeviceListState();
};

// Work that belongs to other parts of the main window; any of these may be left empty.
struct DeviceListHooks {
  // Text of a message key; unset: LookupMessage in the current language.
  std::function<std::string(const std::string& key, const std::string& englishDefault)> lookupMessage;
  std::function<void(int slot)> refreshStatus;  // function and range lines, displays, 2ND selector
  std::function<void()> clearStatusTexts;       // empty function and range lines
  // Refresh found two or more meters: selection buttons back to the first meter,
  // its Y-scale and data offset reloaded, single-device mode.
  std::function<void()> resetToFirstMeter;
  std::function<void()> resetTraceSelection;  // back to the first trace
  std::function<void(bool busy)> setWaitCursor;
  // Each discovery replaces the dialogs' copies of the device entries (HandOverTo).
  std::function<void(const DeviceTable& devices)> devicesHandedOver;
};

// The main window's device list and the discovery behind it.
class DeviceListModel {
 public:
  DeviceListModel(ResourceManager& rm, std::vector<std::string> lanResources, DeviceListHooks hooks = {});

  // Main-window start-up: discovery, then the first meter selected or the no-meter state.
  void InitialiseDevices();
  // Settings > Refresh: closes every session and searches again.
  void RefreshDevices();
  // Window closing: closes every session. Safe to call more than once.
  void CloseDevices();
  // The device list's selection changed to this line (or stays, without an argument).
  void OnDeviceSelected(int line);
  void OnDeviceSelected();

  // Before a command that opens a dialog or starts reading: true when it must be
  // refused with ConnectionChangedText(). With checkBuses the USB and GPIB buses
  // are listed again (no instrument is asked anything) and a meter plugged in or
  // removed since the last discovery refuses too.
  bool ConnectionGuardRefuses(bool checkBuses = false);

  std::string NoDeviceText() const;
  std::string ConnectionChangedText() const;

  void SetSingleDeviceMode(bool single) { state_.singleDeviceMode = single; }
  const DeviceListState& State() const { return state_; }
  // The main window's status panel and acquisition cycle write the meter rows'
  // value texts and 2ND shown flags here, so the view has one source for them.
  DeviceListState& MutableState() { return state_; }
  DeviceDiscovery& Discovery() { return discovery_; }
  const DeviceTable& Devices() const { return discovery_.Devices(); }
  int DeviceCount() const { return discovery_.DeviceCount(); }
  DeviceQuery& Query() { return discovery_.Query(); }

 private:
  std::string Message(const std::string& key, const std::string& englishDefault) const;
  void ShowNoMeterLine();
  void FillLines();
  void HideMeterRowsAfterFirst();
  void HideSecondGroups();

  ResourceManager& rm_;
  DeviceDiscovery discovery_;
  DeviceListHooks hooks_;
  DeviceListState state_;
};

}  // namespace merilog
