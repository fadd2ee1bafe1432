#pragma once
#include <optional>

#include "core/records/RecordResult.h"

namespace merilog {

class RecordDatabase;

// count, max, min and avg of one column, as SQL's aggregates give them: rows
// whose value is NULL (a NaN reading is stored as NULL) are not counted, and
// max, min and avg are absent when nothing is counted. Infinite readings count:
// max or min is then infinite, and so is avg when all infinities share a sign;
// with both signs the average is undefined and absent, as SQL's avg() is NULL.
struct ColumnFigures {
  long long count = 0;
  std::optional<double> max, min, avg;
  bool operator==(const ColumnFigures&) const = default;
};

// The same figures kept up to date row by row.
struct RunningColumn {
  long long count = 0;
  double sum = 0;  // in row order, the way the engine's avg() adds, so sum / count is avg() to the bit;
                   // NaN once +inf and -inf were both added
  std::optional<double> max, min;

  void Add(double v);
  ColumnFigures Figures() const;
  bool operator==(const RunningColumn&) const = default;
};

struct RecordFigures {
  ColumnFigures value;       // read_value
  ColumnFigures value2nd;    // read_value_2ND (the 9.9E+21 marker counts, as in SQL)
  ColumnFigures second;      // read_value_2ND without the marker
  bool fromSummary = false;  // false: the SQL aggregate queries were run
};

// The record's figures: those the record keeps when they are right, else
// found in one pass over its rows (RecordIndex), and for a record with texts
// among its values the SQL aggregate queries over read ("select
// avg(read_value) as avg_num ,count(read_value) ...").
RecordResult<RecordFigures> ReadRecordFigures(RecordDatabase& record);
// Always the SQL aggregate queries.
RecordResult<RecordFigures> ReadRecordFiguresBySql(RecordDatabase& record);

}  // namespace merilog
