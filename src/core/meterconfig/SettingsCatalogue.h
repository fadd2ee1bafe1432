#pragma once
#include <QString>
#include <QStringList>
#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace merilog {

// The model class of the meter the Device Settings dialog talks to: "0" before
// a meter is chosen, "6081" basic, "6082" dual-function.
enum class SettingsModel { None, Basic, Dual };
const char* ModelTagText(SettingsModel model);

// Function indices: the position in the dialog's function list.
enum SettingsFunction {
  kDcVoltage,
  kDcCurrent,
  kAcVoltage,
  kAcCurrent,
  kResistance2W,
  kResistance4W,
  kFrequency,
  kPeriod,
  kContinuity,
  kDiode,
  kTemperature,
  kDcRatio,
  kThermocouple,
  kCapacitance,
  kSettingsFunctionCount
};
// The basic model lists the functions before the thermocouple.
constexpr int kBasicFunctionCount = kThermocouple;

constexpr int kRangeSlots = 10;

// One range, sensor or type list: labels (at most ten) and the value in base
// units each position stands for (0 for AUTO and for labels that are not ranges).
struct RangeList {
  std::vector<std::string> labels;
  std::array<double, kRangeSlots> values{};
};

struct FunctionSettingsEntry {
  std::string label;  // the English label of the function list
  std::string key;    // message key of the label shown while no meter is chosen
  std::string word;   // the function word of "CONF:%s" and the range commands
  RangeList a;        // basic model
  RangeList b;        // dual model
  RangeList c;        // dual model whose largest capacitance range is 10 mF
};

// The 14 functions with their lists, in function-index order; never changed.
std::span<const FunctionSettingsEntry> SettingsCatalogue();
const FunctionSettingsEntry& SettingsEntry(int function);
// The list the range box shows for the model: A, B, or C with the 10 mF range.
const RangeList& RangeListFor(int function, SettingsModel model, bool capacitanceTo10mF);

// Items of both transducer boxes and their command words.
std::span<const std::string> TransducerLabels();
std::span<const std::string> TransducerWords();

// Sensors are compared by the dual-model order; the basic model lacks "NTCT",
// so its positions above 4 are one lower.
constexpr int kSensorNtct = 5;
constexpr int kSensorSprtd = 6;
constexpr int kSensorUser = 7;
int SensorFromBoxPosition(int position, SettingsModel model);
int BoxPositionFromSensor(int sensor, SettingsModel model);

// What the second-choice box holds for a function.
enum class SecondChoiceKind { Resolution, Bandwidth, Unit, Aperture, None };
SecondChoiceKind SecondChoiceKindOf(int function);
// The label of the second-choice box, looked up in the message table.
QString SecondChoiceCaption(int function);
// The second-choice items for the function on the model (basic labels looked up).
QStringList SecondChoiceItems(int function, SettingsModel model);
// The range box's label: "Range", "Sensor" or "TYPE", looked up.
QString RangeCaption(int function);

// Values written for and matched against the second-choice position.
std::span<const std::string> UnitWords();                      // "C", "F", "K"
std::span<const std::string> BandwidthValues();                // "3", "20", "200"
std::span<const std::string> ApertureValues();                 // "0.01", "0.1", "1"
std::span<const std::string> DualIntegrationTimes();           // "0.001" ... "100"
std::span<const std::string> BasicResolutionTimes(bool hewl);  // by resolution, as written
std::span<const double> BasicResolutionMatches(bool hewl);     // as matched by the read-back

// The label of a function on the function list: looked up while no meter is
// chosen, English once one is.
QString LookedUpFunctionLabel(int function);

}  // namespace merilog
