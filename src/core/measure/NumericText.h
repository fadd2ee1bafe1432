#pragma once
#include <string>
#include <string_view>

namespace merilog {

// What the character check of an edit field found. The check allows digits,
// ".", "E", "e" and "-", with at most one "." and at most one "E" or "e"
// (the two letters counted together); it stops at the first error.
enum class NumericTextVerdict {
  Valid,
  Repeated,      // a second "." or a second exponent letter
  BadCharacter,  // any other character
};

NumericTextVerdict CheckNumericText(std::string_view text);

// As printf's "%.*f", but always with a point whatever the process locale (the
// texts go on the wire and into files).
std::string FixedText(double value, int decimals);

}  // namespace merilog
