#include "core/scan/ScanFunctionTable.h"

#include <array>

#include "core/base/Text.h"

namespace merilog {

std::span<const ScanFunction> ScanFunctionTable() {
  static constexpr std::array<ScanFunction, kScanFunctionCount> kTable{{
      {"None", "NONE"},
      {"DCV", "VOLT:DC"},
      {"ACV", "VOLT:AC"},
      {"DCI", "VOLT:DC"},
      {"ACI", "VOLT:AC"},
      {"Freq", "FREQ"},
      {"2W", "RES"},
      {"4W", "FRES"},
  }};
  return kTable;
}

std::string ScanFunctionLabel(int index) {
  if (index < 0 || index >= kScanFunctionCount) return {};
  return ScanFunctionTable()[static_cast<std::size_t>(index)].label;
}

bool IsCurrentFunction(int index) {
  return index == kScanDci || index == kScanAci;
}

int ScanFunctionFromAnswer(const std::string& answer) {
  std::string name = StripQuotesAndLineFeeds(answer);
  if (name == "VOLT" || name == "CURR") name += ":DC";
  const auto table = ScanFunctionTable();
  for (int i = 0; i < kScanFunctionCount; ++i)
    if (name == table[static_cast<std::size_t>(i)].wireName) return i;
  return kScanNone;
}

}  // namespace merilog
