#pragma once
#include <string>
#include <vector>

#include "core/measure/FunctionButton.h"

namespace merilog {

// What the function buttons did to each device slot. Slots never configured read
// as flag 0 and an empty command; the table grows with the device table.
class SlotFunctionState {
 public:
  // 1 when a function button put the device's range in AUTO, else 0.
  int AutoRangeFlag(int slot) const;
  void SetAutoRangeFlag(int slot, int flag);
  // The last command a function button sent to the device, line feed included.
  const std::string& LastConfigureCommand(int slot) const;
  void SetLastConfigureCommand(int slot, std::string command);

 private:
  void Grow(int slot);
  std::vector<int> autoRangeFlag_;
  std::vector<std::string> lastConfigureCommand_;
};

struct ConfigureFunctionResult {
  bool sent = false;  // the command is to be sent to the current device
  // Single-device mode without a selected device: the caller shows this message
  // (warning icon, empty caption) and nothing was sent.
  std::string messageKey;
  std::string messageDefault;
  std::string command;  // the command with its line feed
  // When sent: the device later status queries address; the first value display
  // goes back to "0" and the status panel is refreshed for this slot.
  int statusSlot = -1;
};

// A function button pressed while currentSlot is the selected device (any value
// outside 0..deviceCount-1 means none): what to send where, and the message when
// nothing is. The flag is set first, even when refused; nothing is ever meant
// for a slot that does not exist. The caller sends the command.
ConfigureFunctionResult ConfigureFunction(const FunctionButton& button, int currentSlot, int deviceCount,
                                          bool singleDeviceMode, SlotFunctionState& state);

}  // namespace merilog
