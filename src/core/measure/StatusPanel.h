#pragma once
#include <functional>
#include <string>
#include <vector>

namespace merilog {

class DeviceListModel;
class SlotFunctionState;
struct MainWindowState;

// The status box "MAIN" and the value-display layout of the main window: the
// function and range lines of the current meter, the 2ND-function selector,
// and which 2ND displays are shown for the meters being read.
class StatusPanel {
 public:
  StatusPanel(MainWindowState& state, DeviceListModel& devices, const SlotFunctionState& functions);

  // The meters being read: the current meter in single-device mode (empty
  // list), else the readingSet of positions 0, 1, ... in multi-device mode.
  void SetReadingSet(bool multiDeviceMode, std::vector<int> readingSet);

  void RefreshStatus(int slot);
  void RebuildSecondSelector();
  // The user picked entry `index` of the selector.
  void SecondFunctionChosen(int index);
  void LayoutDisplays();

  // Start-up and refresh: the 2ND selector holds the whole vocabulary.
  void FillInitialSecondSelector();

  // Called to put the trace selection back on "1" (chart and radio buttons).
  std::function<void()> resetTraceSelection;

 private:
  int CurrentSlot() const;
  const std::string& Identification(int slot) const;
  std::string Ask(int slot, const std::string& command);
  std::string RangeLine(int row, const std::string& name, int slot, const std::string& identification);

  MainWindowState& state_;
  DeviceListModel& devices_;
  const SlotFunctionState& functions_;
  bool multiDeviceMode_ = false;
  std::vector<int> readingSlots_;
};

}  // namespace merilog
