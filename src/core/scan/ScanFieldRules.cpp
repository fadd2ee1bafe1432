#include "core/scan/ScanFieldRules.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

#include "core/measure/NumericText.h"

namespace merilog {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Whether a number the library found out of range is too large rather than too
// small: the power of ten of its first significant digit is not negative. One
// pass over the text; the exponent saturates.
bool OverflowsRatherThanUnderflows(std::string_view t) {
  std::size_t i = t.empty() || t[0] != '-' ? 0 : 1;
  long long power = 0;
  bool significant = false;
  for (; i < t.size() && IsDigit(t[i]); ++i) {
    if (t[i] != '0') significant = true;
    if (significant) ++power;
  }
  --power;  // n integer digits: the first is 10^(n-1)
  if (i < t.size() && t[i] == '.') {
    for (++i; i < t.size() && IsDigit(t[i]); ++i) {
      if (significant) continue;
      if (t[i] != '0')
        significant = true;
      else
        --power;
    }
  }
  if (!significant) return false;
  long long exponent = 0;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    const bool negative = i < t.size() && t[i] == '-';
    if (negative) ++i;
    for (; i < t.size() && IsDigit(t[i]); ++i) exponent = std::min(exponent * 10 + (t[i] - '0'), 1'000'000'000'000LL);
    if (negative) exponent = -exponent;
  }
  return power + exponent >= 0;
}

// Digits only; a value past any range saturates.
std::optional<long long> WholeInteger(const QString& text) {
  if (text.isEmpty()) return std::nullopt;
  long long v = 0;
  for (QChar c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    v = std::min(v * 10 + (c.unicode() - '0'), 1'000'000'000'000LL);
  }
  return v;
}

QString FieldName(CurrentField field) {
  return field == CurrentField::ShuntR ? QStringLiteral("R") : QStringLiteral("I");
}

QString CurrentProblem(CurrentField field, const QString& text) {
  const WholeNumber n = ReadWholeNumber(text.toStdString());
  if (n.kind == WholeNumber::Kind::TooLarge) return CurrentFieldTooLargeText(field);
  if (!n.IsNumber()) return CurrentFieldErrorText(field);
  return {};
}

}  // namespace

WholeNumber ReadWholeNumber(std::string_view text) {
  if (text.empty() || CheckNumericText(text) != NumericTextVerdict::Valid) return {};
  const char* last = text.data() + text.size();
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), last, value, std::chars_format::general);
  if (end != last) return {};
  if (ec == std::errc::result_out_of_range)
    return OverflowsRatherThanUnderflows(text) ? WholeNumber{WholeNumber::Kind::TooLarge, 0}
                                               : WholeNumber{WholeNumber::Kind::Number, 0};
  if (ec != std::errc()) return {};
  if (!std::isfinite(value)) return {WholeNumber::Kind::TooLarge, 0};
  return {WholeNumber::Kind::Number, value};
}

bool TimerTextValid(const QString& text) {
  const WholeNumber n = ReadWholeNumber(text.toStdString());
  return !text.endsWith('.') && (n.kind == WholeNumber::Kind::TooLarge || (n.IsNumber() && n.value >= 0));
}

QString TimerErrorText() {
  return QStringLiteral("The value of \"Timer\" is error ! Please re-enter.");
}
QString TimerRangeText() {
  return QStringLiteral("Please enter a number between 0 and 60.");
}
QString ScanCountRangeText() {
  return QStringLiteral("Please enter an integer between 0 and 2000.");
}
QString NScansRangeText() {
  return QStringLiteral("Please enter an integer between 1 and 200.");
}
QString ScanCountAtStartText() {
  return QStringLiteral("Please enter an integer between 1 and 2000.");
}

bool NTextValid(const QString& text) {
  return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= '0' && c <= '9'; });
}

QString NErrorText() {
  return QStringLiteral("The value of \"N Scan\" is error ! Please re-enter.");
}

QString CurrentFieldErrorText(CurrentField field) {
  return QStringLiteral("The value of \"%1\" is error.").arg(FieldName(field));
}

QString CurrentFieldTooLargeText(CurrentField field) {
  return QStringLiteral("The value of \"%1\" is too large to use ! Please re-enter.").arg(FieldName(field));
}

QString ShuntZeroText() {
  return QStringLiteral("The value of \"R\" can't equal to 0 ! Please re-enter.");
}

QString TimerProblem(const QString& text) {
  if (!TimerTextValid(text)) return TimerErrorText();
  const WholeNumber n = ReadWholeNumber(text.toStdString());
  return n.IsNumber() && n.value <= kMaxTimerSeconds ? QString() : TimerRangeText();
}

QString ScanCountProblem(const QString& text) {
  const auto v = WholeInteger(text);
  return v && *v >= 1 && *v <= kMaxScanCount ? QString() : ScanCountAtStartText();
}

QString NScansProblem(const QString& text) {
  if (!NTextValid(text)) return NErrorText();
  const auto v = WholeInteger(text);
  return v && *v >= kMinNScans && *v <= kMaxNScans ? QString() : NScansRangeText();
}

QString ShuntProblem(const QString& text) {
  if (text.isNull()) return ShuntZeroText();
  if (QString problem = CurrentProblem(CurrentField::ShuntR, text); !problem.isEmpty()) return problem;
  return ReadWholeNumber(text.toStdString()).value == 0 ? ShuntZeroText() : QString();
}

QString OffsetProblem(const QString& text) {
  return text.isNull() ? QString() : CurrentProblem(CurrentField::Offset, text);
}

}  // namespace merilog
