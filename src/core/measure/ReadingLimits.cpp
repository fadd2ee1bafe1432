#include "core/measure/ReadingLimits.h"

#include <QString>

namespace merilog {

namespace {

std::string Number(double v) {
  return QString::number(v, 'g', 12).toStdString();
}

}  // namespace

std::string ReadingLimits::Describe(double v) const {
  if (high && v > *high) return "above the high limit " + Number(*high);
  if (low && v < *low) return "below the low limit " + Number(*low);
  return "within the limits";
}

LimitWatch::Change LimitWatch::Note(const ReadingLimits& limits, double value) {
  const bool outside = limits.Outside(value);
  if (outside) ++count_;
  if (outside == outside_) return Change::None;
  outside_ = outside;
  return outside ? Change::Crossed : Change::Returned;
}

}  // namespace merilog
