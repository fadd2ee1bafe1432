#pragma once
#include <array>
#include <string>
#include <vector>

namespace merilog {

// The six coefficient fields sit in three rows of two: slot = 2 * row + column.
constexpr int kCoefficientSlots = 6;

// One field of a temperature sensor's coefficients: where it stands, how the
// meter is asked for it, its inclusive limits and the command that sets it.
struct CoefficientField {
  int slot;
  std::string label;
  std::string query;
  double min, max;
  std::string messageKey;
  std::string message;  // English text of the message shown when outside the limits
  std::string command;  // printf format with one %g
};

struct CoefficientLayout {
  int sensor;                            // kSensorUser, kSensorSprtd or kSensorNtct (dual-model order)
  std::vector<CoefficientField> fields;  // in field order
};

// The layout of a sensor position (dual-model order), or null for a sensor without coefficients.
const CoefficientLayout* CoefficientLayoutFor(int sensor);

// The labels the panel shows before any sensor is chosen (all hidden).
const std::array<std::string, kCoefficientSlots>& InitialCoefficientLabels();

}  // namespace merilog
