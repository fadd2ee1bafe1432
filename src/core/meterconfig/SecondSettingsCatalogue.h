#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace merilog {

// The 2ND function of the dual model as the Device Settings dialog offers it.
struct SecondSettingsEntry {
  std::string label;        // shown in the 2ND function box
  std::string answerWord;   // the meter's "func2?" answer
  std::string commandWord;  // written in "Function2" and the 2ND range and setting commands
};

constexpr int kSecondSettingsNone = 13;

// The 14 2ND labels in the order "DCV" ... "TEMP", "NONE".
const std::vector<SecondSettingsEntry>& SecondSettingsEntries();
// Position of a label, kSecondSettingsNone when unknown.
int SecondSettingsPosition(std::string_view label);
// Position of a cleaned "func2?" answer, kSecondSettingsNone when unknown.
int SecondSettingsPositionOfAnswer(std::string_view answer);

// The 2ND labels a primary function offers, found by the first row key that
// its list label contains; empty when none does. Ends with "NONE". The model
// rule is the status panel's: a meter that cannot measure a thermocouple as its
// 2ND function ("MR6082") is not offered "TCOUPL", and for the rows that begin
// with it nothing.
std::vector<std::string> SecondFunctionsFor(std::string_view primaryLabel, std::string_view identification);

// What the 2ND range and second-choice boxes hold for a 2ND label.
struct SecondPanelLists {
  bool none = true;          // "NONE": every 2ND box hidden
  std::string rangeCaption;  // "Range" or "UNIT"
  std::vector<std::string> rangeItems;
  bool secondShown = false;   // false for "CAP"
  std::string secondCaption;  // "NPLC", "Bandwidth (Hz)", "Aperture (s)", "TYPE", "SENSOR"
  std::vector<std::string> secondItems;
};
SecondPanelLists SecondPanelListsFor(std::string_view secondLabel, bool capacitanceTo10mF);

// True when one of the primary and 2ND labels names the RTD temperature and
// the other the thermocouple: the unit then belongs to the primary settings.
bool TemperaturePair(std::string_view primaryLabel, std::string_view secondLabel);

}  // namespace merilog
