#include "core/measure/ChartNumberText.h"

#include <charconv>

namespace merilog {

double LeadingNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  if (i < text.size() && text[i] == '+') ++i;
  double value = 0.0;
  // from_chars never looks at the locale, unlike atof under a desktop session.
  auto result = std::from_chars(text.data() + i, text.data() + text.size(), value);
  if (result.ec == std::errc::result_out_of_range) return 0.0;
  return result.ec == std::errc() ? value : 0.0;
}

double ScaleLabelValue(std::string_view label) {
  std::string text(label);
  auto replace = [&text](std::string_view from, std::string_view to) {
    if (auto at = text.find(from); at != std::string::npos) text.replace(at, from.size(), to);
  };
  if (text.find('m') != std::string::npos) {
    replace("m", "E-3");
  } else if (text.find('u') != std::string::npos) {
    replace(" u", "E-6");
  } else if (text.find('n') != std::string::npos) {
    replace(" n", "E-9");
  } else if (text.find('M') != std::string::npos) {
    replace("M", "000000");
  }
  return LeadingNumber(text);
}

std::string TrimmedNumberText(double value) {
  // As "%f", but always with a point: to_chars ignores the process locale.
  char buffer[512];  // the largest double needs 317 characters
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  std::string text(buffer, result.ptr);
  while (!text.empty() && text.back() == '0') text.pop_back();
  while (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

}  // namespace merilog
