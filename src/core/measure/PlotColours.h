#pragma once
#include <array>

#include "core/base/Prompter.h"

namespace merilog {

// The pens of the live chart: 0 to 3 the main traces of positions 0 to 3, 4 to 7
// their 2ND traces, 8 a spare pen.
constexpr int kPlotColourCount = 9;
constexpr int kSecondTraceColourOffset = 4;
using PlotColours = std::array<Rgb, kPlotColourCount>;

// The start-up colours: blue, green, red, black main traces, a blue first 2ND
// trace, black elsewhere.
PlotColours DefaultPlotColours();

}  // namespace merilog
