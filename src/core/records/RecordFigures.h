#pragma once
#include <optional>

#include "core/records/RecordResult.h"

namespace SQLite {
class Database;
}

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
  bool fromSummary = false;  // false: the SQL aggregate queries were run
};

// The record's figures in a few milliseconds from its summary table when that
// is present and covers the last row; otherwise from the SQL aggregate queries
// over read ("select avg(read_value) as avg_num ,count(read_value) ...").
RecordResult<RecordFigures> ReadRecordFigures(RecordDatabase& record);
// Always the SQL aggregate queries.
RecordResult<RecordFigures> ReadRecordFiguresBySql(RecordDatabase& record);

// The summary table kept beside read: one row, updated in the same transaction
// as each batch of appended rows. Readers that do not know it never see it.
namespace record_summary {
extern const char* const kTableName;  // "read_summary"
struct State {
  long long lastRowid = 0;  // max(rowid) of read when the figures were taken
  RunningColumn value, value2nd;
  bool operator==(const State&) const = default;
};
// Creates the table if needed. Call inside a write transaction.
void Ensure(SQLite::Database& db);
// The stored state, or nothing when the table or its row is missing.
std::optional<State> Load(SQLite::Database& db);
// The state computed from all rows of read (one pass).
State Compute(SQLite::Database& db);
// Replaces the stored row. Call inside the write transaction of the rows.
void Store(SQLite::Database& db, const State& state);
// max(rowid) of read, 0 when empty.
long long LastRowid(SQLite::Database& db);
}  // namespace record_summary

}  // namespace merilog
