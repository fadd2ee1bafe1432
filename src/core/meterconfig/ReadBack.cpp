#include "core/meterconfig/ReadBack.h"

#include <span>

#include "core/base/Text.h"
#include "core/measure/ChartNumberText.h"
#include "core/measure/FunctionCatalogue.h"
#include "core/meterconfig/SecondSettingsCatalogue.h"
#include "core/meterconfig/SettingsLink.h"

namespace merilog {

namespace {

// What a 750 V range may answer to its range query.
constexpr double k750VRangeAnswer = 1000;

// The catalogue row whose func? name equals the answer exactly, or -1.
int FunctionOfAnswer(const std::string& answer) {
  const auto catalogue = FunctionCatalogue();
  for (int i = 0; i < static_cast<int>(catalogue.size()); ++i)
    if (catalogue[static_cast<std::size_t>(i)].functionName == answer) return i;
  return -1;
}

// Position of the number in the table, or the table's length.
int FindNumber(std::span<const double> table, double value) {
  for (int i = 0; i < static_cast<int>(table.size()); ++i)
    if (table[static_cast<std::size_t>(i)] == value) return i;
  return static_cast<int>(table.size());
}

std::vector<double> Numbers(std::span<const std::string> texts) {
  std::vector<double> v;
  for (const std::string& t : texts) v.push_back(LeadingNumber(t));
  return v;
}

// The first unit word the answer contains, or the table's length.
int FindUnit(const std::string& answer) {
  const auto units = UnitWords();
  for (int i = 0; i < static_cast<int>(units.size()); ++i)
    if (Contains(answer, units[static_cast<std::size_t>(i)])) return i;
  return static_cast<int>(units.size());
}

// The second setting of the function: the query and the table its answer is found in.
struct SecondQuery {
  std::string command;
  std::vector<double> table;
  bool unit = false;
};

std::optional<SecondQuery> SecondQueryFor(int f, const ReadBackRequest& r) {
  const bool dual = r.model == SettingsModel::Dual;
  const std::vector<double> times =
      dual ? Numbers(DualIntegrationTimes())
           : std::vector<double>(BasicResolutionMatches(r.hewl).begin(), BasicResolutionMatches(r.hewl).end());
  switch (f) {
    case kDcRatio:
      if (dual) return SecondQuery{"SENS:VOLT:DC:RAT:NPLC?\n", times};
      return SecondQuery{"SENS:" + SettingsEntry(kDcVoltage).word + ":NPLC?\n", times};
    case kDcVoltage:
    case kDcCurrent:
    case kResistance2W:
    case kResistance4W:
      return SecondQuery{"SENS:" + SettingsEntry(f).word + ":NPLC?\n", times};
    case kAcVoltage:
    case kAcCurrent:
      return SecondQuery{"SENS:DET:BAND?\n", Numbers(BandwidthValues())};
    case kFrequency:
      return SecondQuery{"SENS:FREQ:APER?\n", Numbers(ApertureValues())};
    case kPeriod:
      return SecondQuery{"SENS:PER:APER?\n", Numbers(ApertureValues())};
    case kTemperature:
    case kThermocouple:
      return SecondQuery{"SENS:UNIT?\n", {}, true};
    default:
      return std::nullopt;
  }
}

// The range of every function but the temperatures, continuity and diode.
void ReadRange(SettingsLink& link, int f, const std::string& word, const ReadBackRequest& r, ReadBackResult* out) {
  const bool dual = r.model == SettingsModel::Dual;
  const bool dualRatio = dual && f == kDcRatio;
  const bool frequency = f == kFrequency || f == kPeriod;
  std::string autoQuery = word + ":range:auto?\n";
  std::string rangeQuery = word + ":range?\n";
  if (frequency) {
    autoQuery = "SENS:" + word + ":volt:rang:auto?\n";
    rangeQuery = "SENS:" + word + ":volt:rang?\n";
  } else if (dualRatio) {
    autoQuery = "SENS:VOLT:DC:RAT:RANGE:AUTO?\n";
    rangeQuery = "SENS:VOLT:DC:RAT:RANGE?\n";
  }
  const std::string isAuto = CleanAnswer(link.Query(autoQuery));
  if (link.Lost()) return;
  if (Contains(isAuto, "1")) {
    out->rangePosition = 0;
    out->rangeFound = true;
    out->rangeBoxPosition = 0;
    return;
  }
  const double value = LeadingNumber(link.Query(rangeQuery));
  if (link.Lost()) return;
  const RangeList& list = RangeListFor(f, r.model, r.capacitanceTo10mF);
  const int last = dual ? 8 : 7;
  auto find = [&](double v) {
    for (int i = 0; i <= last; ++i)
      if (list.values[static_cast<std::size_t>(i)] == v) return i;
    return last + 1;
  };
  int found = find(value);
  // A 750 V range reports itself as 1000 on some meters: wherever 750 V is offered, 1000 is it.
  if (found > last && value == k750VRangeAnswer) found = find(750);
  out->rangePosition = found;
  out->rangeFound = found <= last;
  if (out->rangeFound)
    out->rangeBoxPosition = found;
  else
    out->rangeNotOffered = GeneralText(value);
}

// TEMP and TCOUPLE: wiring, sensor or type, the coefficients, and on the dual
// model the 2ND function. False when the read-back ends here.
bool ReadSensor(SettingsLink& link, int f, const std::string& word, const ReadBackRequest& r, ReadBackResult* out) {
  const bool dual = r.model == SettingsModel::Dual;
  std::string answer;
  if (f == kTemperature) {
    out->primaryFourWire = link.Query("SENS:TEMPerature:TRANsducer?\n") == "FRTD" ? 1 : 0;
    answer = link.Query("SENS:" + word + ":RTD:TYPE?\n");
  } else {
    answer = link.Query("SENS:" + word + ":TYPE?\n");
  }
  if (link.Lost()) return false;
  const RangeList& list = RangeListFor(f, r.model, r.capacitanceTo10mF);
  const int labels = static_cast<int>(list.labels.size());
  int position = -1;
  if (!dual) {
    for (int i = 0; i <= 8 && i < labels; ++i) {
      if (list.labels[static_cast<std::size_t>(i)] == answer) {
        position = i;
        break;
      }
    }
    if (position < 0) {
      out->rangePosition = 9;
      out->rangeNotOffered = CleanAnswer(answer);
      return false;
    }
    if (f == kTemperature) position = SensorFromBoxPosition(position, r.model);
  } else {
    out->second = ReadBackSecondFunction(link, SettingsEntry(f).label, r.capacitanceTo10mF);
    if (link.Lost()) return false;
    for (int i = 0; i < labels; ++i) {
      if (Contains(answer, list.labels[static_cast<std::size_t>(i)])) {
        position = i;
        break;
      }
    }
    if (position < 0) {
      out->rangePosition = labels;
      out->rangeNotOffered = CleanAnswer(answer);
      return false;
    }
  }
  out->rangePosition = position;
  out->rangeFound = true;
  if (f == kTemperature && CoefficientLayoutFor(position)) {
    out->rangeBoxPosition = BoxPositionFromSensor(position, r.model);
    out->coefficients = QueryCoefficients(link, position);
  }
  return !link.Lost();
}

}  // namespace

CoefficientValues QueryCoefficients(SettingsLink& link, int sensor) {
  CoefficientValues c;
  c.sensor = sensor;
  const CoefficientLayout* layout = CoefficientLayoutFor(sensor);
  if (!layout) return c;
  for (const CoefficientField& field : layout->fields)
    c.values[static_cast<std::size_t>(field.slot)] = LeadingNumber(link.Query(field.query));
  return c;
}

ReadBackResult ReadBackSettings(Session* session, const ReadBackRequest& request) {
  SettingsLink link(session);
  ReadBackResult out;
  const std::string raw = link.Query("func?\n");
  out.lost = link.Lost();
  if (raw.empty()) return out;
  const std::string word = WithDcSuffix(CleanAnswer(raw));
  const int f = FunctionOfAnswer(word);
  if (f < 0) return out;
  out.function = f;
  out.secondChoice = 0;

  if (const std::optional<SecondQuery> q = SecondQueryFor(f, request)) {
    const std::string answer = link.Query(q->command);
    const int n = q->unit ? FindUnit(answer) : FindNumber(q->table, LeadingNumber(answer));
    const int size = q->unit ? static_cast<int>(UnitWords().size()) : static_cast<int>(q->table.size());
    out.secondChoice = n;
    out.secondChoiceFound = n < size;
    if (link.Lost()) {
      out.lost = true;
      return out;
    }
    // A setting the box does not offer is shown as such; the range is still
    // read, so no box shows a value the meter does not hold.
    if (!out.secondChoiceFound)
      out.secondChoiceNotOffered = q->unit ? CleanAnswer(answer) : GeneralText(LeadingNumber(answer));
  }
  ReadBackRequest r = request;
  if (request.model == SettingsModel::Dual) {
    r.capacitanceTo10mF = LeadingNumber(link.Query("SENS:CAP:rang? MAX\n")) == 0.01;
    out.capacitanceTo10mF = r.capacitanceTo10mF;
  }
  if (f == kTemperature || f == kThermocouple) {
    ReadSensor(link, f, word, r, &out);
  } else if (f != kContinuity && f != kDiode) {
    ReadRange(link, f, word, r, &out);
  }
  out.lost = link.Lost();
  return out;
}

SecondReadBack ReadBackSecondFunction(SettingsLink& link, const std::string& primaryLabel, bool capacitanceTo10mF) {
  SecondReadBack s;
  s.primaryLabel = primaryLabel;
  const std::string word = CleanAnswer(link.Query("func2?\n"));
  if (link.Lost()) return s;
  s.functionPosition = SecondSettingsPositionOfAnswer(word);
  const SecondSettingsEntry& entry = SecondSettingsEntries()[static_cast<std::size_t>(s.functionPosition)];
  const std::string& label = entry.label;
  const SecondPanelLists lists = SecondPanelListsFor(label, capacitanceTo10mF);
  if (lists.none) return s;

  auto position = [](const std::vector<std::string>& items, const std::string& item) -> std::optional<int> {
    for (int i = 0; i < static_cast<int>(items.size()); ++i)
      if (items[static_cast<std::size_t>(i)] == item) return i;
    return std::nullopt;
  };
  auto positionOfNumber = [](const std::vector<std::string>& items, double value) -> std::optional<int> {
    for (int i = 0; i < static_cast<int>(items.size()); ++i)
      if (LeadingNumber(items[static_cast<std::size_t>(i)]) == value) return i;
    return std::nullopt;
  };

  if (!Contains(label, "TCO") && !Contains(label, "TEMP")) {
    const std::string isAuto = link.Query(word + ":range:auto?\n");
    if (link.Lost()) return s;
    if (!Contains(isAuto, "0")) {
      s.rangePosition = position(lists.rangeItems, "AUTO");
      if (!s.rangePosition) s.rangeNotOffered = "AUTO";  // DCI offers no AUTO
    } else {
      const std::string answer = link.Query(word + ":range?\n");
      if (link.Lost()) return s;
      // Resistance and capacitance ranges are told apart by the exponent of the answer.
      struct Exponent {
        const char* text;
        const char* label;
      };
      static const Exponent kOhm[] = {{"02", "100 OHM"}, {"03", "1K OHM"},  {"04", "10K OHM"}, {"05", "100K OHM"},
                                      {"06", "1M OHM"},  {"07", "10M OHM"}, {"08", "100M OHM"}};
      static const Exponent kCap[] = {{"09", "1n F"}, {"08", "10n F"}, {"07", "100n F"},
                                      {"06", "1u F"}, {"05", "10u F"}, {"04", "100u F"}};
      auto byExponent = [&](std::span<const Exponent> table) {
        for (const Exponent& e : table)
          if (Contains(answer, e.text)) s.rangePosition = position(lists.rangeItems, e.label);
        if (!s.rangePosition) s.rangeNotOffered = CleanAnswer(answer);
      };
      if (label == "RES" || label == "FRES") {
        byExponent(kOhm);
      } else if (label == "CAP") {
        byExponent(kCap);
      } else {
        double value = LeadingNumber(answer);
        if ((label == "FREQ" || label == "PERIOD") && value >= 750) value = 750;
        s.rangePosition = positionOfNumber(lists.rangeItems, value);
        // As for the primary range: 1000 is the 750 V range wherever that is offered.
        if (!s.rangePosition && value == k750VRangeAnswer) s.rangePosition = positionOfNumber(lists.rangeItems, 750);
        if (!s.rangePosition) s.rangeNotOffered = GeneralText(value);
      }
    }
  } else {
    const std::string answer = link.Query("UNIT?\n");
    if (link.Lost()) return s;
    const int unit = FindUnit(answer);
    if (unit < static_cast<int>(UnitWords().size()))
      s.rangePosition = position(lists.rangeItems, UnitWords()[static_cast<std::size_t>(unit)]);
    if (!s.rangePosition) s.rangeNotOffered = CleanAnswer(answer);
  }

  if (!lists.secondShown) return s;
  std::string query;
  bool numeric = true;
  if (Contains(label, "FREQ") || Contains(label, "PER")) {
    // The command word names the input ("FREQ:VOLT"); the aperture is the whole family's.
    std::string family = entry.commandWord;
    for (const char* input : {":VOLT", ":CURR"})
      if (const auto at = family.find(input); at != std::string::npos) family.replace(at, 5, ":");
    query = family + "APERture?\n";
  } else if (Contains(label, "AC")) {
    query = "DETector:BANDwidth?\n";
  } else if (Contains(label, "TEMP")) {
    query = "TEMP:RTD:TYPE?\n";
    numeric = false;
  } else if (Contains(label, "TCO")) {
    query = "TCO:TYPE?\n";
    numeric = false;
  } else {
    query = word + ":nplc?\n";
  }
  const std::string answer = link.Query(query);
  if (link.Lost()) return s;
  s.secondPosition = numeric ? positionOfNumber(lists.secondItems, LeadingNumber(answer))
                             : position(lists.secondItems, CleanAnswer(answer));
  if (!s.secondPosition) s.secondNotOffered = numeric ? GeneralText(LeadingNumber(answer)) : CleanAnswer(answer);
  return s;
}

SecondReadBack ReadBackSecondFunction(Session* session, const std::string& primaryLabel, bool capacitanceTo10mF,
                                      bool* lost) {
  SettingsLink link(session);
  SecondReadBack s = ReadBackSecondFunction(link, primaryLabel, capacitanceTo10mF);
  if (lost) *lost = link.Lost();
  return s;
}

}  // namespace merilog
