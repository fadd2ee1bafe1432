#include "core/recordview/RecordNumberText.h"

#include <charconv>
#include <cstdio>

#include "core/records/RecordFormat.h"

namespace merilog {

namespace {
// Above this a value shows as an overload in the grid.
constexpr double kOverloadShown = 9.9E+25;
// Above this a second value of a search is taken for the no-second-value marker.
constexpr double kSearchNoSecond = 9.9E+20;
constexpr double kSevenDecimalsAbove = 100000;
}  // namespace

QString FixedText(double value, int decimals) {
  char buf[400];  // the largest double has 309 digits before the point
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  if (ec != std::errc()) return QString::asprintf("%.*f", decimals, value);
  return QString::fromLatin1(buf, end - buf);
}

QString GridValueText(std::optional<double> value) {
  if (!value) return {};
  if (*value > kOverloadShown) return QStringLiteral("OVLD");
  return FixedText(*value, *value > kSevenDecimalsAbove ? 7 : 12);
}

QString GridSecondValueText(std::optional<double> value) {
  if (value && *value == kNoSecondValue) return {};
  return GridValueText(value);
}

QString SearchSecondValueText(std::optional<double> value) {
  if (!value || *value > kSearchNoSecond) return {};
  return FixedText(*value, *value > kSevenDecimalsAbove ? 7 : 12);
}

QString CutFigureText(double value) {
  return FixedText(value, 12).left(15);
}

QString CursorValueText(std::optional<double> value) {
  if (value && *value == kOverloadValue) return QStringLiteral("OVLD");
  if (!value || *value == kNoSecondValue) return QStringLiteral("NULL");
  return FixedText(*value, 15);
}

}  // namespace merilog
