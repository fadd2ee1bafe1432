#pragma once
#include <optional>
#include <vector>

#include "core/records/RecordResult.h"
#include "core/records/RecordRows.h"
#include "core/recordview/RecordChartPicture.h"

namespace merilog {

class RecordDatabase;

// The record chart's mapping. Logical x runs from 0 at the left edge to
// `steps` at the right edge; logical y = 0 lies at the chart's integer half
// height and 1000 logical units span the height, y growing upwards. A value v
// lies at y = v * factor * 100, truncated toward zero; an overload above the top.
struct RecordChartMapping {
  long long steps = 0;
  double factor = 1.0;

  // Logical y of a value (9.9E+37: 2001), held within a range far outside the chart.
  long long LogicalY(double value) const;
  // Pixel column of logical x (0 when there are no steps).
  int PixelX(long long x) const;
  // Pixel row of logical y.
  static int PixelY(long long y);
};

// Turns the readings of one draw into the lines to paint, reading each value
// once. A full walk would draw one segment per pair of neighbouring readings;
// where many readings fall into one pixel column those segments are vertical
// in that column and together cover exactly the run from their lowest to their
// highest point. So per column one vertical line per unbroken run, and the
// segment from the column's last reading to the next column's first, give the
// same pixels as the full walk with a few lines per column.
class RecordChartTracer {
 public:
  explicit RecordChartTracer(RecordChartMapping mapping) : mapping_(mapping) {}

  // The next reading; a missing one (no value, or no second value) has no
  // line to or from it.
  void Add(double value, bool missing);
  // The next n readings at once, all missing or all present with their pixel
  // rows within top..bottom, the same as adding them one by one; they lie in
  // the column of the reading before them, and the reading after them does too.
  void AddBlock(long long n, bool missing, int top, int bottom);
  // The line does not join the previous reading to the next (a gap in the
  // readings lies between them).
  void Break() { prevPresent_ = false; }
  std::vector<ChartLine> Finish();

 private:
  void CloseRun();
  void FlushColumn();

  RecordChartMapping mapping_;
  long long next_ = 0;
  bool prevPresent_ = false;
  int prevX_ = 0, prevY_ = 0;
  int column_ = 0;
  long long runLength_ = 0;
  int runTop_ = 0, runBottom_ = 0;
  struct Span {
    int top, bottom;
  };
  std::vector<Span> spans_;  // of the current column
  std::vector<ChartLine> lines_;
};

// Positions of the last reading before each gap of the record (read_gap),
// ascending; none for a record without gaps, or whose gaps cannot be read.
std::vector<long long> GapBreaks(RecordDatabase& record, const RecordIndex& index);

// One draw: `points` readings of a column from position `first` on, traced
// with the mapping; the line breaks over each gap of the record. `progress` hears every `progressEvery` readings and may
// stop the draw (cancelled, no lines). A missing reading is a NULL, and in the
// second column also the no-second-value marker 9.9E+21. Where many readings
// share a pixel column, whole blocks of them come from the record's min/max
// pyramid, and only the readings at the columns' edges (and in blocks with
// some readings missing) are read one by one: the same pixels, from a few
// thousand values instead of millions.
struct TracedGraph {
  RecordStatus status;
  bool cancelled = false;
  std::vector<ChartLine> lines;
  long long valuesRead = 0;  // readings and pyramid blocks read
};
TracedGraph TraceRecordGraph(RecordDatabase& record, const RecordIndex& index, RecordColumn column, long long first,
                             long long points, const RecordChartMapping& mapping, const RowProgress& progress = {},
                             long long progressEvery = 20000);

// The cursor marker for reading p of a graph of `steps` steps at logical y:
// 10^7 logical units wide on an x extent of 999999999, 30 units high. None
// when the graph has no steps.
std::optional<ChartMarker> CursorMarker(long long steps, long long p, long long logicalY);

}  // namespace merilog
