#pragma once
#include <array>
#include <optional>
#include <string>

#include "core/meterconfig/CoefficientPanel.h"
#include "core/meterconfig/SettingsCatalogue.h"

namespace merilog {

class Session;
class SettingsLink;

// The dialog's choices at the moment Set was pressed. A position of -1 (or an
// empty 2ND text) is a box that selects nothing, since the meter's own setting
// is none it offers: that setting is left as the meter has it.
struct ApplyRequest {
  SettingsModel model = SettingsModel::None;
  bool hewl = false;  // the identification begins with "HEWL": its own resolution table
  bool capacitanceTo10mF = false;
  int function = 0;
  std::string primaryLabel;  // the function list's label
  int range = 0;             // S: range, sensor or type position in the range box
  int second = 0;            // P
  int transducer = 0;        // T: 0 "2W RTD", 1 "4W RTD"
  int secondTransducer = 0;  // T2
  int secondRange = 0;       // R2
  std::string secondLabel = "NONE";
  std::string secondRangeLabel;
  std::string secondChoiceText;
  // The number fields of the coefficient panel; empty where the text is not a number.
  std::array<std::optional<double>, kCoefficientSlots> coefficients{};

  bool operator==(const ApplyRequest&) const = default;
};

// How Set ended.
enum class ApplyEnd {
  ReadBack,   // everything confirmed: the dialog reads the meter back
  Finished,   // the function has nothing more to set and no read-back follows
  Refused,    // a setting was not confirmed or a value was refused (a message says which, if any)
  Lost,       // the meter stopped answering
  Unchanged,  // nothing chosen differs from what the meter was read to hold: nothing written, read back
};

// A message box the dialog shows when Set ends.
struct ApplyMessage {
  std::string key;   // message-table key; empty for a fixed English text
  std::string text;  // the English text
  bool okCancel = false;
  bool warning = false;  // exclamation icon; input errors show a plain box
};

struct ApplyOutcome {
  ApplyEnd end = ApplyEnd::Refused;
  std::optional<ApplyMessage> message;
  std::optional<bool> autoRange;  // the device's AUTO flag, once the function is confirmed
};

// Sends the chosen configuration and confirms it (runs on the session's thread).
// The 1 A move of DC current with a 2ND function and the basic model's missing
// thermocouple are the dialog's, decided before this runs.
ApplyOutcome ApplySettings(Session* session, const ApplyRequest& request);
// The 2ND function, its range and its second setting (dual model).
void ApplySecondFunction(SettingsLink& link, const ApplyRequest& request);

// The number text of a 2ND range label as the range command writes it
// ("10K OHM" gives "10000 ", "1n F" gives "1E-9").
std::string SecondRangeNumberText(std::string label);

}  // namespace merilog
