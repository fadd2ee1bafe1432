// The command set of the simulated meters: one table row per header, one
// handler per kind of setting.
#include <algorithm>
#include <cmath>

#include "sim/SimMeter.h"

namespace merilog::sim {
namespace {

using E = CommandEntry;
using M = SimMeter;

// Picks the smallest allowed value at or above the requested one, as meters do
// for ranges and integration times. False when it lies above the largest.
bool SnapUp(const std::vector<double>& allowed, double v, double* out) {
  for (double a : allowed) {
    if (v <= a * (1 + 1e-9)) {
      *out = a;
      return true;
    }
  }
  return false;
}

std::string FormatInt(long long v) {
  return std::to_string(v);
}

struct CoefficientLimit {
  double min, max;
};
// Same order as the Coefficient enumeration.
constexpr CoefficientLimit kCoefficientLimits[kCoefficientCount] = {
    {0, 0.01},  {0, 1},    {0, 5},    {10, 1000},                    // USER RTD: alpha, beta, delta, R-zero
    {10, 1000}, {-1, 1},   {-1, 1},   {-1, 1},    {-1, 1}, {-1, 1},  // SPRTD: R-zero, A4, B4, A7, B7, C7
    {0, 0.01},  {0, 0.01}, {0, 0.01},                                // NTC thermistor: A, B, C
};

}  // namespace

const std::vector<CommandEntry>& SimMeter::MeterCommands() {
  // Frequent commands first: a miss in the header cache walks the table in order.
  static const std::vector<CommandEntry> kTable = {
      {ScpiPattern("READ"), false, E::kQuery, &M::ReadQuery, 0},
      {ScpiPattern("IDN"), true, E::kQuery, &M::Idn, 0},
      {ScpiPattern("[SENSe:]FUNCtion[:ON]"), false, E::kBoth, &M::Function, 0},
      {ScpiPattern("[SENSe:]FUNCtion2"), false, E::kBoth, &M::Function2, 0},
      {ScpiPattern("CLS"), true, E::kSet, &M::Cls, 0},
      {ScpiPattern("RST"), true, E::kSet, &M::Rst, 0},
      {ScpiPattern("OPC"), true, E::kBoth, &M::Opc, 0},
      {ScpiPattern("WAI"), true, E::kSet, &M::NoOp, 0},
      {ScpiPattern("ESR"), true, E::kQuery, &M::Esr, 0},
      {ScpiPattern("ESE"), true, E::kBoth, &M::Ese, 0},
      {ScpiPattern("SRE"), true, E::kBoth, &M::Sre, 0},
      {ScpiPattern("STB"), true, E::kQuery, &M::Stb, 0},
      {ScpiPattern("TST"), true, E::kQuery, &M::Tst, 0},
      {ScpiPattern("SYSTem:ERRor[:NEXT]"), false, E::kQuery, &M::SystemError, 0},
      {ScpiPattern("SYSTem:VERSion"), false, E::kQuery, &M::SystemVersion, 0},
      {ScpiPattern("SYSTem:REMote"), false, E::kSet, &M::NoOp, 0},
      {ScpiPattern("SYSTem:LOCal"), false, E::kSet, &M::NoOp, 0},
      // Sent by the scan search to every candidate; the meters take it without effect.
      {ScpiPattern("L0"), false, E::kSet, &M::NoOp, 0},
      {ScpiPattern("CONFigure:{F}"), false, E::kSet, &M::Configure, 0},
      {ScpiPattern("CONFigure"), false, E::kQuery, &M::ConfigureQuery, 0},
      {ScpiPattern("MEASure:{F}"), false, E::kQuery, &M::MeasureQuery, 0},
      {ScpiPattern("INITiate[:IMMediate]"), false, E::kSet, &M::Initiate, 0},
      {ScpiPattern("FETCh"), false, E::kQuery, &M::Fetch, 0},
      {ScpiPattern("[SENSe:]{F}:RANGe[:UPPer]"), false, E::kBoth, &M::Range, 0},
      {ScpiPattern("[SENSe:]{F}:RANGe:AUTO"), false, E::kBoth, &M::RangeAuto, 0},
      {ScpiPattern("[SENSe:]{F}:NPLCycles"), false, E::kBoth, &M::Nplc, 0},
      {ScpiPattern("[SENSe:]{F}:APERture"), false, E::kBoth, &M::Aperture, 0},
      {ScpiPattern("[SENSe:]DETector:BANDwidth"), false, E::kBoth, &M::Bandwidth, 0},
      {ScpiPattern("[SENSe:]{F}:DETector:BANDwidth"), false, E::kBoth, &M::Bandwidth, 0},
      {ScpiPattern("[SENSe:]UNIT[:TEMPerature]"), false, E::kBoth, &M::Unit, 0},
      {ScpiPattern("[SENSe:]TEMPerature:TRANsducer[:TYPE]"), false, E::kBoth, &M::Transducer, 0},
      {ScpiPattern("[SENSe:]TEMPerature:RTD:TYPE"), false, E::kBoth, &M::RtdType, 0},
      {ScpiPattern("[SENSe:]TEMPerature:RTD:ALPHa"), false, E::kBoth, &M::CoefficientValue, kRtdAlpha},
      {ScpiPattern("[SENSe:]TEMPerature:RTD:BETA"), false, E::kBoth, &M::CoefficientValue, kRtdBeta},
      {ScpiPattern("[SENSe:]TEMPerature:RTD:DELTa"), false, E::kBoth, &M::CoefficientValue, kRtdDelta},
      {ScpiPattern("[SENSe:]TEMPerature:RTD:RZERo"), false, E::kBoth, &M::CoefficientValue, kRtdRZero},
      {ScpiPattern("[SENSe:]TEMPerature:SPRTD:RZERo"), false, E::kBoth, &M::CoefficientValue, kSprtdRZero},
      {ScpiPattern("[SENSe:]TEMPerature:SPRTD:A4"), false, E::kBoth, &M::CoefficientValue, kSprtdA4},
      {ScpiPattern("[SENSe:]TEMPerature:SPRTD:B4"), false, E::kBoth, &M::CoefficientValue, kSprtdB4},
      {ScpiPattern("[SENSe:]TEMPerature:SPRTD:AX"), false, E::kBoth, &M::CoefficientValue, kSprtdAx},
      {ScpiPattern("[SENSe:]TEMPerature:SPRTD:BX"), false, E::kBoth, &M::CoefficientValue, kSprtdBx},
      {ScpiPattern("[SENSe:]TEMPerature:SPRTD:CX"), false, E::kBoth, &M::CoefficientValue, kSprtdCx},
      {ScpiPattern("[SENSe:]TEMPerature:NTCT:A"), false, E::kBoth, &M::CoefficientValue, kNtcA},
      {ScpiPattern("[SENSe:]TEMPerature:NTCT:B"), false, E::kBoth, &M::CoefficientValue, kNtcB},
      {ScpiPattern("[SENSe:]TEMPerature:NTCT:C"), false, E::kBoth, &M::CoefficientValue, kNtcC},
      {ScpiPattern("[SENSe:]TCOuple:TYPE"), false, E::kBoth, &M::TCoupleType, 0},
      {ScpiPattern("[SENSe:]TEMPerature:TCOuple:TYPE"), false, E::kBoth, &M::TCoupleType, 0},
      {ScpiPattern("SAMPle:COUNt"), false, E::kBoth, &M::SampleCount, 0},
      {ScpiPattern("ROUTe:STATe"), false, E::kQuery, &M::RouteState, 0},
      {ScpiPattern("ROUTe:SCAN:FUNCtion"), false, E::kBoth, &M::ScanFunction, 0},
      {ScpiPattern("ROUTe:SCAN:COUNt"), false, E::kBoth, &M::ScanCount, 0},
      {ScpiPattern("ROUTe:SCAN:TIMer"), false, E::kBoth, &M::ScanTimer, 0},
      {ScpiPattern("ROUTe:SCAN[:STARt]"), false, E::kSet, &M::ScanStart, 0},
      {ScpiPattern("ROUTe:SCAN:STEP"), false, E::kSet, &M::ScanStart, 1},
      {ScpiPattern("ROUTe:SCAN:STATe"), false, E::kQuery, &M::ScanProgress, 0},
      {ScpiPattern("ROUTe:SCAN:ABORt"), false, E::kSet, &M::ScanAbort, 0},
      {ScpiPattern("ABORt"), false, E::kSet, &M::ScanAbort, 0},
  };
  return kTable;
}

const std::vector<CommandEntry>& SimMeter::SupplyCommands() {
  static const std::vector<CommandEntry> kTable = {
      {ScpiPattern("IDN"), true, E::kQuery, &M::Idn, 0},
      {ScpiPattern("CLS"), true, E::kSet, &M::Cls, 0},
      {ScpiPattern("RST"), true, E::kSet, &M::Rst, 0},
      {ScpiPattern("OPC"), true, E::kBoth, &M::Opc, 0},
      {ScpiPattern("ESR"), true, E::kQuery, &M::Esr, 0},
      {ScpiPattern("STB"), true, E::kQuery, &M::Stb, 0},
      {ScpiPattern("SYSTem:ERRor[:NEXT]"), false, E::kQuery, &M::SystemError, 0},
      {ScpiPattern("[SOURce:]VOLTage[:LEVel]"), false, E::kBoth, &M::SupplyVoltage, 0},
      {ScpiPattern("[SOURce:]CURRent[:LEVel]"), false, E::kBoth, &M::SupplyCurrent, 0},
      {ScpiPattern("OUTPut[:STATe]"), false, E::kBoth, &M::SupplyOutput, 0},
      {ScpiPattern("MEASure:VOLTage"), false, E::kQuery, &M::SupplyMeasure, 0},
      {ScpiPattern("MEASure:CURRent"), false, E::kQuery, &M::SupplyMeasure, 1},
  };
  return kTable;
}

bool SimMeter::NeedParams(Call& c, std::size_t min, std::size_t max) {
  if (c.cmd.params.size() < min) {
    PushError(-109);
    return false;
  }
  if (c.cmd.params.size() > max) {
    PushError(-108);
    return false;
  }
  return true;
}

namespace {
void Reply(SimMeter::Call& c, std::string text) {
  c.answer = std::move(text);
  c.answered = true;
}
}  // namespace

void SimMeter::Idn(Call& c) {
  if (NeedParams(c, 0, 0)) Reply(c, identification_);
}
void SimMeter::Rst(Call& c) {
  if (NeedParams(c, 0, 0)) Reset();
}
void SimMeter::Cls(Call& c) {
  if (!NeedParams(c, 0, 0)) return;
  state_.errors.clear();
  state_.esr = 0;
}
void SimMeter::Opc(Call& c) {
  if (NeedParams(c, 0, 0) && c.cmd.query) Reply(c, "1");
}
void SimMeter::Esr(Call& c) {
  if (!NeedParams(c, 0, 0)) return;
  Reply(c, FormatInt(state_.esr));
  state_.esr = 0;
}
void SimMeter::Ese(Call& c) {
  double v = 0;
  if (c.cmd.query) {
    if (NeedParams(c, 0, 0)) Reply(c, FormatInt(state_.ese));
  } else if (NeedParams(c, 1, 1)) {
    if (!ParseScpiNumber(c.cmd.params[0], &v)) return PushError(-104);
    if (v < 0 || v > 255) return PushError(-222);
    state_.ese = static_cast<int>(std::lround(v));
  }
}
void SimMeter::Sre(Call& c) {
  double v = 0;
  if (c.cmd.query) {
    if (NeedParams(c, 0, 0)) Reply(c, FormatInt(state_.sre));
  } else if (NeedParams(c, 1, 1)) {
    if (!ParseScpiNumber(c.cmd.params[0], &v)) return PushError(-104);
    if (v < 0 || v > 255) return PushError(-222);
    state_.sre = static_cast<int>(std::lround(v));
  }
}
void SimMeter::Stb(Call& c) {
  if (!NeedParams(c, 0, 0)) return;
  int stb = 0;
  if (!state_.errors.empty()) stb |= 4;
  if (state_.esr & state_.ese) stb |= 32;
  Reply(c, FormatInt(stb));
}
void SimMeter::Tst(Call& c) {
  if (NeedParams(c, 0, 0)) Reply(c, "0");
}
void SimMeter::NoOp(Call& c) {
  NeedParams(c, 0, 0);
}

void SimMeter::SystemError(Call& c) {
  if (!NeedParams(c, 0, 0)) return;
  if (state_.errors.empty()) return Reply(c, "+0,\"No error\"");
  const auto [code, text] = state_.errors.front();
  state_.errors.pop_front();
  Reply(c, std::to_string(code) + ",\"" + text + "\"");
}
void SimMeter::SystemVersion(Call& c) {
  if (NeedParams(c, 0, 0)) Reply(c, "1999.0");
}

// --- Function selection and readings ---

bool SimMeter::ConfigureFunction(Call& c) {
  if (!NeedParams(c, 0, 2)) return false;
  const Fn fn = c.fn;
  if (!HasFunction(*model_, fn) || fn == Fn::FreqCurr || fn == Fn::PerCurr) return Refuse(-113);
  FunctionSettings& s = SettingsOf(fn);
  if (!c.cmd.params.empty() && !c.cmd.params[0].empty() && Info(fn).range != RangeKind::None) {
    const std::string p = ToUpper(c.cmd.params[0]);
    if (p == "AUTO" || p == "DEF") {
      s.autoRange = true;
    } else {
      const auto ranges = Ranges(fn);
      double v = 0, r = 0;
      if (p == "MIN")
        v = ranges.front();
      else if (p == "MAX")
        v = ranges.back();
      else if (!ParseScpiNumber(c.cmd.params[0], &v))
        return Refuse(-104);
      if (!SnapUp(ranges, std::fabs(v), &r)) return Refuse(-222);
      s.range = r;
      s.autoRange = false;
    }
  } else {
    s.autoRange = true;
  }
  state_.function = fn;
  if (!SecondAllowed(*model_, fn, state_.function2)) state_.function2 = Fn::None;
  state_.sampleCount = 1;
  state_.memory.clear();
  state_.memoryFromScan = false;
  return true;
}

void SimMeter::Configure(Call& c) {
  ConfigureFunction(c);
}

void SimMeter::ConfigureQuery(Call& c) {
  if (!NeedParams(c, 0, 0)) return;
  const Fn fn = state_.function;
  std::string text = Info(fn).answer;
  if (Info(fn).range != RangeKind::None) {
    const double range = PresentRange(fn);
    text += " " + FormatReal(range) + "," + FormatReal(range * 1e-6);
  }
  Reply(c, Quote(text));
}

void SimMeter::MeasureQuery(Call& c) {
  if (ConfigureFunction(c)) Reply(c, ReadingsText());
}

void SimMeter::ReadQuery(Call& c) {
  if (!NeedParams(c, 0, 0)) return;
  if (!queuedReadAnswers_.empty()) {
    std::string answer = std::move(queuedReadAnswers_.front());
    queuedReadAnswers_.pop_front();
    return Reply(c, std::move(answer));
  }
  Reply(c, ReadingsText());
}

void SimMeter::Initiate(Call& c) {
  if (!NeedParams(c, 0, 0)) return;
  state_.memory = ReadingsText();
  state_.memoryFromScan = false;
}

void SimMeter::Fetch(Call& c) {
  if (!NeedParams(c, 0, 0)) return;
  if (state_.memoryFromScan) return Reply(c, ScanReadings(ScanProgressNow().ready));
  if (state_.memory.empty()) return PushError(-230);
  Reply(c, state_.memory);
}

void SimMeter::Function(Call& c) {
  if (c.cmd.query) {
    if (NeedParams(c, 0, 0)) Reply(c, Quote(Info(state_.function).answer));
    return;
  }
  if (!NeedParams(c, 1, 1)) return;
  Fn fn;
  if (!FunctionFromName(Unquote(c.cmd.params[0]), &fn) || !HasFunction(*model_, fn) || fn == Fn::FreqCurr ||
      fn == Fn::PerCurr)
    return PushError(-224);
  state_.function = fn;
  if (!SecondAllowed(*model_, fn, state_.function2)) state_.function2 = Fn::None;
}

void SimMeter::Function2(Call& c) {
  if (!model_->dual) return PushError(-113);
  if (c.cmd.query) {
    if (NeedParams(c, 0, 0)) Reply(c, Quote(Info(state_.function2).answer));
    return;
  }
  if (!NeedParams(c, 1, 1)) return;
  Fn fn;
  if (!FunctionFromName(Unquote(c.cmd.params[0]), &fn) || (fn != Fn::None && !HasFunction(*model_, fn)))
    return PushError(-224);
  if (!SecondAllowed(*model_, state_.function, fn)) return PushError(-221);
  state_.function2 = fn;
  // With a 2ND function the DC current input works on its 1 A and higher ranges only.
  FunctionSettings& dci = state_.settings[static_cast<int>(Fn::CurrDc)];
  if (fn != Fn::None && state_.function == Fn::CurrDc && !dci.autoRange && dci.range < 1) dci.range = 1;
}

// --- Per-function settings ---

void SimMeter::Range(Call& c) {
  const Fn fn = c.fn;
  if (!HasFunction(*model_, fn) || Info(fn).range == RangeKind::None) return PushError(-113);
  const auto ranges = Ranges(fn);
  FunctionSettings& s = SettingsOf(fn);
  if (c.cmd.query) {
    if (!NeedParams(c, 0, 1)) return;
    const std::string p = c.cmd.params.empty() ? "" : ToUpper(c.cmd.params[0]);
    if (p == "MIN") return Reply(c, FormatReal(ranges.front()));
    if (p == "MAX" || p == "DEF") return Reply(c, FormatReal(ranges.back()));
    if (!p.empty()) return PushError(-224);
    return Reply(c, FormatReal(PresentRange(fn)));
  }
  if (!NeedParams(c, 1, 1)) return;
  const std::string p = ToUpper(c.cmd.params[0]);
  double v = 0, r = 0;
  if (p == "MIN")
    v = ranges.front();
  else if (p == "MAX" || p == "DEF")
    v = ranges.back();
  else if (!ParseScpiNumber(c.cmd.params[0], &v))
    return PushError(-104);
  if (!SnapUp(ranges, std::fabs(v), &r)) return PushError(-222);
  if (fn == Fn::CurrDc && state_.function == Fn::CurrDc && state_.function2 != Fn::None && r < 1)
    return PushError(-221);
  s.range = r;
  s.autoRange = false;
}

void SimMeter::RangeAuto(Call& c) {
  const Fn fn = c.fn;
  if (!HasFunction(*model_, fn) || Info(fn).range == RangeKind::None) return PushError(-113);
  FunctionSettings& s = SettingsOf(fn);
  if (c.cmd.query) {
    if (NeedParams(c, 0, 0)) Reply(c, s.autoRange ? "1" : "0");
    return;
  }
  if (!NeedParams(c, 1, 1)) return;
  const std::string p = ToUpper(c.cmd.params[0]);
  if (p == "ONCE") {
    s.range = AutoRange(fn);
    s.autoRange = false;
    return;
  }
  const auto on = ParseScpiBool(p);
  if (!on) return PushError(-224);
  if (!*on && s.autoRange) s.range = AutoRange(fn);  // keeps the range auto-ranging had chosen
  s.autoRange = *on;
}

void SimMeter::Nplc(Call& c) {
  const Fn fn = c.fn;
  if (!HasFunction(*model_, fn) || !Info(fn).nplc) return PushError(-113);
  FunctionSettings& s = SettingsOf(fn);
  const auto& allowed = model_->nplcValues;
  if (c.cmd.query) {
    if (!NeedParams(c, 0, 1)) return;
    const std::string p = c.cmd.params.empty() ? "" : ToUpper(c.cmd.params[0]);
    if (p == "MIN") return Reply(c, FormatReal(allowed.front()));
    if (p == "MAX") return Reply(c, FormatReal(allowed.back()));
    if (!p.empty()) return PushError(-224);
    return Reply(c, FormatReal(s.nplc));
  }
  if (!NeedParams(c, 1, 1)) return;
  const std::string p = ToUpper(c.cmd.params[0]);
  double v = 0;
  if (p == "MIN")
    v = allowed.front();
  else if (p == "MAX")
    v = allowed.back();
  else if (p == "DEF")
    v = model_->defaultNplc;
  else if (!ParseScpiNumber(c.cmd.params[0], &v))
    return PushError(-104);
  if (v <= 0 || !SnapUp(allowed, v, &s.nplc)) return PushError(-222);
}

void SimMeter::Aperture(Call& c) {
  static const std::vector<double> kApertures = {0.01, 0.1, 1};
  if (!HasFunction(*model_, c.fn) || !Info(c.fn).aperture) return PushError(-113);
  if (c.cmd.query) {
    if (NeedParams(c, 0, 0)) Reply(c, FormatReal(state_.aperture));
    return;
  }
  if (!NeedParams(c, 1, 1)) return;
  double v = 0;
  const std::string p = ToUpper(c.cmd.params[0]);
  if (p == "MIN")
    v = kApertures.front();
  else if (p == "MAX")
    v = kApertures.back();
  else if (p == "DEF")
    v = 0.1;
  else if (!ParseScpiNumber(c.cmd.params[0], &v))
    return PushError(-104);
  if (v <= 0 || !SnapUp(kApertures, v, &state_.aperture)) return PushError(-222);
}

void SimMeter::Bandwidth(Call& c) {
  static const std::vector<double> kBandwidths = {3, 20, 200};
  if (c.fn != Fn::None && c.fn != Fn::VoltAc && c.fn != Fn::CurrAc) return PushError(-113);
  if (c.cmd.query) {
    if (NeedParams(c, 0, 0)) Reply(c, FormatReal(state_.bandwidth));
    return;
  }
  if (!NeedParams(c, 1, 1)) return;
  double v = 0;
  const std::string p = ToUpper(c.cmd.params[0]);
  if (p == "MIN")
    v = kBandwidths.front();
  else if (p == "MAX")
    v = kBandwidths.back();
  else if (p == "DEF")
    v = 20;
  else if (!ParseScpiNumber(c.cmd.params[0], &v))
    return PushError(-104);
  if (v <= 0 || !SnapUp(kBandwidths, v, &state_.bandwidth)) return PushError(-222);
}

void SimMeter::Unit(Call& c) {
  if (c.cmd.query) {
    if (NeedParams(c, 0, 0)) Reply(c, std::string(1, state_.unit));
    return;
  }
  if (!NeedParams(c, 1, 1)) return;
  const std::string p = ToUpper(c.cmd.params[0]);
  if (p == "C" || p == "CEL")
    state_.unit = 'C';
  else if (p == "F" || p == "FAR")
    state_.unit = 'F';
  else if (p == "K")
    state_.unit = 'K';
  else
    PushError(-224);
}

void SimMeter::Transducer(Call& c) {
  if (c.cmd.query) {
    if (NeedParams(c, 0, 0)) Reply(c, state_.fourWire ? "FRTD" : "RTD");
    return;
  }
  if (!NeedParams(c, 1, 1)) return;
  const std::string p = ToUpper(c.cmd.params[0]);
  if (p == "RTD")
    state_.fourWire = false;
  else if (p == "FRTD")
    state_.fourWire = true;
  else
    PushError(-224);
}

void SimMeter::RtdType(Call& c) {
  if (c.cmd.query) {
    if (NeedParams(c, 0, 0)) Reply(c, state_.rtdType);
    return;
  }
  if (!NeedParams(c, 1, 1)) return;
  const std::string p = ToUpper(Unquote(c.cmd.params[0]));
  const auto& types = model_->rtdTypes;
  if (std::find(types.begin(), types.end(), p) == types.end()) return PushError(-224);
  state_.rtdType = p;
}

void SimMeter::TCoupleType(Call& c) {
  if (!HasFunction(*model_, Fn::TCouple)) return PushError(-113);
  if (c.cmd.query) {
    if (NeedParams(c, 0, 0)) Reply(c, state_.tcoupleType);
    return;
  }
  if (!NeedParams(c, 1, 1)) return;
  const std::string p = ToUpper(Unquote(c.cmd.params[0]));
  const auto& types = model_->tcoupleTypes;
  if (std::find(types.begin(), types.end(), p) == types.end()) return PushError(-224);
  state_.tcoupleType = p;
}

void SimMeter::CoefficientValue(Call& c) {
  const int which = c.entry.arg;
  if (which == kNtcA || which == kNtcB || which == kNtcC) {
    const auto& types = model_->rtdTypes;
    if (std::find(types.begin(), types.end(), "NTCT") == types.end()) return PushError(-113);
  }
  double& value = state_.coefficients[static_cast<std::size_t>(which)];
  if (c.cmd.query) {
    if (NeedParams(c, 0, 0)) Reply(c, FormatReal(value));
    return;
  }
  if (!NeedParams(c, 1, 1)) return;
  double v = 0;
  if (!ParseScpiNumber(c.cmd.params[0], &v)) return PushError(-104);
  const CoefficientLimit& lim = kCoefficientLimits[which];
  if (v < lim.min || v > lim.max) return PushError(-222);
  value = v;
}

void SimMeter::SampleCount(Call& c) {
  if (c.cmd.query) {
    if (NeedParams(c, 0, 0)) Reply(c, FormatInt(state_.sampleCount));
    return;
  }
  if (!NeedParams(c, 1, 1)) return;
  double v = 0;
  const std::string p = ToUpper(c.cmd.params[0]);
  if (p == "MIN" || p == "DEF")
    v = 1;
  else if (p == "MAX")
    v = 50000;
  else if (!ParseScpiNumber(c.cmd.params[0], &v))
    return PushError(-104);
  if (v < 1 || v > 50000) return PushError(-222);
  state_.sampleCount = static_cast<int>(std::lround(v));
}

// --- Scanner card ---

namespace {
bool ScanFunctionAllowed(Fn fn) {
  static const Fn kAllowed[] = {Fn::None, Fn::VoltDc, Fn::VoltAc, Fn::CurrDc, Fn::CurrAc,
                                Fn::Freq, Fn::Per,    Fn::Res,    Fn::FRes};
  return std::find(std::begin(kAllowed), std::end(kAllowed), fn) != std::end(kAllowed);
}
}  // namespace

void SimMeter::RouteState(Call& c) {
  if (!model_->scanner) return PushError(-113);
  if (NeedParams(c, 0, 0)) Reply(c, FormatInt(channels_));
}

void SimMeter::ScanFunction(Call& c) {
  if (!model_->scanner) return PushError(-113);
  if (channels_ == 0) return PushError(-221);
  if (!NeedParams(c, 1, c.cmd.query ? 1 : 2)) return;
  double v = 0;
  if (!ParseScpiNumber(c.cmd.params[0], &v)) return PushError(-104);
  if (!(v >= 0.5 && v < channels_ + 0.5)) return PushError(-222);
  const long ch = std::lround(v);
  Fn& slot = state_.scan.functions[static_cast<std::size_t>(ch - 1)];
  if (c.cmd.query) return Reply(c, Quote(Info(slot).answer));
  if (c.cmd.params.size() < 2) return PushError(-109);
  Fn fn;
  if (!FunctionFromName(Unquote(c.cmd.params[1]), &fn) || !ScanFunctionAllowed(fn)) return PushError(-224);
  // A 4-wire channel uses the channel half a card above as its sense pair.
  if (fn == Fn::FRes && ch > channels_ / 2) return PushError(-221);
  slot = fn;
}

void SimMeter::ScanCount(Call& c) {
  if (!model_->scanner) return PushError(-113);
  if (c.cmd.query) {
    if (NeedParams(c, 0, 0)) Reply(c, FormatInt(state_.scan.count));
    return;
  }
  if (!NeedParams(c, 1, 1)) return;
  double v = 0;
  if (!ParseScpiNumber(c.cmd.params[0], &v)) return PushError(-104);
  if (v < 0 || v > 50000) return PushError(-222);
  state_.scan.count = static_cast<int>(std::lround(v));
}

void SimMeter::ScanTimer(Call& c) {
  if (!model_->scanner) return PushError(-113);
  if (c.cmd.query) {
    if (NeedParams(c, 0, 0)) Reply(c, FormatReal(state_.scan.timerSeconds));
    return;
  }
  if (!NeedParams(c, 1, 1)) return;
  double v = 0;
  if (!ParseScpiNumber(c.cmd.params[0], &v)) return PushError(-104);
  if (v < 0 || v > 3600) return PushError(-222);
  state_.scan.timerSeconds = v;
}

void SimMeter::ScanStart(Call& c) {
  if (!model_->scanner) return PushError(-113);
  if (!NeedParams(c, 0, 0)) return;
  if (channels_ == 0) return PushError(-221);
  ScanState& s = state_.scan;
  s.channels.clear();
  const int half = channels_ / 2;
  for (int ch = 0; ch < channels_; ++ch) {
    if (ch >= half && s.functions[static_cast<std::size_t>(ch - half)] == Fn::FRes) continue;  // a sense pair
    if (s.functions[static_cast<std::size_t>(ch)] != Fn::None) s.channels.push_back(ch);
  }
  if (s.channels.empty() && s.count > 0) return PushError(-221);
  s.running = true;
  s.stepMode = c.entry.arg == 1;
  s.startMs = clock_->Now().toMSecsSinceEpoch();
  s.abortedAt = -1;
  s.firstReading = readingCounter_;
  readingCounter_ += static_cast<std::uint64_t>(std::max(s.count, 0));
  state_.memoryFromScan = true;
}

void SimMeter::ScanProgress(Call& c) {
  if (!model_->scanner) return PushError(-113);
  if (NeedParams(c, 0, 0)) Reply(c, FormatInt(ScanProgressNow().counted));
}

void SimMeter::ScanAbort(Call& c) {
  if (!NeedParams(c, 0, 0)) return;
  if (state_.scan.running && state_.scan.abortedAt < 0) state_.scan.abortedAt = ScanProgressNow().ready;
}

// --- The unsupported instrument: a small power supply ---

void SimMeter::SupplyVoltage(Call& c) {
  if (c.cmd.query) {
    if (NeedParams(c, 0, 0)) Reply(c, FormatReal(state_.psu.voltage));
    return;
  }
  double v = 0;
  if (!NeedParams(c, 1, 1)) return;
  if (!ParseScpiNumber(c.cmd.params[0], &v)) return PushError(-104);
  if (v < 0 || v > 30) return PushError(-222);
  state_.psu.voltage = v;
}

void SimMeter::SupplyCurrent(Call& c) {
  if (c.cmd.query) {
    if (NeedParams(c, 0, 0)) Reply(c, FormatReal(state_.psu.current));
    return;
  }
  double v = 0;
  if (!NeedParams(c, 1, 1)) return;
  if (!ParseScpiNumber(c.cmd.params[0], &v)) return PushError(-104);
  if (v < 0 || v > 3) return PushError(-222);
  state_.psu.current = v;
}

void SimMeter::SupplyOutput(Call& c) {
  if (c.cmd.query) {
    if (NeedParams(c, 0, 0)) Reply(c, state_.psu.output ? "1" : "0");
    return;
  }
  if (!NeedParams(c, 1, 1)) return;
  const auto on = ParseScpiBool(c.cmd.params[0]);
  if (!on) return PushError(-224);
  state_.psu.output = *on;
}

void SimMeter::SupplyMeasure(Call& c) {
  if (!NeedParams(c, 0, 0)) return;
  const PowerSupplyState& p = state_.psu;
  // A resistive load of 100 ohm, limited by the current setting.
  const double amps = p.output ? std::min(p.voltage / 100.0, p.current) : 0.0;
  const double volts = p.output ? std::min(p.voltage, p.current * 100.0) : 0.0;
  Reply(c, FormatReal(c.entry.arg == 0 ? volts : amps));
}

}  // namespace merilog::sim
