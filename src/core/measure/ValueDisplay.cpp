#include "core/measure/ValueDisplay.h"

#include <cstdio>

#include "core/measure/ChartNumberText.h"

namespace merilog {

namespace {
std::string Format(const char* format, double v) {
  char text[400];  // the values shown are below 9.9e20, so far shorter
  std::snprintf(text, sizeof text, format, v);
  return text;
}
}  // namespace

ValueDisplay DisplayValue(double v, std::string_view function) {
  const bool diode = function.find("DIOD") != std::string_view::npos;
  const bool continuity = function.find("CONT") != std::string_view::npos;
  ValueDisplay d;
  if (v >= kOverloadThreshold || v <= -kOverloadThreshold) {
    d.text = diode || continuity ? "OPEN" : "OVLD";
    return d;
  }
  if (v < 0) {
    d.text = Format("%.15f", v);
    d.buffered = true;
    d.value = v;
    return d;
  }
  if (v == 0.0) v = kZeroSubstitute;
  d.text = Format("%.12f", v);
  d.value = v;
  d.buffered = true;
  if (diode) {
    const double shown = LeadingNumber(d.text);
    if (shown > kDiodeOpenVolts) d.text = "OPEN";
    if (shown >= kDiodeOpenVolts) d.buffered = false;
  }
  return d;
}

std::string SecondDisplayText(double v) {
  return v <= kOverloadThreshold ? Format("%.12f", v) : "OVLD";
}

}  // namespace merilog
