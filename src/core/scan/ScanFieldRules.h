#pragma once
#include <QString>
#include <string_view>

namespace merilog {

// The rules of the scan dialog's number fields and their messages, in one
// place for the dialog's start and for the command line, which checks every
// number it is given before anything is sent.

// A field's whole text read as one decimal number: the field's character check
// (digits, one ".", one exponent letter, "-"), then nothing left over.
struct WholeNumber {
  enum class Kind {
    NotANumber,
    Number,    // value holds it (a number too small to represent reads as 0)
    TooLarge,  // beyond what a double holds: no value to use
  };
  Kind kind = Kind::NotANumber;
  double value = 0;
  bool IsNumber() const { return kind == Kind::Number; }
};
WholeNumber ReadWholeNumber(std::string_view text);

inline constexpr double kMaxTimerSeconds = 60;
inline constexpr int kMaxScanCount = 2000;
inline constexpr int kMinNScans = 1;
inline constexpr int kMaxNScans = 200;

// The start's check of the Timer text: an error when it is empty, not a whole
// number, negative, or ends with "." (an unfinished number).
bool TimerTextValid(const QString& text);
QString TimerErrorText();
// The range messages of the field exchange.
QString TimerRangeText();
QString ScanCountRangeText();
QString NScansRangeText();
// A plain run counts at least one reading.
QString ScanCountAtStartText();
// The N field holds digits only.
bool NTextValid(const QString& text);
QString NErrorText();

// The shunt resistance R and the offset I of a current channel.
enum class CurrentField { ShuntR, Offset };
// "The value of "R" is error." (and the same for I).
QString CurrentFieldErrorText(CurrentField field);
// A number too large to use.
QString CurrentFieldTooLargeText(CurrentField field);
QString ShuntZeroText();

// What the command line's number options are refused with: the message the
// dialog would show for the same text, or an empty text when it is usable.
QString TimerProblem(const QString& text);
QString ScanCountProblem(const QString& text);  // a plain run: 1 to 2000
QString NScansProblem(const QString& text);
// An absent R (a null text) reads as 0.
QString ShuntProblem(const QString& text);
QString OffsetProblem(const QString& text);

}  // namespace merilog
