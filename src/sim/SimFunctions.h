#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "sim/ScpiParser.h"

namespace merilog::sim {

// Measurement functions of the meter family. FreqCurr and PerCurr exist only as
// 2ND functions; None is the 2ND function "NONE".
enum class Fn {
  VoltDc,
  CurrDc,
  VoltAc,
  CurrAc,
  Res,
  FRes,
  Freq,
  Per,
  Cont,
  Diode,
  Temp,
  Ratio,
  TCouple,
  Cap,
  FreqCurr,
  PerCurr,
  None
};
constexpr int kFunctionCount = static_cast<int>(Fn::None) + 1;

// Which range list a function uses.
enum class RangeKind { None, DcVolt, DcCurr, AcVolt, AcCurr, Ohm, Cap };

struct FunctionInfo {
  Fn fn;
  const char* path;    // SCPI header path, e.g. "VOLTage[:DC]"
  const char* answer;  // as answered to "func?" / "func2?" (without quotes)
  RangeKind range;
  bool nplc;       // integration time in power-line cycles
  bool aperture;   // gate time (frequency and period family)
  double typical;  // a typical reading in base units, for the simulated signal
  double noise;    // relative noise at 1 PLC
};

const FunctionInfo& Info(Fn fn);
// Function paths in the order in which a "{F}" slot tries them.
const std::vector<Fn>& SlotFunctions();
const std::vector<ScpiPattern>& SlotPatterns();
// A function named in a FUNC/Function2/scan command ("VOLT:DC", "FREQ:CURR", "NONE"); false if unknown.
bool FunctionFromName(std::string_view name, Fn* fn);

}  // namespace merilog::sim
