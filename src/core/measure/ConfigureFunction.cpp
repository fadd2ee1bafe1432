#include "core/measure/ConfigureFunction.h"

namespace merilog {

int SlotFunctionState::AutoRangeFlag(int slot) const {
  return slot >= 0 && slot < static_cast<int>(autoRangeFlag_.size()) ? autoRangeFlag_[slot] : 0;
}

void SlotFunctionState::SetAutoRangeFlag(int slot, int flag) {
  if (slot < 0) return;
  Grow(slot);
  autoRangeFlag_[slot] = flag;
}

const std::string& SlotFunctionState::LastConfigureCommand(int slot) const {
  static const std::string kNone;
  return slot >= 0 && slot < static_cast<int>(lastConfigureCommand_.size()) ? lastConfigureCommand_[slot] : kNone;
}

void SlotFunctionState::SetLastConfigureCommand(int slot, std::string command) {
  if (slot < 0) return;
  Grow(slot);
  lastConfigureCommand_[slot] = std::move(command);
}

void SlotFunctionState::Grow(int slot) {
  if (slot >= static_cast<int>(autoRangeFlag_.size())) {
    autoRangeFlag_.resize(slot + 1, 0);
    lastConfigureCommand_.resize(slot + 1);
  }
}

ConfigureFunctionResult ConfigureFunction(const FunctionButton& button, int currentSlot, int deviceCount,
                                          bool singleDeviceMode, SlotFunctionState& state) {
  ConfigureFunctionResult result;
  const bool selected = currentSlot >= 0 && currentSlot < deviceCount;
  // The flag is set before the checks; a slot that does not exist has nothing to keep it in.
  if (selected) state.SetAutoRangeFlag(currentSlot, button.autoRangeFlag);
  result.command = button.command + "\n";
  if (!selected) {
    if (singleDeviceMode) {
      result.messageKey = "1003";
      result.messageDefault = "Select Device First";
    }
    return result;
  }
  state.SetLastConfigureCommand(currentSlot, result.command);
  result.sent = true;
  result.statusSlot = currentSlot;
  return result;
}

}  // namespace merilog
