#pragma once
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace merilog {

// Behaviour that depends on the meter model, decided by substrings of its *IDN? answer.
// The classes overlap: an "MR6082" meter is also a dual-function meter.
enum class ModelClass {
  DualFunction,         // "6082": second function, CAP and TCOUPL, 2ND selector shown
  DualFunctionVariant,  // "MR6082": as above, but never TCOUPL as a 2ND function
  Basic,                // "6081": no CAP, no TCOUPL, no 2ND function
  RatioCapable,         // "P7710"/"P7711": ratio ranges asked as "VOLT:DC:RAT"
  ScannerCapable,       // "P7700A": takes a scanner card
};

struct ModelClassTest {
  ModelClass modelClass;
  std::vector<std::string> tags;  // the class applies when any of them occurs in the identification
};

std::span<const ModelClassTest> ModelClassTable();

bool IsModelClass(std::string_view identification, ModelClass modelClass);

}  // namespace merilog
