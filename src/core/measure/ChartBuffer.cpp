#include "core/measure/ChartBuffer.h"

#include <algorithm>

namespace merilog {

ChartBuffer::ChartBuffer() : values_(static_cast<size_t>(kTraceCount) * (kCapacity + 1), 0.0) {}

void ChartBuffer::Reset() {
  std::fill(values_.begin(), values_.end(), 0.0);
  pointCount_ = 0;
}

void ChartBuffer::AdvanceWindow(std::span<const int> mainTraces, bool grow) {
  if (pointCount_ < xMax_) {
    if (grow) ++pointCount_;
    return;
  }
  pointCount_ = xMax_;
  for (int t : mainTraces) {
    for (int trace : {t, t + 4}) {
      if (trace < 0 || trace >= kTraceCount) continue;
      double* row = Row(trace);
      std::copy(row + 2, row + pointCount_ + 1, row + 1);
    }
  }
}

void ChartBuffer::GrowPoint() {
  if (pointCount_ < xMax_) ++pointCount_;
}

void ChartBuffer::Store(int trace, double value) {
  if (trace < 0 || trace >= kTraceCount || pointCount_ < 1) return;
  Row(trace)[pointCount_] = value;
}

double ChartBuffer::Value(int trace, int position) const {
  if (trace < 0 || trace >= kTraceCount || position < 1 || position > kCapacity) return 0.0;
  return Row(trace)[position];
}

std::span<const double> ChartBuffer::Trace(int trace) const {
  return {Row(std::clamp(trace, 0, kTraceCount - 1)), static_cast<size_t>(kCapacity + 1)};
}

bool ChartBuffer::SetXMax(int xMax) {
  if (xMax < kMinXMax || xMax > kCapacity) return false;
  xMax_ = xMax;
  return true;
}

void ChartBuffer::SetPointCount(int count) {
  pointCount_ = std::clamp(count, 0, xMax_);
}

}  // namespace merilog
