#include "core/measure/NumericText.h"

#include <charconv>

namespace merilog {

NumericTextVerdict CheckNumericText(std::string_view text) {
  bool point = false, exponent = false;
  for (char c : text) {
    if ((c >= '0' && c <= '9') || c == '-') continue;
    bool* seen = c == '.' ? &point : (c == 'E' || c == 'e') ? &exponent : nullptr;
    if (!seen) return NumericTextVerdict::BadCharacter;
    if (*seen) return NumericTextVerdict::Repeated;
    *seen = true;
  }
  return NumericTextVerdict::Valid;
}

std::string FixedText(double value, int decimals) {
  // The largest double has 309 digits before the point; room for 100 decimals after it.
  char buffer[420];
  const auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals < 100 ? decimals : 100);
  return ec == std::errc() ? std::string(buffer, end) : std::string();
}

}  // namespace merilog
