#pragma once
#include <string>
#include <string_view>

#include "core/measure/NumericText.h"

namespace merilog {

class Session;

// The Device Settings dialog's exchanges with one meter, on the meter's own
// session thread. Once a read fails (a silent or vanished meter) nothing more
// is sent, so a dead meter costs one time-out, and the caller tells the user.
class SettingsLink {
 public:
  explicit SettingsLink(Session* session) : session_(session) {}

  // Writes the command; when it asks for an answer, returns it trimmed, as the
  // dialog's query form does (quotes kept).
  std::string Query(const std::string& command);
  // A command that asks nothing.
  void Write(const std::string& command) { Query(command); }
  // A read failed, or there was no session.
  bool Lost() const { return lost_; }

 private:
  Session* session_;
  bool lost_ = false;
};

// printf forms the commands use, always with a decimal point whatever the locale.
std::string GeneralText(double value);  // "%g"
// A sensor coefficient as shown and written: "%g" when that reads back to the
// same number, else the shortest text that does, with at most 15 significant
// digits, so a coefficient keeps its digits through the dialog.
std::string CoefficientText(double value);
// Removes double quotes and line feeds from an answer.
std::string CleanAnswer(std::string_view answer);
// "VOLT" and "CURR" as "VOLT:DC" and "CURR:DC".
std::string WithDcSuffix(std::string answer);

}  // namespace merilog
