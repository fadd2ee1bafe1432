#include "sim/SimModel.h"

#include <algorithm>

namespace merilog::sim {
namespace {

const std::vector<double> kBasicNplc = {0.02, 0.1, 1, 10};
const std::vector<double> kDualNplc = {0.001, 0.006, 0.02, 0.06, 0.2, 0.6, 1, 2, 10, 100};
const std::vector<std::string> kBasicRtd = {"PT100", "D100", "F100", "PT385", "PT3916", "SPRTD", "USER"};
const std::vector<std::string> kDualRtd = {"PT100", "D100", "F100", "PT385", "PT3916", "NTCT", "SPRTD", "USER"};
const std::vector<std::string> kTCouples = {"K", "J", "R", "S", "T", "E", "N", "B", "C"};

SimModelInfo Basic(std::string key, std::string field) {
  SimModelInfo m;
  m.key = std::move(key);
  m.modelField = std::move(field);
  m.version = "1.02";
  m.dcCurrentRanges = {0.01, 0.1, 1, 3};
  m.acCurrentRanges = {1, 3};
  m.nplcValues = kBasicNplc;
  m.defaultNplc = 10;
  m.rtdTypes = kBasicRtd;
  m.ratioOnDcVoltage = true;
  return m;
}

SimModelInfo Dual(std::string key, std::string field) {
  SimModelInfo m = Basic(std::move(key), std::move(field));
  m.version = "2.05";
  m.dual = true;
  m.ratioOnDcVoltage = false;
  m.tcoupleAndCap = true;
  m.dcCurrentRanges.push_back(10);
  m.acCurrentRanges.push_back(10);
  m.nplcValues = kDualNplc;
  m.rtdTypes = kDualRtd;
  m.tcoupleTypes = kTCouples;
  m.capMaxRange = 0.01;
  return m;
}

const std::vector<SimModelInfo>& Models() {
  static const std::vector<SimModelInfo> kModels = [] {
    std::vector<SimModelInfo> v;
    v.push_back(Basic("6081", "MODEL 6081"));
    v.push_back(Dual("6082", "MODEL 6082"));
    SimModelInfo mr = Dual("MR6082", "MODEL MR6082");
    mr.secondTCouple = false;
    v.push_back(mr);
    // The ratio variant is a basic meter whose ratio settings live under "VOLT:DC:RAT".
    SimModelInfo ratio = Basic("P7710", "MODEL 6081 P7710");
    ratio.ratioOnDcVoltage = false;
    v.push_back(ratio);
    SimModelInfo scanner = Basic("P7700A", "MODEL P7700A");
    scanner.scanner = true;
    v.push_back(scanner);
    SimModelInfo psu;
    psu.key = "PSU";
    psu.modelField = "PSU 3303";
    psu.version = "3.10";
    psu.meter = false;
    v.push_back(psu);
    return v;
  }();
  return kModels;
}

}  // namespace

const SimModelInfo* FindModel(std::string_view key) {
  const std::string wanted = ToUpper(key);
  for (const auto& m : Models())
    if (m.key == wanted) return &m;
  return nullptr;
}

std::vector<std::string> ModelKeys() {
  std::vector<std::string> keys;
  for (const auto& m : Models()) keys.push_back(m.key);
  return keys;
}

bool HasFunction(const SimModelInfo& model, Fn fn) {
  if (!model.meter) return false;
  switch (fn) {
    case Fn::TCouple:
    case Fn::Cap:
      return model.tcoupleAndCap;
    case Fn::FreqCurr:
    case Fn::PerCurr:
      return model.dual;
    case Fn::None:
      return false;
    default:
      return true;
  }
}

std::vector<double> RangesFor(const SimModelInfo& model, Fn fn, double capMaxRange) {
  switch (Info(fn).range) {
    case RangeKind::DcVolt:
      return {0.1, 1, 10, 100, 1000};
    // The top AC voltage range is rated for 750 V. Meters of the older firmware
    // report it as 1000; a dual meter with the 10 mF capacitance range (the
    // newer firmware) reports 750, as the program expects of it.
    case RangeKind::AcVolt:
      return {0.1, 1, 10, 100, model.dual && capMaxRange >= 0.01 ? 750.0 : 1000.0};
    case RangeKind::DcCurr:
      return model.dcCurrentRanges;
    case RangeKind::AcCurr:
      return model.acCurrentRanges;
    case RangeKind::Ohm:
      return {100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
    case RangeKind::Cap: {
      std::vector<double> r = {1e-9, 1e-8, 1e-7, 1e-6, 1e-5, 1e-4, 1e-3, 1e-2};
      r.erase(std::remove_if(r.begin(), r.end(), [&](double v) { return v > capMaxRange * 1.0000001; }), r.end());
      return r;
    }
    case RangeKind::None:
      break;
  }
  return {};
}

bool SecondAllowed(const SimModelInfo& model, Fn primary, Fn second) {
  if (second == Fn::None) return true;
  if (!model.dual) return false;
  if (second == Fn::TCouple && !model.secondTCouple) return false;
  // Primary function and the 2ND functions the meter measures together with it.
  static const std::vector<std::pair<Fn, std::vector<Fn>>> kPairs = {
      {Fn::VoltDc, {Fn::CurrDc, Fn::VoltAc, Fn::Freq, Fn::Per, Fn::TCouple}},
      {Fn::VoltAc, {Fn::VoltDc, Fn::CurrDc, Fn::Freq, Fn::Per, Fn::TCouple}},
      {Fn::CurrDc, {Fn::VoltDc, Fn::VoltAc, Fn::CurrAc, Fn::Freq, Fn::Per, Fn::FreqCurr, Fn::PerCurr, Fn::TCouple}},
      {Fn::CurrAc, {Fn::CurrDc, Fn::FreqCurr, Fn::PerCurr, Fn::TCouple}},
      {Fn::Res, {Fn::TCouple}},
      {Fn::FRes, {Fn::TCouple}},
      {Fn::Cap, {Fn::TCouple}},
      {Fn::Temp, {Fn::TCouple}},
      {Fn::Freq, {Fn::VoltDc, Fn::CurrDc, Fn::VoltAc, Fn::Per, Fn::TCouple}},
      {Fn::Per, {Fn::VoltDc, Fn::CurrDc, Fn::VoltAc, Fn::Freq, Fn::TCouple}},
      {Fn::TCouple,
       {Fn::VoltDc, Fn::CurrDc, Fn::Res, Fn::FRes, Fn::VoltAc, Fn::CurrAc, Fn::Freq, Fn::Per, Fn::FreqCurr, Fn::PerCurr,
        Fn::Cap, Fn::Temp}},
  };
  for (const auto& [p, allowed] : kPairs)
    if (p == primary) return std::find(allowed.begin(), allowed.end(), second) != allowed.end();
  return false;
}

}  // namespace merilog::sim
