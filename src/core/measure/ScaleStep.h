#pragma once
#include <span>
#include <string>

namespace merilog {

// One Y-scale step of the charts: the label in units per grid division and the
// factor that maps a value onto divisions (1 / the label's value).
struct ScaleStepEntry {
  std::string label;
  double factor;
};

constexpr int kScaleStepCount = 48;
constexpr int kDefaultScaleStep = 20;  // "1", factor 1: every trace starts here

// Coarsest ("100M") to finest ("1 n").
std::span<const ScaleStepEntry> ScaleStepTable();

// The step at an index; indexes outside 0..47 are clamped to the nearest end.
const ScaleStepEntry& ScaleStep(int index);

}  // namespace merilog
