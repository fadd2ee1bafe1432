#pragma once
#include <QString>
#include <optional>

namespace merilog {

// The texts the record dialogs make of stored numbers. Formatting never looks
// at the process locale: the point is always a point.

// printf's "%.<decimals>f".
QString FixedText(double value, int decimals);

// A grid cell (the number display rule): above 9.9E+25 "OVLD", above 100000
// "%.7f", else "%.12f"; empty for a reading that is no number.
QString GridValueText(std::optional<double> value);
// The Value_2ND cell: empty for the no-second-value marker 9.9E+21, else as GridValueText.
QString GridSecondValueText(std::optional<double> value);
// The Value_2ND cell of a search: empty above 9.9E+20, else "%.7f" above 100000, else "%.12f".
QString SearchSecondValueText(std::optional<double> value);

// A viewer figure: "%.12f" cut to its first 15 characters.
QString CutFigureText(double value);

// The chart cursor's value: "OVLD" for 9.9E+37, "NULL" for 9.9E+21 (and a
// reading that is no number), else "%.15f".
QString CursorValueText(std::optional<double> value);

}  // namespace merilog
