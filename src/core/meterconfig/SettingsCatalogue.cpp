#include "core/meterconfig/SettingsCatalogue.h"

#include <utility>

#include "core/base/MessageTable.h"

namespace merilog {

namespace {

using Labels = std::vector<std::string>;
using Values = std::array<double, kRangeSlots>;

RangeList List(Labels labels, Values values = {}) {
  return RangeList{std::move(labels), values};
}

FunctionSettingsEntry Entry(std::string label, std::string key, std::string word, RangeList a, RangeList b,
                            RangeList c) {
  return FunctionSettingsEntry{std::move(label), std::move(key), std::move(word),
                               std::move(a),     std::move(b),   std::move(c)};
}

// One list for all three models.
FunctionSettingsEntry Same(std::string label, std::string key, std::string word, const RangeList& list) {
  return Entry(std::move(label), std::move(key), std::move(word), list, list, list);
}

std::vector<FunctionSettingsEntry> BuildCatalogue() {
  const RangeList dcVolt =
      List({"AUTO", "100m Vdc", "1 Vdc", "10 Vdc", "100 Vdc", "1000 Vdc"}, {0, 0.1, 1, 10, 100, 1000});
  const RangeList dcCurrA = List({"AUTO", "10m Adc", "100m Adc", "1 Adc", "3 Adc"}, {0, 0.01, 0.1, 1, 3});
  const RangeList dcCurrB = List({"AUTO", "10m Adc", "100m Adc", "1 Adc", "3 Adc", "10 Adc"}, {0, 0.01, 0.1, 1, 3, 10});
  const RangeList acVolt =
      List({"AUTO", "100m Vac", "1 Vac", "10 Vac", "100 Vac", "750 Vac"}, {0, 0.1, 1, 10, 100, 750});
  const RangeList acCurrA = List({"AUTO", "1 Aac", "3 Aac"}, {0, 1, 3});
  const RangeList acCurrB = List({"AUTO", "1 Aac", "3 Aac", "10 Aac"}, {0, 1, 3, 10});
  const RangeList ohm = List({"AUTO", "100 ohm", "1K ohm", "10K ohm", "100K ohm", "1M ohm", "10M ohm", "100M ohm"},
                             {0, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8});
  const RangeList autoOnly = List({"AUTO"});
  const RangeList sensorsA = List({"PT100", "D100", "F100", "PT385", "PT3916", "SPRTD", "USER"});
  const RangeList sensorsB = List({"PT100", "D100", "F100", "PT385", "PT3916", "NTCT", "SPRTD", "USER"});
  const RangeList typesA = List({"E", "J", "K", "N", "R", "S", "T", "C"});
  const RangeList typesB = List({"K", "J", "R", "S", "T", "E", "N", "B", "C"});
  // The 1 mF and 10 mF values stand in every capacitance list, labelled or not.
  const Values capValues = {0, 1e-9, 1e-8, 1e-7, 1e-6, 1e-5, 1e-4, 0.001, 0.01};
  const RangeList capA = List({"AUTO", "1 nF", "10 nF", "100 nF", "1 uF", "10 uF", "100 uF"}, capValues);
  const RangeList capC =
      List({"AUTO", "1 nF", "10 nF", "100 nF", "1 uF", "10 uF", "100 uF", "1 mF", "10 mF"}, capValues);

  std::vector<FunctionSettingsEntry> v;
  v.push_back(Same("DC Voltage", "71", "VOLT:DC", dcVolt));
  v.push_back(Entry("DC Current", "72", "CURR:DC", dcCurrA, dcCurrB, dcCurrB));
  v.push_back(Same("AC Voltage", "73", "VOLT:AC", acVolt));
  v.push_back(Entry("AC Current", "74", "CURR:AC", acCurrA, acCurrB, acCurrB));
  v.push_back(Same("Resistance(2W)", "75", "RES", ohm));
  v.push_back(Same("Resistance(4W)", "76", "FRES", ohm));
  // The range of frequency and period is that of the input's AC voltage.
  v.push_back(Same("Frequency", "77", "FREQ", acVolt));
  v.push_back(Same("Period", "78", "PER", acVolt));
  v.push_back(Same("Continuity", "79", "CONT", autoOnly));
  v.push_back(Same("Diode", "80", "DIODE", autoOnly));
  v.push_back(Entry("TEMP", "81", "TEMP", sensorsA, sensorsB, sensorsB));
  v.push_back(Same("DC Ratio", "82", "VOLT:RAT", dcVolt));
  v.push_back(Entry("TCOUPLE", "83", "TCOUPLE", typesA, typesB, typesB));
  v.push_back(Entry("CAP", "210", "CAP", capA, capA, capC));
  return v;
}

struct SecondChoiceRow {
  SecondChoiceKind kind;
  const char* captionKey;
  const char* captionDefault;
};

// Indexed by function.
constexpr SecondChoiceRow kSecondChoiceRows[kSettingsFunctionCount] = {
    {SecondChoiceKind::Resolution, "90", "Resolution"},
    {SecondChoiceKind::Resolution, "90", "Resolution"},
    {SecondChoiceKind::Bandwidth, "91", "Bandwidth"},
    {SecondChoiceKind::Bandwidth, "91", "Bandwidth"},
    {SecondChoiceKind::Resolution, "90", "Resolution"},
    {SecondChoiceKind::Resolution, "90", "Resolution"},
    {SecondChoiceKind::Aperture, "88", "Aperture (s)"},
    {SecondChoiceKind::Aperture, "88", "Aperture (s)"},
    {SecondChoiceKind::None, "88", ""},
    {SecondChoiceKind::None, "88", ""},
    {SecondChoiceKind::Unit, "92", "Unit"},
    {SecondChoiceKind::Resolution, "90", "Resolution"},
    {SecondChoiceKind::Unit, "92", "Unit"},
    {SecondChoiceKind::None, nullptr, ""},
};

struct ChoiceItem {
  const char* label;
  const char* key;
};
struct ChoiceLists {
  SecondChoiceKind kind;
  std::vector<ChoiceItem> basic;
  std::vector<std::string> dual;
};

const std::vector<ChoiceLists>& SecondChoiceLists() {
  static const std::vector<ChoiceLists> kLists = {
      {SecondChoiceKind::Resolution,
       {{"Fast 4 Digits", "99"}, {"Fast 5 Digits", "101"}, {"Fast 6 Digits", "103"}, {"Slow 6 Digits", "104"}},
       {"0.001 PLC", "0.006 PLC", "0.02 PLC", "0.06 PLC", "0.2 PLC", "0.6 PLC", "1 PLC", "2 PLC", "10 PLC", "100 PLC"}},
      {SecondChoiceKind::Bandwidth, {{"3 HZ", "96"}, {"20 HZ", "97"}, {"200 HZ", "98"}}, {"3 HZ", "20 HZ", "200 HZ"}},
      {SecondChoiceKind::Unit, {{"° C", "105"}, {"° F", "106"}, {"K", "107"}}, {"C", "F", "K"}},
      {SecondChoiceKind::Aperture, {{"0.01s", "0.01"}, {"0.1s", "0.1"}, {"1s", "1"}}, {"0.01s", "0.1s", "1s"}},
  };
  return kLists;
}

const std::string kTransducerLabels[] = {"2W RTD", "4W RTD"};
const std::string kTransducerWords[] = {"RTD", "FRTD"};
const std::string kUnitWords[] = {"C", "F", "K"};
const std::string kBandwidths[] = {"3", "20", "200"};
const std::string kApertures[] = {"0.01", "0.1", "1"};
const std::string kDualTimes[] = {"0.001", "0.006", "0.02", "0.06", "0.2", "0.6", "1", "2", "10", "100"};
const std::string kBasicTimes[] = {"0.02", "0.1", "1", "10"};
// A meter of another maker orders its resolutions differently.
const std::string kHewlTimes[] = {"0.02", "1", "0.2", "10"};
constexpr double kBasicMatches[] = {0.02, 0.1, 1, 10};
constexpr double kHewlMatches[] = {0.02, 1, 0.2, 10, 10, 100};

}  // namespace

const char* ModelTagText(SettingsModel model) {
  switch (model) {
    case SettingsModel::Basic:
      return "6081";
    case SettingsModel::Dual:
      return "6082";
    case SettingsModel::None:
      break;
  }
  return "0";
}

std::span<const FunctionSettingsEntry> SettingsCatalogue() {
  static const std::vector<FunctionSettingsEntry> kCatalogue = BuildCatalogue();
  return kCatalogue;
}

const FunctionSettingsEntry& SettingsEntry(int function) {
  const auto catalogue = SettingsCatalogue();
  if (function < 0 || function >= kSettingsFunctionCount) return catalogue[0];
  return catalogue[static_cast<std::size_t>(function)];
}

const RangeList& RangeListFor(int function, SettingsModel model, bool capacitanceTo10mF) {
  const FunctionSettingsEntry& e = SettingsEntry(function);
  if (model != SettingsModel::Dual) return e.a;
  return capacitanceTo10mF ? e.c : e.b;
}

std::span<const std::string> TransducerLabels() {
  return kTransducerLabels;
}
std::span<const std::string> TransducerWords() {
  return kTransducerWords;
}

int SensorFromBoxPosition(int position, SettingsModel model) {
  return model == SettingsModel::Basic && position >= kSensorNtct ? position + 1 : position;
}

int BoxPositionFromSensor(int sensor, SettingsModel model) {
  return model == SettingsModel::Basic && sensor > kSensorNtct ? sensor - 1 : sensor;
}

SecondChoiceKind SecondChoiceKindOf(int function) {
  if (function < 0 || function >= kSettingsFunctionCount) return SecondChoiceKind::None;
  return kSecondChoiceRows[function].kind;
}

QString SecondChoiceCaption(int function) {
  if (function < 0 || function >= kSettingsFunctionCount) return {};
  const SecondChoiceRow& row = kSecondChoiceRows[function];
  if (!row.captionKey) return QString::fromUtf8(row.captionDefault);
  return LookupMessage(row.captionKey, row.captionDefault);
}

QStringList SecondChoiceItems(int function, SettingsModel model) {
  QStringList items;
  const SecondChoiceKind kind = SecondChoiceKindOf(function);
  // The dual model measures capacitance without a second setting.
  if (kind == SecondChoiceKind::None || model == SettingsModel::None) return items;
  for (const ChoiceLists& lists : SecondChoiceLists()) {
    if (lists.kind != kind) continue;
    if (model == SettingsModel::Basic) {
      for (const ChoiceItem& item : lists.basic) items << LookupMessage(item.key, item.label);
    } else {
      for (const std::string& label : lists.dual) items << QString::fromStdString(label);
    }
  }
  return items;
}

QString RangeCaption(int function) {
  if (function == kTemperature) return LookupMessage("89", "Sensor");
  if (function == kThermocouple) return LookupMessage("89", "TYPE");
  return LookupMessage("87", "Range");
}

std::span<const std::string> UnitWords() {
  return kUnitWords;
}
std::span<const std::string> BandwidthValues() {
  return kBandwidths;
}
std::span<const std::string> ApertureValues() {
  return kApertures;
}
std::span<const std::string> DualIntegrationTimes() {
  return kDualTimes;
}
std::span<const std::string> BasicResolutionTimes(bool hewl) {
  return hewl ? std::span<const std::string>(kHewlTimes) : std::span<const std::string>(kBasicTimes);
}
std::span<const double> BasicResolutionMatches(bool hewl) {
  return hewl ? std::span<const double>(kHewlMatches) : std::span<const double>(kBasicMatches);
}

QString LookedUpFunctionLabel(int function) {
  const FunctionSettingsEntry& e = SettingsEntry(function);
  return LookupMessage(QString::fromStdString(e.key), QString::fromStdString(e.label));
}

}  // namespace merilog
