#pragma once
#include <string>

namespace merilog {

// A range value as the status line shows it: "%.0fm" below 1, "%.0fM" from one
// million, "%.0fK" from one thousand, else "%.0f" (0.1 "100m", 1000 "1K").
std::string FormatRangeValue(double v);

// A capacitance range in farads: "%.0f n" up to 1e-7, "%.0f u" up to 1e-4,
// "%.0f m" up to 0.01, else "%.0f" (bounds inclusive; 1e-7 "100 n").
std::string FormatCapacitanceRange(double v);

}  // namespace merilog
