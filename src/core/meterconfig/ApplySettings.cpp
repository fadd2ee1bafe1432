#include "core/meterconfig/ApplySettings.h"

#include <algorithm>
#include <span>

#include "core/base/Text.h"
#include "core/measure/ChartNumberText.h"
#include "core/measure/FunctionCatalogue.h"
#include "core/meterconfig/SecondSettingsCatalogue.h"
#include "core/meterconfig/SettingsLink.h"

namespace merilog {

namespace {

const std::string& At(std::span<const std::string> table, int position) {
  static const std::string kNothing;
  if (position < 0 || position >= static_cast<int>(table.size())) return kNothing;
  return table[static_cast<std::size_t>(position)];
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

ApplyOutcome Refused(std::string text, bool okCancel = true, std::string key = {}) {
  ApplyOutcome o;
  o.end = ApplyEnd::Refused;
  o.message = ApplyMessage{std::move(key), std::move(text), okCancel, okCancel};
  return o;
}

// One step of Set: nothing (go on) or how Set ends.
using Step = std::optional<ApplyOutcome>;

Step LostOr(SettingsLink& link, Step step = std::nullopt) {
  if (link.Lost()) return ApplyOutcome{ApplyEnd::Lost, std::nullopt, std::nullopt};
  return step;
}

// Writes the unit and asks it back: "UNIT" from the 2ND range box when the 2ND
// side carries the unit, else "SENS:UNIT" from the second-choice box.
Step ApplyUnit(SettingsLink& link, const ApplyRequest& r, bool fromSecondRange) {
  const int position = fromSecondRange ? r.secondRange : r.second;
  if (position < 0) return std::nullopt;  // the meter's unit is none the box offers: left alone
  const std::string& unit = At(UnitWords(), position);
  const std::string prefix = fromSecondRange ? "UNIT" : "SENS:UNIT";
  link.Write(prefix + " " + unit + "\n");
  const std::string answer = link.Query(prefix + "?\n");
  if (link.Lost()) return LostOr(link);
  if (!Contains(answer, unit)) return Refused("Shift UNIT error. Try again.");
  return std::nullopt;
}

Step ApplyCoefficients(SettingsLink& link, const ApplyRequest& r, int sensor) {
  const CoefficientLayout* layout = CoefficientLayoutFor(sensor);
  if (!layout) return std::nullopt;
  // Every field is checked before any coefficient is written.
  for (const CoefficientField& field : layout->fields) {
    const std::optional<double>& v = r.coefficients[static_cast<std::size_t>(field.slot)];
    if (!v) return Refused("Please input a valid value.", false, "1022");
    if (*v < field.min || *v > field.max) return Refused(field.message, false, field.messageKey);
  }
  for (const CoefficientField& field : layout->fields) {
    std::string command = field.command;
    ReplaceAll(command, "%g", CoefficientText(*r.coefficients[static_cast<std::size_t>(field.slot)]));
    link.Write(command);
  }
  return std::nullopt;
}

Step ApplyTemperature(SettingsLink& link, const ApplyRequest& r) {
  // A sensor the box does not offer stays, with its coefficients.
  if (r.range >= 0) {
    const std::string& sensor = At(RangeListFor(kTemperature, r.model, false).labels, r.range);
    link.Write("SENS:TEMP:RTD:TYPE " + sensor + "\n");
    const std::string answer = link.Query("SENS:TEMP:RTD:TYPE?\n");
    if (link.Lost()) return LostOr(link);
    if (!Contains(answer, sensor)) return Refused("Converting data error，please retry");
  }
  link.Write("SENS:TEMPerature:TRANsducer " + At(TransducerWords(), r.transducer) + "\n");
  if (r.range >= 0)
    if (Step s = ApplyCoefficients(link, r, SensorFromBoxPosition(r.range, r.model))) return s;
  return ApplyUnit(link, r, r.secondLabel == "TCOUPL");
}

Step ApplyThermocouple(SettingsLink& link, const ApplyRequest& r) {
  link.Write("SENS:TEMPerature:TRANsducer " + At(TransducerWords(), r.secondTransducer) + "\n");
  if (r.range >= 0) {
    const std::string& type = At(RangeListFor(kThermocouple, SettingsModel::Dual, false).labels, r.range);
    link.Write("SENS:TCO:TYPE " + type + "\n");
    const std::string answer = link.Query("SENS:TCO:TYPE?\n");
    if (link.Lost()) return LostOr(link);
    if (!Contains(answer, type)) return Refused("Shift TCopule TYPE error. Try again.");
  }
  return ApplyUnit(link, r, r.secondLabel == "TEMP");
}

double RangeValue(const ApplyRequest& r) {
  const RangeList& list = RangeListFor(r.function, r.model, r.capacitanceTo10mF);
  if (r.range < 0 || r.range >= kRangeSlots) return 0;
  return list.values[static_cast<std::size_t>(r.range)];
}

void ApplyInputRange(SettingsLink& link, const ApplyRequest& r) {
  const std::string& word = SettingsEntry(r.function).word;
  const double value = RangeValue(r);
  // An input range the box does not offer is left as the meter has it.
  if (r.range >= 0)
    link.Write("SENS:" + word +
               (value == 0 ? std::string(":volt:rang:auto on\n") : ":volt:rang " + FixedText(value, 1) + "\n"));
  if (r.second >= 0 && r.second < static_cast<int>(ApertureValues().size()))
    link.Write("SENS:freq:APER " + At(ApertureValues(), r.second) + "\n");
}

bool AutoLabel(const ApplyRequest& r) {
  return At(SettingsEntry(r.function).a.labels, r.range) == "AUTO";
}

Step ApplyRange(SettingsLink& link, const ApplyRequest& r) {
  const bool dualRatio = r.model == SettingsModel::Dual && r.function == kDcRatio;
  // The basic model takes the ratio's range as that of DC voltage.
  const std::string word = r.model != SettingsModel::Dual && r.function == kDcRatio ? SettingsEntry(kDcVoltage).word
                                                                                    : SettingsEntry(r.function).word;
  const std::string sens = "SENS:" + word;
  if (r.range < 0) return std::nullopt;  // a range the box does not offer: left alone
  if (AutoLabel(r)) {
    if (LeadingNumber(link.Query(sens + ":RANG?\n")) == 10) link.Write(sens + ":RANG 1\n");
    link.Write(dualRatio ? "SENS:VOLT:DC:RAT:RANGE:AUTO 1\n" : sens + ":RANG:AUTO 1\n");
    const std::string answer =
        CleanAnswer(link.Query(dualRatio ? "SENS:VOLT:DC:RAT:RANGE:AUTO?\n" : sens + ":RANG:AUTO?\n"));
    if (link.Lost()) return LostOr(link);
    if (!Contains(answer, "1")) return Refused("Shift AUTO RANGE error. Try again.");
    return std::nullopt;
  }
  const std::string range = dualRatio ? "SENS:VOLT:DC:RAT:RANGE" : sens + ":RANGE";
  const double value = RangeValue(r);
  link.Write(range + ":AUTO 0\n");
  link.Write(range + " " + FixedText(value, 12) + "\n");
  const double answer = LeadingNumber(link.Query(range + "?\n"));
  if (link.Lost()) return LostOr(link);
  // The 750 V AC range reports itself as 1000; list C leaves that out.
  const bool listC = r.model == SettingsModel::Dual && r.capacitanceTo10mF;
  const bool ac750 = r.function == kAcVoltage && r.range == 5 && answer == 1000 && !listC;
  if (answer != value && !ac750) return Refused("Shift RANGE error. Try again.");
  return std::nullopt;
}

// The second setting after the function's own steps; nullopt: read back.
Step ApplySecondSetting(SettingsLink& link, const ApplyRequest& r) {
  const int f = r.function;
  const ApplyOutcome finished{ApplyEnd::Finished, std::nullopt, std::nullopt};
  // A second setting the box does not offer is left as the meter has it.
  auto write = [&link, &r](const std::string& command) {
    if (r.second >= 0) link.Write(command);
  };
  if (r.model != SettingsModel::Dual) {
    if (f == kAcVoltage || f == kAcCurrent) {
      write("SENS:DET:BAND " + At(BandwidthValues(), r.second) + "\n");
    } else if (f == kDcVoltage || f == kDcCurrent || f == kResistance2W || f == kResistance4W || f == kDcRatio) {
      const std::string& word = SettingsEntry(f == kDcRatio ? kDcVoltage : f).word;
      write("SENS:" + word + ":NPLC " + At(BasicResolutionTimes(r.hewl), r.second) + "\n");
    } else {
      return finished;
    }
    return LostOr(link);
  }
  ApplySecondFunction(link, r);
  switch (f) {
    case kDcVoltage:
    case kDcCurrent:
    case kResistance2W:
    case kResistance4W:
      write("SENS:" + SettingsEntry(f).word + ":NPLC " + At(DualIntegrationTimes(), r.second) + "\n");
      break;
    case kAcVoltage:
    case kAcCurrent:
      write("SENS:DET:BAND " + At(BandwidthValues(), r.second) + "\n");
      break;
    case kFrequency:
    case kPeriod:
      write("SENS:freq:APER " + At(ApertureValues(), r.second) + "\n");
      break;
    case kDcRatio:
      write("SENS:VOLT:DC:RAT:NPLC " + At(DualIntegrationTimes(), r.second) + "\n");
      break;
    case kTemperature:
    case kThermocouple:
      return ApplyUnit(link, r, r.secondLabel == "TEMP" || r.secondLabel == "TCOUPL");
    default:
      return LostOr(link, finished);
  }
  return LostOr(link);
}

}  // namespace

std::string SecondRangeNumberText(std::string label) {
  for (const char* unit : {"VAC", "AAC", "OHM"}) ReplaceAll(label, unit, "");
  if (Contains(label, "M")) ReplaceAll(label, "M", "000000");
  if (Contains(label, "K")) ReplaceAll(label, "K", "000");
  if (Contains(label, "m")) ReplaceAll(label, "m F", "E-3");
  if (Contains(label, "u")) ReplaceAll(label, "u F", "E-6");
  if (Contains(label, "n")) ReplaceAll(label, "n F", "E-9");
  return label;
}

void ApplySecondFunction(SettingsLink& link, const ApplyRequest& r) {
  const std::string& label = r.secondLabel;
  const int position = SecondSettingsPosition(label);
  const std::string& word = SecondSettingsEntries()[static_cast<std::size_t>(position)].commandWord;
  link.Write("Function2 \"" + word + "\"\n");
  if (position == kSecondSettingsNone) return;

  std::string range;
  if (!Contains(label, "TCO") && !Contains(label, "TEMP")) {
    if (r.secondRangeLabel.empty()) {
      // A 2ND range the box does not offer (nothing selected) is left as the meter has it.
    } else if (Contains(r.secondRangeLabel, "AUTO")) {
      if (LeadingNumber(link.Query(word + ":range?\n")) == 10) link.Write(word + ":range 1\n");
      range = word + ":range:auto ON\n";
    } else {
      range = word + ":range " + SecondRangeNumberText(r.secondRangeLabel) + "\n";
    }
  } else if (!r.secondRangeLabel.empty()) {
    range = "UNIT " + r.secondRangeLabel + "\n";
  }
  // With RTD and thermocouple together the unit is the primary side's.
  if (!range.empty() && !TemperaturePair(r.primaryLabel, label)) link.Write(range);

  const std::string& text = r.secondChoiceText;
  if (Contains(label, "CAP") || text.empty()) return;
  if (Contains(label, "TCO")) {
    link.Write("TCO:TYPE " + text + "\n");
  } else if (Contains(label, "TEMP")) {
    link.Write("TEMP:RTD:TYPE " + text + "\n");
  } else if (Contains(label, "AC")) {
    link.Write("DETector:BANDwidth " + text + "\n");
  } else if (!Contains(label, "FREQ") && !Contains(label, "PER")) {
    link.Write(word + ":nplc " + text + "\n");
  } else {
    std::string value = text;
    value.erase(std::remove(value.begin(), value.end(), 's'), value.end());
    std::string family = word;
    ReplaceAll(family, ":VOLT", "");
    ReplaceAll(family, ":CURR", "");
    link.Write(family + ":aper " + value + "\n");
  }
}

ApplyOutcome ApplySettings(Session* session, const ApplyRequest& r) {
  SettingsLink link(session);
  const bool dual = r.model == SettingsModel::Dual;
  const int f = r.function;
  if (dual && r.secondLabel == "NONE" && f == kDcCurrent && r.range >= 0 && r.range < 3) {
    // The small current ranges need the 2ND function off.
    if (!Contains(link.Query("func2?\n"), "NONE")) link.Write("func2 \"NONE\"\n");
  }
  link.Write("CONF:" + SettingsEntry(f).word + "\n");
  const std::string raw = link.Query("func?\n");
  if (link.Lost()) return *LostOr(link);
  if (raw.empty()) return ApplyOutcome{};
  std::string answer = WithDcSuffix(CleanAnswer(raw));
  if (Contains(answer, "TCouple")) answer.erase(std::remove(answer.begin(), answer.end(), 'e'), answer.end());
  if (answer != FunctionCatalogue()[static_cast<std::size_t>(f)].functionName)
    return Refused("Shift FUNCTION error.Try again.");

  Step step;
  switch (f) {
    case kContinuity:
    case kDiode:
      step = ApplyOutcome{ApplyEnd::Finished, std::nullopt, std::nullopt};
      break;
    case kTemperature:
      step = ApplyTemperature(link, r);
      break;
    case kThermocouple:
      step = ApplyThermocouple(link, r);
      break;
    case kFrequency:
    case kPeriod:
      ApplyInputRange(link, r);
      step = LostOr(link);
      break;
    default:
      step = ApplyRange(link, r);
      break;
  }
  if (!step) step = ApplySecondSetting(link, r);
  ApplyOutcome outcome = step ? *step : ApplyOutcome{ApplyEnd::ReadBack, std::nullopt, std::nullopt};
  if (r.range >= 0) outcome.autoRange = AutoLabel(r);
  return outcome;
}

}  // namespace merilog
