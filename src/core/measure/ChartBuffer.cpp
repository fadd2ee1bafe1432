#include "core/measure/ChartBuffer.h"

#include <algorithm>

namespace merilog {

ChartBuffer::ChartBuffer()
    : values_(static_cast<size_t>(kTraceCount) * (kCapacity + 1), 0.0),
      gaps_(static_cast<size_t>(kTraceCount) * (kCapacity + 1), 0) {}

void ChartBuffer::Reset() {
  std::fill(values_.begin(), values_.end(), 0.0);
  std::fill(gaps_.begin(), gaps_.end(), 0);
  gapCount_.fill(0);
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
      if (gapCount_[trace] > 0) {
        char* gaps = GapRow(trace);
        gapCount_[trace] -= gaps[1];
        std::copy(gaps + 2, gaps + pointCount_ + 1, gaps + 1);
        gaps[pointCount_] = 0;  // its copy moved down; the newest is written (or marked) afresh
      }
    }
  }
}

void ChartBuffer::GrowPoint() {
  if (pointCount_ < xMax_) ++pointCount_;
}

void ChartBuffer::Store(int trace, double value) {
  if (trace < 0 || trace >= kTraceCount || pointCount_ < 1) return;
  Row(trace)[pointCount_] = value;
  if (gapCount_[trace] > 0 && GapRow(trace)[pointCount_]) {
    GapRow(trace)[pointCount_] = 0;
    --gapCount_[trace];
  }
}

void ChartBuffer::RepeatPrevious(int trace) {
  if (trace < 0 || trace >= kTraceCount || pointCount_ < 2) return;
  Row(trace)[pointCount_] = Row(trace)[pointCount_ - 1];
  if (IsGap(trace, pointCount_ - 1)) MarkGap(trace);
}

void ChartBuffer::MarkGap(int trace) {
  if (trace < 0 || trace >= kTraceCount || pointCount_ < 1) return;
  char& gap = GapRow(trace)[pointCount_];
  if (!gap) ++gapCount_[trace];
  gap = 1;
}

bool ChartBuffer::IsGap(int trace, int position) const {
  if (trace < 0 || trace >= kTraceCount || position < 1 || position > kCapacity) return false;
  return gapCount_[trace] > 0 && GapRow(trace)[position] != 0;
}

bool ChartBuffer::HasGaps(int trace) const {
  return trace >= 0 && trace < kTraceCount && gapCount_[trace] > 0;
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
