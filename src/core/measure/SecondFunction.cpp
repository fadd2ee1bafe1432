#include "core/measure/SecondFunction.h"

#include <array>

#include "core/measure/ModelClass.h"

namespace merilog {

std::span<const SecondFunctionName> SecondFunctionNames() {
  static const std::array<SecondFunctionName, kSecondFunctionCount> kNames{{
      {"DCV", "VOLT"},
      {"DCI", "CURR"},
      {"RES", "RES"},
      {"FRES", "FRES"},
      {"ACV", "VOLT:AC"},
      {"ACI", "CURR:AC"},
      {"FREQ", "FREQ"},
      {"PERIOD", "PER"},
      {"CURR FREQ", "FREQ:CURR"},
      {"CURR PERIOD", "PER:CURR"},
      {"CAP", "CAP"},
      {"TCOUPL", "TCO"},
      {"TEMP", "TEMP"},
      {"NONE", "NONE"},
  }};
  return kNames;
}

int SecondFunctionLabelIndex(std::string_view label) {
  const auto names = SecondFunctionNames();
  for (int i = 0; i < kSecondFunctionNone; ++i)
    if (names[i].label == label) return i;
  return kSecondFunctionNone;
}

std::string SecondFunctionLabelToName(std::string_view label) {
  return SecondFunctionNames()[SecondFunctionLabelIndex(label)].name;
}

std::string SecondFunctionNameToLabel(std::string_view name) {
  const auto names = SecondFunctionNames();
  for (int i = 0; i < kSecondFunctionNone; ++i)
    if (names[i].name == name) return names[i].label;
  return names[kSecondFunctionNone].label;
}

std::span<const SecondChoiceRow> SecondFunctionChoices() {
  // Keys are found anywhere in "Function : <label>", first row first: "PER" is
  // what the period function's label "PERIOD" contains. CONT, DIOD and DC Ratio
  // match no key before "NONE", so they allow no 2ND function.
  static const std::array<SecondChoiceRow, 13> kRows{{
      {"DCV", {"DCI", "ACV", "FREQ", "PERIOD", "TCOUPL", "NONE"}},
      {"ACV", {"DCV", "DCI", "FREQ", "PERIOD", "TCOUPL", "NONE"}},
      {"DCI", {"DCV", "ACV", "ACI", "FREQ", "PERIOD", "CURR FREQ", "CURR PERIOD", "TCOUPL", "NONE"}},
      {"ACI", {"DCI", "CURR FREQ", "CURR PERIOD", "TCOUPL", "NONE"}},
      {"2W", {"TCOUPL", "NONE"}},
      {"4W", {"TCOUPL", "NONE"}},
      {"CAP", {"TCOUPL", "NONE"}},
      {"FREQ", {"DCV", "DCI", "ACV", "PERIOD", "TCOUPL", "NONE"}},
      {"PER", {"DCV", "DCI", "ACV", "FREQ", "TCOUPL", "NONE"}},
      {"TCOUPL",
       {"DCV", "DCI", "RES", "FRES", "ACV", "ACI", "FREQ", "PERIOD", "CURR FREQ", "CURR PERIOD", "CAP", "TEMP",
        "NONE"}},
      {"TEMP", {"TCOUPL", "NONE"}},
      {"NONE", {}},
      {"", {}},
  }};
  return kRows;
}

SecondChoices SecondFunctionChoicesFor(std::string_view statusFunctionText, std::string_view identification) {
  const auto rows = SecondFunctionChoices();
  int row = 0;
  while (row < kSecondChoiceNoneRow && statusFunctionText.find(rows[row].key) == std::string_view::npos) ++row;
  return SecondFunctionChoicesOfRow(row, identification);
}

SecondChoices SecondFunctionChoicesOfRow(int row, std::string_view identification) {
  SecondChoices result;
  const auto rows = SecondFunctionChoices();
  if (row < 0 || row >= kSecondChoiceNoneRow) return result;
  result.row = row;

  const auto& allowed = rows[row].allowed;
  const bool noTcoupl = IsModelClass(identification, ModelClass::DualFunctionVariant);
  if (noTcoupl && allowed.front() == "TCOUPL") return result;

  result.disabled = false;
  for (const auto& label : allowed) {
    if (noTcoupl && label == "TCOUPL") {
      result.tcouplLeftOut = true;
      continue;
    }
    result.labels.push_back(label);
    if (label == "NONE") break;
  }
  return result;
}

std::string SecondFunctionCommand(std::string_view label) {
  return "Function2 \"" + SecondFunctionLabelToName(label) + "\"\n";
}

}  // namespace merilog
