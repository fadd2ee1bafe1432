#include "core/measure/ChartNumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace merilog {

namespace {

// The leading number's conversion: its value and how from_chars ended.
std::errc ParseLeadingNumber(std::string_view text, double* value) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  if (i < text.size() && text[i] == '+') ++i;
  *value = 0.0;
  // from_chars never looks at the locale, unlike atof under a desktop session.
  return std::from_chars(text.data() + i, text.data() + text.size(), *value).ec;
}

}  // namespace

double LeadingNumber(std::string_view text) {
  double value = 0.0;
  return ParseLeadingNumber(text, &value) == std::errc() ? value : 0.0;
}

int LeadingInteger(std::string_view text, int low, int high) {
  const double value = LeadingNumber(text);
  if (std::isnan(value)) return std::clamp(0, low, high);
  return static_cast<int>(std::clamp(value, static_cast<double>(low), static_cast<double>(high)));
}

std::optional<double> FiniteLeadingNumber(std::string_view text) {
  double value = 0.0;
  if (ParseLeadingNumber(text, &value) == std::errc::result_out_of_range) {
    // Too small to tell from zero is still a number; too large is not.
    const auto e = text.find_first_of("eE");
    if (e != std::string_view::npos && e + 1 < text.size() && text[e + 1] == '-') return 0.0;
    return std::nullopt;
  }
  if (!std::isfinite(value)) return std::nullopt;
  return value;
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
