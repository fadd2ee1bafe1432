#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace merilog {

// The leading decimal number of a text, as the C library's atof reads it
// (leading blanks skipped, the rest ignored, 0 when there is none), but always
// with a point as decimal separator whatever the process locale.
double LeadingNumber(std::string_view text);
// The leading number as an integer kept within [low, high], so text far out of
// range stays far out without overflowing; "nan" reads as 0, as text that is no
// number does.
int LeadingInteger(std::string_view text, int low, int high);
// The same, but nothing when the leading number is not finite ("nan", "inf")
// or lies beyond the doubles ("1e400"), where LeadingNumber gives 0 or the
// non-finite value.
std::optional<double> FiniteLeadingNumber(std::string_view text);

// A Y-scale label read as units per division: "500m" 0.5, "2 u" 2e-6,
// "10 n" 1e-8, "10M" 10000000, "5" 5.
double ScaleLabelValue(std::string_view label);

// An edit field's number: "%f", then trailing zeros and a trailing point
// removed (12.5 for 12.500000, 3 for 3.000000).
std::string TrimmedNumberText(double value);

}  // namespace merilog
