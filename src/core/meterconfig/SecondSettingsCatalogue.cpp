#include "core/meterconfig/SecondSettingsCatalogue.h"

#include "core/measure/SecondFunction.h"

namespace merilog {

namespace {

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// The dialog finds a primary function's row by these keys in its long label;
// the allowed 2ND functions are those of the status panel's row.
struct CompatibilityKey {
  const char* key;
  int choicesRow;  // row of SecondFunctionChoices()
};
constexpr CompatibilityKey kCompatibilityKeys[] = {
    {"DC V", 0}, {"AC V", 1},  {"DC C", 2}, {"AC C", 3}, {"2W", 4},     {"4W", 5},
    {"CAP", 6},  {"TEMP", 10}, {"Freq", 7}, {"Per", 8},  {"TCOUPL", 9},
};

using Items = std::vector<std::string>;

struct RangeRow {
  const char* key;  // searched for in the 2ND label
  Items items;
};

const std::vector<RangeRow>& RangeRows() {
  static const Items ohm = {"AUTO", "100 OHM", "1K OHM", "10K OHM", "100K OHM", "1M OHM", "10M OHM", "100M OHM"};
  static const Items acVolt = {"AUTO", "0.1 VAC", "1 VAC", "10 VAC", "100 VAC", "750 VAC"};
  static const Items acCurr = {"AUTO", "1 AAC", "3 AAC", "10 AAC"};
  static const Items units = {"C", "F", "K"};
  static const std::vector<RangeRow> kRows = {
      {"DCV", {"AUTO", "0.1 V", "1 V", "10 V", "100 V", "1000 V"}},
      {"DCI", {"1 A", "3 A", "10 A"}},
      {"RES", ohm},
      {"FRES", ohm},
      {"ACV", {"AUTO", "0.1 V", "1 V", "10 V", "100 V", "750 V"}},
      {"ACI", {"AUTO", "1 A", "3 A", "10 A"}},
      {"CURR FREQ", acCurr},
      {"CURR PER", acCurr},
      {"FREQ", acVolt},
      {"PERIOD", acVolt},
      {"CAP", {"AUTO", "1n F", "10n F", "100n F", "1u F", "10u F", "100u F"}},
      {"TCOUPL", units},
      {"TEMP", units},
  };
  return kRows;
}

const Items kNplc = {"0.001", "0.006", "0.02", "0.06", "0.2", "0.6", "1", "2", "10", "100"};
const Items kBandwidth = {"3", "20", "200"};
const Items kAperture = {"0.01s", "0.1s", "1s"};
const Items kTypes = {"K", "J", "R", "S", "T", "E", "B", "N", "C"};
const Items kSensors = {"PT100", "D100", "F100", "PT385", "PT3916", "USER", "SPRTD", "NTCT"};

}  // namespace

const std::vector<SecondSettingsEntry>& SecondSettingsEntries() {
  static const std::vector<SecondSettingsEntry> kEntries = [] {
    std::vector<SecondSettingsEntry> v;
    for (const SecondFunctionName& n : SecondFunctionNames()) v.push_back({n.label, n.name, n.name});
    // Frequency and period of a voltage are written with the input named.
    v[static_cast<std::size_t>(SecondFunctionLabelIndex("FREQ"))].commandWord = "FREQ:VOLT";
    v[static_cast<std::size_t>(SecondFunctionLabelIndex("PERIOD"))].commandWord = "PER:VOLT";
    return v;
  }();
  return kEntries;
}

int SecondSettingsPosition(std::string_view label) {
  return SecondFunctionLabelIndex(label);
}

int SecondSettingsPositionOfAnswer(std::string_view answer) {
  return SecondFunctionLabelIndex(SecondFunctionNameToLabel(answer));
}

std::vector<std::string> SecondFunctionsFor(std::string_view primaryLabel, std::string_view identification) {
  for (const CompatibilityKey& k : kCompatibilityKeys)
    if (Contains(primaryLabel, k.key)) return SecondFunctionChoicesOfRow(k.choicesRow, identification).labels;
  return {};
}

SecondPanelLists SecondPanelListsFor(std::string_view secondLabel, bool capacitanceTo10mF) {
  SecondPanelLists p;
  if (secondLabel.empty() || Contains(secondLabel, "NONE")) return p;
  p.none = false;
  for (const RangeRow& row : RangeRows()) {
    if (!Contains(secondLabel, row.key)) continue;
    p.rangeItems = row.items;
    if (std::string_view(row.key) == "CAP" && capacitanceTo10mF) {
      p.rangeItems.push_back("1m F");
      p.rangeItems.push_back("10m F");
    }
    break;
  }
  p.rangeCaption = "Range";
  if (Contains(secondLabel, "CAP")) return p;
  p.secondShown = true;
  if (!Contains(secondLabel, "TCO") && !Contains(secondLabel, "TEMP")) {
    if (Contains(secondLabel, "FREQ") || Contains(secondLabel, "PER")) {
      p.secondCaption = "Aperture (s)";
      p.secondItems = kAperture;
    } else if (Contains(secondLabel, "AC")) {
      p.secondCaption = "Bandwidth (Hz)";
      p.secondItems = kBandwidth;
    } else {
      p.secondCaption = "NPLC";
      p.secondItems = kNplc;
    }
  } else {
    p.rangeCaption = "UNIT";
    const bool tco = Contains(secondLabel, "TCO");
    p.secondCaption = tco ? "TYPE" : "SENSOR";
    p.secondItems = tco ? kTypes : kSensors;
  }
  return p;
}

bool TemperaturePair(std::string_view primaryLabel, std::string_view secondLabel) {
  return (Contains(primaryLabel, "TEMP") && Contains(secondLabel, "TCO")) ||
         (Contains(primaryLabel, "TCO") && Contains(secondLabel, "TEMP"));
}

}  // namespace merilog
