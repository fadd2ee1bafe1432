#include "core/measure/ScaleStep.h"

#include <algorithm>
#include <array>

namespace merilog {

std::span<const ScaleStepEntry> ScaleStepTable() {
  // Above 1M only decades; from 1M down, the 1-2-5 series (1M to 500000 is the one step of 2).
  static const std::array<ScaleStepEntry, kScaleStepCount> kSteps{{
      {"100M", 1e-8},   {"10M", 1e-7},    {"1M", 1e-6},                                        //
      {"500000", 2e-6}, {"200000", 5e-6}, {"100000", 1e-5}, {"50000", 2e-5}, {"20000", 5e-5},  //
      {"10000", 1e-4},  {"5000", 2e-4},   {"2000", 5e-4},   {"1000", 1e-3},                    //
      {"500", 2e-3},    {"200", 5e-3},    {"100", 1e-2},    {"50", 2e-2},    {"20", 5e-2},     //
      {"10", 1e-1},     {"5", 2e-1},      {"2", 5e-1},      {"1", 1.0},                        //
      {"500m", 2.0},    {"200m", 5.0},    {"100m", 10.0},   {"50m", 20.0},   {"20m", 50.0},    //
      {"10m", 100.0},   {"5m", 200.0},    {"2m", 500.0},    {"1m", 1000.0},                    //
      {"500 u", 2e3},   {"200 u", 5e3},   {"100 u", 1e4},   {"50 u", 2e4},   {"20 u", 5e4},    //
      {"10 u", 1e5},    {"5 u", 2e5},     {"2 u", 5e5},     {"1 u", 1e6},                      //
      {"500 n", 2e6},   {"200 n", 5e6},   {"100 n", 1e7},   {"50 n", 2e7},   {"20 n", 5e7},    //
      {"10 n", 1e8},    {"5 n", 2e8},     {"2 n", 5e8},     {"1 n", 1e9},                      //
  }};
  return kSteps;
}

const ScaleStepEntry& ScaleStep(int index) {
  return ScaleStepTable()[std::clamp(index, 0, kScaleStepCount - 1)];
}

}  // namespace merilog
