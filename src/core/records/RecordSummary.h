#pragma once
#include <array>
#include <cmath>
#include <functional>
#include <limits>

#include "core/records/RecordFigures.h"

namespace merilog {

// Levels of the min/max pyramid; a block of level k holds 64^k rows.
constexpr int kPyramidLevels = 5;
constexpr long long kPyramidFanout = 64;
constexpr long long PyramidBlockRows(int level) {
  long long n = 1;
  for (int i = 0; i < level; ++i) n *= kPyramidFanout;
  return n;
}

// One value of a row as the engine holds it: absent (NULL), a number, or a
// text or blob (which the engine turns into a number when asked for one).
struct RecordCell {
  bool null = true;
  bool number = true;  // false: a text or a blob
  double value = 0;
};

// What one column of a block of rows holds, as the chart needs it: how many
// rows have no point (missing), how many are overloads (drawn above the
// chart), and the least and greatest of the other values (NaN when none:
// the engine never holds a NaN).
struct ColumnBlock {
  long long missing = 0, overloads = 0;
  double low = std::numeric_limits<double>::quiet_NaN(), high = std::numeric_limits<double>::quiet_NaN();

  bool HasValues() const { return !std::isnan(low); }
  void AddValue(double v);
  void Merge(const ColumnBlock& other);
  bool operator==(const ColumnBlock& o) const;
};

// A block of the pyramid: 64^level rows from first_rowid on.
struct PyramidBlock {
  long long firstRowid = 0;
  ColumnBlock value, second;  // read_value; read_value_2ND with its no-second-value marker missing
  bool operator==(const PyramidBlock&) const = default;
};

// The summary of a record's rows, built row by row in table order: the row
// count and row ids, the figures of both columns, and the pyramid's blocks as
// they fill (handed to the sink), with the partly filled ones of each level.
class RecordSummary {
 public:
  using BlockSink = std::function<void(int level, long long block, const PyramidBlock&)>;

  long long changeCount = 0;  // the file's change counter this summary answers to
  long long rows = 0;
  long long firstRowid = 0, lastRowid = 0;  // 0 when there are no rows
  bool bySql = false;                       // a text or blob value was met
  RunningColumn value, value2nd, second;    // second: read_value_2ND without the marker

  void SetSink(BlockSink sink) { sink_ = std::move(sink); }
  // The next row; its row id lies above every earlier one.
  void Add(long long rowid, const RecordCell& value, const RecordCell& value2nd);
  // Picks up where a kept summary stopped: `partial` is the part of level k's
  // last block made of full blocks of level k - 1 (of raw rows for k = 1);
  // restored level by level from the top, each within the one above.
  void RestorePartial(int level, const PyramidBlock& partial, long long rowsInIt);
  // The partly filled block of a level as it stands.
  const PyramidBlock& PartialBlock(int level) const { return partial_[level].block; }
  // Whether row ids run first..last without a gap.
  bool Contiguous() const;

 private:
  struct Partial {
    PyramidBlock block;
    long long rows = 0;  // rows (level 1) or full blocks below (above) taken in so far
  };
  void Complete(int level);

  std::array<Partial, kPyramidLevels + 1> partial_{};  // [1..kPyramidLevels]
  BlockSink sink_;
};

}  // namespace merilog
