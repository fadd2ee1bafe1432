#pragma once
#include <string>
#include <string_view>

namespace merilog {

// Readings at or beyond this size, either sign, are overloads.
constexpr double kOverloadThreshold = 9.9e20;
// A reading of exactly 0 is shown and buffered as this, so the chart can tell
// "no reading" (0.0) from a real zero; the record receives 0 again.
constexpr double kZeroSubstitute = 1e-25;
// Diode readings above this many volts are an open junction.
constexpr double kDiodeOpenVolts = 1.2;

// What one value of a tick does to its display and its chart trace.
struct ValueDisplay {
  std::string text;      // "%.12f", "%.15f", "OVLD" or "OPEN"
  bool buffered = false;  // the value goes into the chart buffer
  double value = 0;       // the value as buffered (0 replaced by kZeroSubstitute)
};

// The display-and-buffer rule of a main or 2ND value, for a meter whose
// function answer is `function` ("DIOD" and "CONT" change the rule).
ValueDisplay DisplayValue(double v, std::string_view function);

// The 2ND display's own text: "%.12f" up to the threshold, else "OVLD".
std::string SecondDisplayText(double v);

}  // namespace merilog
