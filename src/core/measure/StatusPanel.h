#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/measure/FrontPanelState.h"

namespace merilog {

class DeviceListModel;
class ExchangeSequence;
class SlotFunctionState;

// The meters the front panel lays out: in single-device mode the current meter
// (position 0), in multi-device mode the chosen meters' slots by position.
struct ReadingSet {
  bool multiDeviceMode = false;
  std::vector<int> positionSlots;
};

// The status box "MAIN", the model-dependent controls and the meter rows of
// the main window: the function and range lines of the current meter, the
// 2ND-function selector, which displays show for the meters being read and
// what they show. The only owner of these; others change them through the
// operations below.
//
// The operations that ask meters (RefreshStatus, RebuildSecondSelector,
// SecondFunctionChosen, LayoutDisplays) take their place in the exchange
// sequence and finish when their answers have come; the others act at once.
class StatusPanel {
 public:
  // readingSet is asked whenever the displays are laid out.
  StatusPanel(DeviceListModel& devices, const SlotFunctionState& functions, ExchangeSequence& sequence,
              std::function<ReadingSet()> readingSet);

  const StatusPanelState& State() const { return state_; }

  void RefreshStatus(int slot);
  void RebuildSecondSelector();
  // The user picked entry `index` of the selector; `noneChosen` runs first when
  // it was "NONE" (the trace selection goes back to the first trace).
  void SecondFunctionChosen(int index, std::function<void()> noneChosen);
  void LayoutDisplays();
  // The selected meter's short name decides the model-dependent controls.
  void AdaptToMeter(std::string_view shortName, bool singleDeviceMode);

  // Discovery found no meter: the first row, the label and the markers hidden,
  // the chooser shown. After a Refresh (not at start-up) the status lines are
  // emptied too, and the first trace button stays.
  void ShowNoMeter(bool afterRefresh);
  // Discovery found meters: the first row's lamp, value display and tag shown
  // (and its name label after a Refresh, when the other rows are hidden).
  void ShowFirstMeter(bool afterRefresh);
  // Refresh: every 2ND group hidden and every value display back to "0".
  void ResetDisplays();
  // Reading Settings applied: rows 2 to 4 hidden, then shown for the chosen meters.
  void HideRowsAfterFirst();
  void ShowRow(int position, std::string name);
  // The first row's name (single-device mode: the selected meter's short name).
  void SetFirstRowName(std::string name);
  // A function button sent its command: the first value display shows "0".
  void ResetFirstValue();
  // A tick's texts for a position's main and 2ND value displays.
  void ShowReading(int position, std::string mainText, std::string secondText);

 private:
  const std::string& Identification(int slot) const;
  // Asks a meter in the sequence; `apply` gets the answer (empty when it failed).
  void Ask(int slot, std::string command, std::function<void(std::string)> apply);
  void ShowStatus(int row, const std::string& name, int current, bool autoOn);
  void Rebuild();
  void Layout();
  void HideSecondGroup(MeterRowState& row);

  DeviceListModel& devices_;
  const SlotFunctionState& functions_;
  ExchangeSequence& sequence_;
  std::function<ReadingSet()> readingSet_;
  StatusPanelState state_;
};

}  // namespace merilog
