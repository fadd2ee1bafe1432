#include "core/meterconfig/SettingsLink.h"

#include <charconv>

#include "core/base/Text.h"
#include "core/instrument/QueryDevice.h"
#include "core/measure/NumericText.h"

namespace merilog {

std::string SettingsLink::Query(const std::string& command) {
  if (lost_) return {};
  QueryAnswer a = QueryDevice(session_, QueryForm::DeviceSettings, command);
  if (!session_ || a.Failed()) {
    lost_ = true;
    return {};
  }
  return std::move(a.text);
}

namespace {
std::string ToChars(double value, std::chars_format format, int precision) {
  char buf[400];  // "%.12f" of the largest double fits
  const auto r = std::to_chars(buf, buf + sizeof buf, value, format, precision);
  return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string();
}
}  // namespace

std::string GeneralText(double value) {
  return ToChars(value, std::chars_format::general, 6);
}

std::string CoefficientText(double value) {
  constexpr int kShortest = 6, kLongest = 15;
  std::string text;
  for (int digits = kShortest; digits <= kLongest; ++digits) {
    text = ToChars(value, std::chars_format::general, digits);
    double back = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), back);
    if (r.ec == std::errc() && back == value) break;
  }
  return text;
}

std::string CleanAnswer(std::string_view answer) {
  return StripQuotesAndLineFeeds(std::string(answer));
}

std::string WithDcSuffix(std::string answer) {
  if (answer == "VOLT" || answer == "CURR") answer += ":DC";
  return answer;
}

}  // namespace merilog
