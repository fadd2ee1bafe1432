#pragma once
#include <span>
#include <string>
#include <string_view>

namespace merilog {

// One measurement function in the meter's, the user's and the range line's words.
struct FunctionEntry {
  std::string functionName;  // as the meter reports it ("func?") and as range queries use it
  std::string shortLabel;    // shown as "Function : %s"
  std::string rangeUnit;     // shown after the range value; empty where the range reads differently
};

constexpr int kFunctionCount = 14;

// The 14 functions in their fixed order; the position is the function index used
// by the settings dialog. Lookups scan from row 0 and take the first match.
std::span<const FunctionEntry> FunctionCatalogue();

// Index of the first row whose functionName starts the given name, or -1 when none does.
int FindFunctionRow(std::string_view name);

// A "func?" answer as the catalogue names it: line feeds and double quotes removed,
// "VOLT"/"CURR" given ":DC", "FREQ"/"PER" given ":VOLT"; anything else unchanged.
std::string NormaliseFunctionAnswer(std::string_view answer);

}  // namespace merilog
