#include "core/measure/FunctionCatalogue.h"

#include <array>

namespace merilog {

std::span<const FunctionEntry> FunctionCatalogue() {
  // Frequency and period are ranged by the AC voltage of the signal, hence "VAC".
  static const std::array<FunctionEntry, kFunctionCount> kRows{{
      {"VOLT:DC", "DCV", "VDC"},
      {"CURR:DC", "DCI", "ADC"},
      {"VOLT:AC", "ACV", "VAC"},
      {"CURR:AC", "ACI", "AAC"},
      {"RES", "2W", "Ohm"},
      {"FRES", "4W", "Ohm"},
      {"FREQ", "FREQ", "VAC"},
      {"PER", "PERIOD", "VAC"},
      {"CONT", "CONT", "Ohm"},
      {"DIOD", "DIOD", ""},
      {"TEMP", "TEMP", ""},
      {"VOLT:RAT", "DC Ratio", ""},
      {"TCO", "TCOUPL", ""},
      {"CAP", "CAP", ""},
  }};
  return kRows;
}

int FindFunctionRow(std::string_view name) {
  const auto rows = FunctionCatalogue();
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (name.starts_with(rows[i].functionName)) return static_cast<int>(i);
  return -1;
}

std::string NormaliseFunctionAnswer(std::string_view answer) {
  std::string name;
  name.reserve(answer.size());
  for (char c : answer)
    if (c != '\n' && c != '"') name += c;
  if (name == "VOLT" || name == "CURR") return name + ":DC";
  if (name == "FREQ" || name == "PER") return name + ":VOLT";
  return name;
}

}  // namespace merilog
