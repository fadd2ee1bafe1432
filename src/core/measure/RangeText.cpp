#include "core/measure/RangeText.h"

#include <cstdio>

namespace merilog {

namespace {
std::string Format(const char* format, double v) {
  char text[400];  // "%.0f" of a double never exceeds 310 characters
  std::snprintf(text, sizeof text, format, v);
  return text;
}
}  // namespace

std::string FormatRangeValue(double v) {
  if (v < 1) return Format("%.0fm", v * 1000);
  if (v >= 1000000) return Format("%.0fM", v * 0.000001);
  if (v >= 1000) return Format("%.0fK", v * 0.001);
  return Format("%.0f", v);
}

std::string FormatCapacitanceRange(double v) {
  if (v <= 1e-7) return Format("%.0f n", v * 1e9);
  if (v <= 1e-4) return Format("%.0f u", v * 1e6);
  if (v <= 0.01) return Format("%.0f m", v * 1000);
  return Format("%.0f", v);
}

}  // namespace merilog
