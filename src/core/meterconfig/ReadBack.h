#pragma once
#include <array>
#include <optional>
#include <string>

#include "core/meterconfig/CoefficientPanel.h"
#include "core/meterconfig/SettingsCatalogue.h"

namespace merilog {

class Session;
class SettingsLink;

// What the dialog last learnt from the meter (or wrote, for the 2ND wiring);
// it preselects the boxes at the next fill and outlives one opening.
struct ReadBackState {
  int functionIndex = 0;
  int rangePosition = 0;  // range, sensor (dual-model order) or type
  int secondChoicePosition = 0;
  int primaryFourWire = 0;  // the meter reported "FRTD"
  int secondFourWire = 0;   // position of the 2ND transducer box at the last Set
  bool capacitanceTo10mF = false;
  // The meter's range (sensor, type) or second setting where its box offers no
  // entry for it: the box then selects nothing and says so.
  std::optional<std::string> rangeNotOffered, secondChoiceNotOffered;
};

// Coefficients of one sensor as the meter answered them, by panel slot.
struct CoefficientValues {
  int sensor = 0;
  std::array<double, kCoefficientSlots> values{};
};
// Asks the meter for a sensor's coefficients in the panel's field order.
CoefficientValues QueryCoefficients(SettingsLink& link, int sensor);

// The 2ND read-back: which 2ND function the meter measures, and the positions
// found in the 2ND range and second-choice lists of that function.
struct SecondReadBack {
  std::string primaryLabel;
  int functionPosition = 13;  // in SecondSettingsEntries(); 13 is "NONE"
  std::optional<int> rangePosition;
  std::optional<int> secondPosition;
  // Asked, but none of the list's entries: the meter's setting as text.
  std::optional<std::string> rangeNotOffered, secondNotOffered;
};

struct ReadBackRequest {
  SettingsModel model = SettingsModel::None;
  bool hewl = false;  // the identification begins with "HEWL": its own resolution table
  bool capacitanceTo10mF = false;
};

// Everything the primary read-back found, in the order found; it stops at the
// first answer it cannot place, and what was found before stays.
struct ReadBackResult {
  bool lost = false;  // the meter stopped answering
  std::optional<int> function;
  std::optional<int> secondChoice;  // stored, one past the table when not found
  bool secondChoiceFound = false;
  std::optional<std::string> secondChoiceNotOffered;  // asked and not found: the meter's setting
  std::optional<bool> capacitanceTo10mF;
  std::optional<int> primaryFourWire;
  std::optional<int> rangePosition;  // stored, one past the searched positions when not found
  bool rangeFound = false;
  std::optional<std::string> rangeNotOffered;  // asked and not found: the meter's setting
  std::optional<int> rangeBoxPosition;         // what the range box selects
  std::optional<CoefficientValues> coefficients;
  std::optional<SecondReadBack> second;  // TEMP and TCOUPLE on the dual model ask the 2ND function midway
};

// Reads the meter's function and its settings back (runs on the session's thread).
ReadBackResult ReadBackSettings(Session* session, const ReadBackRequest& request);
// Reads the 2ND function and its settings; primaryLabel is the English label of
// the primary function. Sets *lost when the meter stopped answering.
SecondReadBack ReadBackSecondFunction(Session* session, const std::string& primaryLabel, bool capacitanceTo10mF,
                                      bool* lost);
SecondReadBack ReadBackSecondFunction(SettingsLink& link, const std::string& primaryLabel, bool capacitanceTo10mF);

}  // namespace merilog
