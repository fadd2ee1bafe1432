#include "core/recordview/RecordChartTrace.h"

#include <SQLiteCpp/SQLiteCpp.h>

#include <algorithm>
#include <climits>
#include <cmath>

#include "core/records/RecordDatabase.h"
#include "core/records/RecordFormat.h"
#include "core/records/RecordGaps.h"

namespace merilog {

namespace {

constexpr int kWidth = RecordChartPicture::kWidth;
constexpr int kHeight = RecordChartPicture::kHeight;
constexpr long long kUnitsPerHeight = 1000;
constexpr long long kOverloadY = 2001;
// Logical y is held within this: a thousand chart heights either way draws
// the same pixels as any larger value, and stays a safe integer.
constexpr double kFarY = 1e6;
// The cursor marker's mapping.
constexpr long long kMarkerExtent = 999999999;
constexpr long long kMarkerStepUnits = 1000000000;
constexpr long long kMarkerHalfWidth = 5000000;
constexpr long long kMarkerHalfHeight = 15;

// n / d rounded half away from zero, d > 0.
long long RoundedDivide(long long n, long long d) {
  return n >= 0 ? (n + d / 2) / d : -((-n + d / 2) / d);
}

int PixelXOn(long long x, long long extent) {
  return extent <= 0 ? 0 : static_cast<int>(RoundedDivide(x * kWidth, extent));
}

}  // namespace

long long RecordChartMapping::LogicalY(double value) const {
  if (value == kOverloadValue) return kOverloadY;
  const double y = value * factor * 100.0;
  if (std::isnan(y)) return 0;
  return static_cast<long long>(std::clamp(y, -kFarY, kFarY));  // the cast truncates toward zero
}

int RecordChartMapping::PixelX(long long x) const {
  return PixelXOn(x, steps);
}

int RecordChartMapping::PixelY(long long y) {
  return kHeight / 2 - static_cast<int>(RoundedDivide(y * kHeight, kUnitsPerHeight));
}

void RecordChartTracer::Add(double value, bool missing) {
  const int x = mapping_.PixelX(next_);
  const int y = missing ? 0 : RecordChartMapping::PixelY(mapping_.LogicalY(value));
  const bool present = !missing;
  if (next_ > 0 && x != column_) {
    CloseRun();
    FlushColumn();
    if (prevPresent_ && present) lines_.push_back({prevX_, prevY_, x, y});
  } else if (next_ > 0 && prevPresent_ && present) {
    // Same column: the segment from the previous reading lies on the run's vertical line.
    ++runLength_;
    runTop_ = std::min(runTop_, y);
    runBottom_ = std::max(runBottom_, y);
  } else {
    CloseRun();
  }
  if (next_ == 0 || x != column_ || !(prevPresent_ && present)) {
    runLength_ = present ? 1 : 0;
    runTop_ = runBottom_ = y;
  }
  column_ = x;
  prevPresent_ = present;
  prevX_ = x;
  prevY_ = y;
  ++next_;
}

void RecordChartTracer::AddBlock(long long n, bool missing, int top, int bottom) {
  if (n <= 0) return;
  if (missing) {
    CloseRun();
    prevPresent_ = false;
  } else if (prevPresent_) {
    runLength_ += n;
    runTop_ = std::min(runTop_, top);
    runBottom_ = std::max(runBottom_, bottom);
  } else {
    CloseRun();
    runLength_ = n;
    runTop_ = top;
    runBottom_ = bottom;
    prevPresent_ = true;
  }
  next_ += n;
}

void RecordChartTracer::CloseRun() {
  // One reading alone draws nothing; its pixel belongs to the segments around it.
  if (runLength_ >= 2 && runBottom_ >= 0 && runTop_ < kHeight)
    spans_.push_back({std::max(runTop_, 0), std::min(runBottom_, kHeight - 1)});
  runLength_ = 0;
}

void RecordChartTracer::FlushColumn() {
  if (spans_.empty()) return;
  std::sort(spans_.begin(), spans_.end(), [](const Span& a, const Span& b) { return a.top < b.top; });
  Span merged = spans_.front();
  for (size_t i = 1; i < spans_.size(); ++i) {
    if (spans_[i].top <= merged.bottom + 1) {
      merged.bottom = std::max(merged.bottom, spans_[i].bottom);
    } else {
      lines_.push_back({column_, merged.top, column_, merged.bottom});
      merged = spans_[i];
    }
  }
  lines_.push_back({column_, merged.top, column_, merged.bottom});
  spans_.clear();
}

std::vector<ChartLine> RecordChartTracer::Finish() {
  CloseRun();
  FlushColumn();
  return std::move(lines_);
}

namespace {

// Below this many readings per pixel column the pyramid saves little (a column's edges are read
// reading by reading up to a block boundary), and one pass reads them all faster.
constexpr long long kPyramidFromReadingsPerColumn = 4 * kPyramidFanout;

// The pyramid's blocks were not as the record keeps them (the file changed under the draw).
struct PyramidLost {};

// Feeds a draw's readings to the tracer from raw rows and pyramid blocks.
class PyramidTrace {
 public:
  PyramidTrace(RecordDatabase& record, const RecordIndex& index, RecordColumn column, RecordChartTracer& tracer,
               const RecordChartMapping& mapping)
      : record_(record),
        index_(index),
        second_(column == RecordColumn::Value2nd),
        tracer_(tracer),
        mapping_(mapping),
        raw_(record.Sql(), second_ ? "SELECT read_value_2ND FROM read WHERE rowid >= ? ORDER BY rowid LIMIT ?"
                                   : "SELECT read_value FROM read WHERE rowid >= ? ORDER BY rowid LIMIT ?") {}

  // Readings and blocks read so far.
  long long ValuesRead() const { return read_; }

  // Readings first..last (positions in the record), read one by one.
  void Raw(long long first, long long last) {
    if (first > last) return;
    const std::optional<long long> rowid = index_.RowidAt(record_, first);
    if (!rowid) throw PyramidLost{};
    raw_.bind(1, static_cast<int64_t>(*rowid));
    raw_.bind(2, static_cast<int64_t>(last - first + 1));
    long long n = 0;
    while (raw_.executeStep()) {
      const SQLite::Column c = raw_.getColumn(0);
      const bool isNull = c.isNull();
      const double v = isNull ? 0.0 : c.getDouble();
      tracer_.Add(v, isNull || (second_ && v == kNoSecondValue));
      ++n;
    }
    read_ += n;
    raw_.reset();
    if (n != last - first + 1) throw PyramidLost{};
  }

  // Full blocks first..last of a level; a block with some readings missing is taken apart.
  void Blocks(int level, long long first, long long last) {
    if (first > last) return;
    std::vector<PyramidBlock> blocks;
    if (!index_.Blocks(record_, level, first, last, blocks)) throw PyramidLost{};
    read_ += static_cast<long long>(blocks.size());
    const long long rows = PyramidBlockRows(level);
    for (size_t i = 0; i < blocks.size(); ++i) {
      const ColumnBlock& b = second_ ? blocks[i].second : blocks[i].value;
      const long long block = first + static_cast<long long>(i);
      if (b.missing == rows) {
        tracer_.AddBlock(rows, true, 0, 0);
      } else if (b.missing == 0) {
        int top = INT_MAX, bottom = INT_MIN;
        auto take = [&](double v) {
          const int y = RecordChartMapping::PixelY(mapping_.LogicalY(v));
          top = std::min(top, y);
          bottom = std::max(bottom, y);
        };
        if (b.HasValues()) {
          take(b.low);
          take(b.high);
        }
        if (b.overloads > 0) take(kOverloadValue);
        if (top > bottom) throw PyramidLost{};  // a block of nothing
        tracer_.AddBlock(rows, false, top, bottom);
      } else if (level > 1) {
        Blocks(level - 1, block * kPyramidFanout, block * kPyramidFanout + kPyramidFanout - 1);
      } else {
        Raw(block * rows, block * rows + rows - 1);
      }
    }
  }

  // Readings first..last, all in one pixel column: the largest aligned blocks that fit, read one by one around them.
  void Middle(long long first, long long last) {
    // Up through the levels while the position is aligned and a block fits, then down again.
    long long p = first;
    while (p <= last) {
      int level = 0;
      for (int k = kPyramidLevels; k >= 1; --k) {
        const long long rows = PyramidBlockRows(k);
        if (p % rows == 0 && p + rows - 1 <= last && p / rows < index_.FullBlocks(k)) {
          level = k;
          break;
        }
      }
      if (level == 0) {
        // Up to the next block boundary, or the end.
        long long end = std::min(last, (p / kPyramidFanout + 1) * kPyramidFanout - 1);
        Raw(p, end);
        p = end + 1;
        continue;
      }
      const long long rows = PyramidBlockRows(level);
      // As many blocks of this level as fit before the next larger boundary.
      const long long upper = level < kPyramidLevels ? PyramidBlockRows(level + 1) : LLONG_MAX;
      long long count = 1;
      while (p + (count + 1) * rows - 1 <= last && (p + count * rows) % upper != 0 &&
             (p + count * rows) / rows < index_.FullBlocks(level))
        ++count;
      Blocks(level, p / rows, p / rows + count - 1);
      p += count * rows;
    }
  }

 private:
  RecordDatabase& record_;
  const RecordIndex& index_;
  bool second_;
  RecordChartTracer& tracer_;
  const RecordChartMapping& mapping_;
  SQLite::Statement raw_;
  long long read_ = 0;
};

// The first reading (relative to the draw) whose pixel column is at least c.
long long ColumnStart(const RecordChartMapping& mapping, int c) {
  const __int128 steps = mapping.steps;
  __int128 n = static_cast<__int128>(c) * steps - steps / 2;
  long long i = n <= 0 ? 0 : static_cast<long long>((n + kWidth - 1) / kWidth);
  while (mapping.PixelX(i) < c) ++i;
  while (i > 0 && mapping.PixelX(i - 1) >= c) --i;
  return i;
}

// The gaps of a draw (the last position before each), walked forwards: the
// line starts afresh at the first position past each gap.
class GapCursor {
 public:
  GapCursor(const std::vector<long long>& breaks, long long first)
      : next_(std::lower_bound(breaks.begin(), breaks.end(), first)), end_(breaks.end()) {}
  void BreakBefore(long long position, RecordChartTracer& tracer) {
    if (next_ == end_ || *next_ >= position) return;
    tracer.Break();
    while (next_ != end_ && *next_ < position) ++next_;
  }
  // Where a piece running to `to` ends: at the next gap when that comes first.
  long long PieceEnd(long long to) const { return next_ != end_ && *next_ < to ? *next_ : to; }

 private:
  std::vector<long long>::const_iterator next_, end_;
};

}  // namespace

std::vector<long long> GapBreaks(RecordDatabase& record, const RecordIndex& index) {
  std::vector<long long> breaks;
  try {
    for (const RecordGap& gap : RecordGaps::Load(record.Sql())) {
      if (gap.lastRowid <= 0) continue;  // before every reading: nothing to break
      // The last position whose row id is at most the gap's; row ids grow with the position.
      long long low = 0, high = index.RowCount() - 1, found = -1;
      while (low <= high) {
        const long long mid = low + (high - low) / 2;
        const std::optional<long long> rowid = index.RowidAt(record, mid);
        if (rowid && *rowid <= gap.lastRowid) {
          found = mid;
          low = mid + 1;
        } else {
          high = mid - 1;
        }
      }
      if (found >= 0) breaks.push_back(found);
    }
  } catch (const SQLite::Exception&) {
    breaks.clear();  // a gap table that cannot be read draws the line unbroken, as any other program would
  }
  std::sort(breaks.begin(), breaks.end());
  breaks.erase(std::unique(breaks.begin(), breaks.end()), breaks.end());
  return breaks;
}

TracedGraph TraceRecordGraph(RecordDatabase& record, const RecordIndex& index, RecordColumn column, long long first,
                             long long points, const RecordChartMapping& mapping, const RowProgress& progress,
                             long long progressEvery) {
  TracedGraph graph;
  RecordChartTracer tracer(mapping);
  const bool second = column == RecordColumn::Value2nd;
  const std::vector<long long> breaks = GapBreaks(record, index);
  if (points >= kPyramidFromReadingsPerColumn * (kWidth + 1) && mapping.steps == points - 1) {
    try {
      PyramidTrace trace(record, index, column, tracer, mapping);
      long long nextReport = progressEvery;
      GapCursor gaps(breaks, first);
      for (int c = 0; c <= kWidth; ++c) {
        const long long lo = ColumnStart(mapping, c);
        const long long hi = std::min(points, ColumnStart(mapping, c + 1)) - 1;
        if (lo > hi) continue;
        // A column in pieces between the gaps in it. The first and the last reading of a piece are read
        // as they are: the lines between columns join them, and the line starts afresh after a gap.
        for (long long from = first + lo, to = first + hi; from <= to;) {
          gaps.BreakBefore(from, tracer);
          const long long end = gaps.PieceEnd(to);
          trace.Raw(from, from);
          if (end > from) {
            trace.Middle(from + 1, end - 1);
            trace.Raw(end, end);
          }
          from = end + 1;
        }
        if (progress && hi + 1 >= nextReport) {
          nextReport = (hi + 1) / progressEvery * progressEvery + progressEvery;
          if (!progress(hi + 1, points)) {
            graph.cancelled = true;
            return graph;
          }
        }
      }
      graph.lines = tracer.Finish();
      graph.valuesRead = trace.ValuesRead();
      return graph;
    } catch (const SQLite::Exception& e) {
      graph.status = RecordStatus::Failure(record.Explain(e));
      return graph;
    } catch (const PyramidLost&) {
      // Read the whole draw again, reading by reading.
      tracer = RecordChartTracer(mapping);
    }
  }
  long long done = 0;
  GapCursor gaps(breaks, first);
  graph.status = ScanRecordColumn(record, index, column, first, points, [&](double value, bool isNull) {
    gaps.BreakBefore(first + done, tracer);
    tracer.Add(value, isNull || (second && value == kNoSecondValue));
    ++graph.valuesRead;
    if (++done % progressEvery == 0 && progress && !progress(done, points)) {
      graph.cancelled = true;
      return false;
    }
    return true;
  });
  if (graph.status && !graph.cancelled) graph.lines = tracer.Finish();
  return graph;
}

std::optional<ChartMarker> CursorMarker(long long steps, long long p, long long logicalY) {
  if (steps <= 0) return std::nullopt;
  const long long x = kMarkerStepUnits / steps * p;
  ChartMarker m;
  m.left = PixelXOn(x - kMarkerHalfWidth, kMarkerExtent);
  m.right = PixelXOn(x + kMarkerHalfWidth, kMarkerExtent);
  m.top = RecordChartMapping::PixelY(logicalY + kMarkerHalfHeight);
  m.bottom = RecordChartMapping::PixelY(logicalY - kMarkerHalfHeight);
  return m;
}

}  // namespace merilog
