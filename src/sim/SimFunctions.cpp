#include "sim/SimFunctions.h"

#include <array>

namespace merilog::sim {
namespace {

// Indexed by Fn. The typical values sit inside a range so that auto-range has a
// sensible choice and a fixed range too small for them reads as overload.
const std::array<FunctionInfo, kFunctionCount> kFunctions = {{
    {Fn::VoltDc, "VOLTage[:DC]", "VOLT", RangeKind::DcVolt, true, false, 1.2345678, 2e-6},
    {Fn::CurrDc, "CURRent[:DC]", "CURR", RangeKind::DcCurr, true, false, 0.0123456, 1e-5},
    {Fn::VoltAc, "VOLTage:AC", "VOLT:AC", RangeKind::AcVolt, false, false, 0.4987654, 5e-5},
    {Fn::CurrAc, "CURRent:AC", "CURR:AC", RangeKind::AcCurr, false, false, 0.2345678, 1e-4},
    {Fn::Res, "RESistance", "RES", RangeKind::Ohm, true, false, 998.7654, 5e-6},
    {Fn::FRes, "FRESistance", "FRES", RangeKind::Ohm, true, false, 99.87654, 5e-6},
    {Fn::Freq, "FREQuency[:VOLTage]", "FREQ", RangeKind::AcVolt, false, true, 1000.0123, 1e-6},
    {Fn::Per, "PERiod[:VOLTage]", "PER", RangeKind::AcVolt, false, true, 0.00099998765, 1e-6},
    {Fn::Cont, "CONTinuity", "CONT", RangeKind::None, false, false, 0.8765, 1e-4},
    {Fn::Diode, "DIODe", "DIOD", RangeKind::None, false, false, 0.6234, 1e-4},
    {Fn::Temp, "TEMPerature", "TEMP", RangeKind::None, false, false, 23.456, 1e-4},
    {Fn::Ratio, "VOLTage[:DC]:RATio", "VOLT:RAT", RangeKind::DcVolt, true, false, 0.5012345, 5e-6},
    {Fn::TCouple, "TCOuple", "TCO", RangeKind::None, false, false, 24.681, 2e-4},
    {Fn::Cap, "CAPacitance", "CAP", RangeKind::Cap, false, false, 4.7012e-8, 5e-4},
    {Fn::FreqCurr, "FREQuency:CURRent", "FREQ:CURR", RangeKind::AcCurr, false, true, 60.00123, 1e-6},
    {Fn::PerCurr, "PERiod:CURRent", "PER:CURR", RangeKind::AcCurr, false, true, 0.016666325, 1e-6},
    {Fn::None, "NONE", "NONE", RangeKind::None, false, false, 0.0, 0.0},
}};

}  // namespace

const FunctionInfo& Info(Fn fn) {
  return kFunctions[static_cast<int>(fn)];
}

const std::vector<Fn>& SlotFunctions() {
  // The more specific paths first, so a header like "VOLT:DC:RAT:RANG" is
  // claimed by the ratio path and "FREQ:CURR:RANG" by the current path.
  static const std::vector<Fn> kOrder = {Fn::Ratio,   Fn::VoltAc, Fn::VoltDc,  Fn::CurrAc, Fn::CurrDc, Fn::FreqCurr,
                                         Fn::PerCurr, Fn::Freq,   Fn::Per,     Fn::FRes,   Fn::Res,    Fn::Cont,
                                         Fn::Diode,   Fn::Temp,   Fn::TCouple, Fn::Cap};
  return kOrder;
}

const std::vector<ScpiPattern>& SlotPatterns() {
  static const std::vector<ScpiPattern> kPatterns = [] {
    std::vector<ScpiPattern> v;
    for (Fn fn : SlotFunctions()) v.emplace_back(Info(fn).path);
    return v;
  }();
  return kPatterns;
}

bool FunctionFromName(std::string_view name, Fn* fn) {
  const std::string upper = ToUpper(Trim(name));
  if (upper == "NONE") {
    *fn = Fn::None;
    return true;
  }
  ScpiCommand parsed;
  if (!ParseCommand(upper, &parsed) || parsed.query || parsed.common || !parsed.params.empty()) return false;
  const ScpiPattern whole("{F}");
  int slot = -1;
  if (!whole.Match(parsed.nodes, &SlotPatterns(), &slot)) return false;
  *fn = SlotFunctions()[slot];
  return true;
}

}  // namespace merilog::sim
