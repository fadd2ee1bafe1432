#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "sim/SimFunctions.h"

namespace merilog::sim {

// Maker name of every simulated instrument.
inline constexpr const char* kSimMaker = "MERISIM";

// What one simulated model can do; the tables are data so a new variant is one entry.
struct SimModelInfo {
  std::string key;                // "6081", "6082", "MR6082", "P7710", "P7700A", "PSU"
  std::string modelField;         // second field of *IDN?
  std::string version;            // fourth field of *IDN?
  bool meter = true;              // false: an instrument of another kind, unsupported by the program
  bool dual = false;              // measures a 2ND function
  bool secondTCouple = true;      // the thermocouple may be the 2ND function
  bool scanner = false;           // takes a scanner card
  bool tcoupleAndCap = false;     // has the thermocouple and capacitance functions
  bool ratioOnDcVoltage = false;  // the ratio function keeps its range and integration time in DC voltage's
  std::vector<double> dcCurrentRanges;
  std::vector<double> acCurrentRanges;
  std::vector<double> nplcValues;  // allowed integration times, ascending
  double defaultNplc = 10;
  std::vector<std::string> rtdTypes;
  std::vector<std::string> tcoupleTypes;
  double capMaxRange = 0;  // largest capacitance range (0: no capacitance)
};

// Null for an unknown key (compared case-insensitively).
const SimModelInfo* FindModel(std::string_view key);
std::vector<std::string> ModelKeys();

bool HasFunction(const SimModelInfo& model, Fn fn);
// Ranges of a function on a model, ascending; empty when it has none.
std::vector<double> RangesFor(const SimModelInfo& model, Fn fn, double capMaxRange);
// 2ND functions the dual models allow with a primary function.
bool SecondAllowed(const SimModelInfo& model, Fn primary, Fn second);

}  // namespace merilog::sim
