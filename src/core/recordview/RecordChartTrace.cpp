#include "core/recordview/RecordChartTrace.h"

#include <algorithm>
#include <cmath>

#include <SQLiteCpp/SQLiteCpp.h>

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

std::vector<long long> GapBreaks(RecordDatabase& record, const RecordRowIndex& index) {
  std::vector<long long> breaks;
  try {
    for (const RecordGap& gap : RecordGaps::Load(record.Sql())) {
      if (gap.lastRowid <= 0) continue;  // before every reading: nothing to break
      // The last position whose row id is at most the gap's; row ids grow with the position.
      long long low = 0, high = index.RowCount() - 1, found = -1;
      while (low <= high) {
        const long long mid = low + (high - low) / 2;
        const long long rowid = index.RowidAt(record, mid);
        if (rowid >= 0 && rowid <= gap.lastRowid) {
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

TracedGraph TraceRecordGraph(RecordDatabase& record, const RecordRowIndex& index, RecordColumn column, long long first,
                             long long points, const RecordChartMapping& mapping, const RowProgress& progress,
                             long long progressEvery) {
  TracedGraph graph;
  RecordChartTracer tracer(mapping);
  const bool second = column == RecordColumn::Value2nd;
  long long done = 0;
  const std::vector<long long> breaks = GapBreaks(record, index);
  auto nextBreak = std::lower_bound(breaks.begin(), breaks.end(), first);
  graph.status = ScanRecordColumn(record, index, column, first, points, [&](double value, bool isNull) {
    // Past the last reading before a gap: the line starts afresh.
    const long long position = first + done;
    if (nextBreak != breaks.end() && *nextBreak < position) {
      tracer.Break();
      while (nextBreak != breaks.end() && *nextBreak < position) ++nextBreak;
    }
    tracer.Add(value, isNull || (second && value == kNoSecondValue));
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
