#pragma once
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace merilog {

// The 2ND-function vocabulary: the selector's label and the name the meter uses
// in "Function2 \"%s\"" and in its "func2?" answer.
struct SecondFunctionName {
  std::string label;
  std::string name;
};

constexpr int kSecondFunctionCount = 14;
constexpr int kSecondFunctionNone = 13;  // position of "NONE", the fall-back of both lookups

std::span<const SecondFunctionName> SecondFunctionNames();

// Exact, case-sensitive lookups; anything unknown gives "NONE".
std::string SecondFunctionLabelToName(std::string_view label);
std::string SecondFunctionNameToLabel(std::string_view name);
// Position of the label in SecondFunctionNames, kSecondFunctionNone when unknown.
int SecondFunctionLabelIndex(std::string_view label);

// Which 2ND functions a primary function allows. The key is searched for in the
// status line of the primary function; the allowed labels are in selector order
// and end with "NONE".
struct SecondChoiceRow {
  std::string key;
  std::vector<std::string> allowed;
};

constexpr int kSecondChoiceNoneRow = 11;  // the row keyed "NONE": the selector is disabled

std::span<const SecondChoiceRow> SecondFunctionChoices();

struct SecondChoices {
  int row = kSecondChoiceNoneRow;   // the SecondFunctionChoices row that applied
  bool disabled = true;             // the selector is disabled and gets no new entries
  bool tcouplLeftOut = false;       // "TCOUPL" was dropped from the row for this model
  std::vector<std::string> labels;  // entries to offer, in order, "NONE" last
};

// The 2ND labels to offer for a primary function, given the device's status
// function text ("Function : DCV") and its identification answer.
SecondChoices SecondFunctionChoicesFor(std::string_view statusFunctionText, std::string_view identification);
// The same for a row already found (the Device Settings dialog finds it by its own keys).
SecondChoices SecondFunctionChoicesOfRow(int row, std::string_view identification);

// The command that selects a 2ND function by its label, line feed included.
std::string SecondFunctionCommand(std::string_view label);

}  // namespace merilog
