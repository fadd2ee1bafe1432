#pragma once
#include "core/base/MessageTable.h"

namespace merilog {

// A choice the user makes once and keeps between runs: key=1 or key=0 in the
// [Options] section of the language file.
struct ProgramOption {
  const char* key;
  bool defaultOn;
};

// "Search the LAN for meters": off until the user asks, since a broadcast
// leaves the machine.
inline constexpr ProgramOption kSearchLanOption{"SearchLan", false};
// "Keep reading when a meter drops": off, so a run stops at the first failed read.
inline constexpr ProgramOption kKeepReadingOption{"KeepReadingWhenMeterDrops", false};

// The stored choice; the default when the file, the key or a readable value is missing.
bool ReadOption(const MessageTable& table, const ProgramOption& option);
// False when the file could not be written (the choice then lasts for this run only).
bool WriteOption(MessageTable& table, const ProgramOption& option, bool on);

}  // namespace merilog
