#pragma once
#include <array>
#include <span>
#include <vector>

namespace merilog {

// The live chart's readings: eight traces (trace d = main reading of meter
// position d, d + 4 = its 2ND reading), positions 1..PointCount in use, oldest
// at 1, newest at PointCount. Allocated once; a tick never allocates.
class ChartBuffer {
 public:
  static constexpr int kTraceCount = 8;
  static constexpr int kCapacity = 2000;  // readings per trace, the largest XMax
  static constexpr int kDefaultXMax = 100;
  static constexpr int kMinXMax = 50;

  ChartBuffer();

  // Start Reading: every value 0 and PointCount 0. XMax is kept.
  void Reset();

  // Beginning of a tick. Below XMax, PointCount grows by one when grow is set
  // (a pipelined run grows it after a successful read instead, GrowPoint).
  // At XMax the window scrolls: for each listed main trace t, positions 2..XMax
  // of traces t and t + 4 move down one place; the newest position keeps its
  // old value until written. A PointCount above a lowered XMax is clamped.
  void AdvanceWindow(std::span<const int> mainTraces, bool grow = true);
  // One more reading in the window, never beyond XMax: with several meters in a
  // pipelined run the count may only reach XMax, so nothing lands outside it.
  void GrowPoint();

  // The tick's reading for a trace, stored at PointCount. Ignored for a trace
  // outside 0..7 or while PointCount is 0.
  void Store(int trace, double value);

  // A meter lost in a run that keeps reading: the trace has no reading at
  // PointCount, and its line breaks there. Cleared by the next Store, moved
  // with the window like the values.
  void MarkGap(int trace);
  bool IsGap(int trace, int position) const;
  // A meter still answering an earlier tick: its newest position repeats the
  // one before it rather than stay unwritten (which would draw a drop to zero
  // while the window fills).
  void RepeatPrevious(int trace);
  // Whether any position of a trace is a gap (a line without breaks draws as before).
  bool HasGaps(int trace) const;

  // Value at position 1..kCapacity (0 outside the trace).
  double Value(int trace, int position) const;
  // Direct view of a trace's positions 0..kCapacity (position 0 is never drawn).
  std::span<const double> Trace(int trace) const;

  int PointCount() const { return pointCount_; }
  int XMax() const { return xMax_; }
  // Ticks between chart redraws for the current XMax (1, 2, 4, 10, 20 or 40).
  int TicksPerRedraw() const { return xMax_ / kMinXMax; }
  // Accepts 50..2000; anything else is ignored and false returned.
  bool SetXMax(int xMax);

  // Test and restore support: sets PointCount (clamped to 0..XMax).
  void SetPointCount(int count);

 private:
  double* Row(int trace) { return values_.data() + static_cast<size_t>(trace) * (kCapacity + 1); }
  const double* Row(int trace) const { return values_.data() + static_cast<size_t>(trace) * (kCapacity + 1); }
  char* GapRow(int trace) { return gaps_.data() + static_cast<size_t>(trace) * (kCapacity + 1); }
  const char* GapRow(int trace) const { return gaps_.data() + static_cast<size_t>(trace) * (kCapacity + 1); }

  std::vector<double> values_;  // kTraceCount rows of kCapacity + 1
  std::vector<char> gaps_;      // the same layout: 1 where a trace has no reading
  std::array<int, kTraceCount> gapCount_{};  // gaps per trace, so a trace without any costs nothing
  int pointCount_ = 0;
  int xMax_ = kDefaultXMax;
};

}  // namespace merilog
