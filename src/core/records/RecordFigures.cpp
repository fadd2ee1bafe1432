#include "core/records/RecordFigures.h"

#include <SQLiteCpp/SQLiteCpp.h>

#include <cmath>
#include <limits>

#include "core/records/RecordDatabase.h"
#include "core/records/RecordSql.h"

namespace merilog {

void RunningColumn::Add(double v) {
  if (std::isnan(v)) return;  // stored as NULL, which the aggregates skip
  ++count;
  sum += v;
  // Replaced only by a strictly larger (smaller) value, as the engine's max (min) does.
  if (!max || v > *max) max = v;
  if (!min || v < *min) min = v;
}

ColumnFigures RunningColumn::Figures() const {
  ColumnFigures f;
  f.count = count;
  f.max = max;
  f.min = min;
  // +inf and -inf together make the sum undefined; the engine's avg() is then NULL.
  if (count > 0 && !std::isnan(sum)) f.avg = sum / static_cast<double>(count);
  return f;
}

namespace {

std::optional<double> OptionalDouble(const SQLite::Column& c) {
  if (c.isNull()) return std::nullopt;
  return c.getDouble();
}

ColumnFigures RunAggregate(SQLite::Database& db, const char* sql) {
  SQLite::Statement q(db, sql);
  ColumnFigures f;
  if (q.executeStep()) {
    f.count = q.getColumn("sum_num").getInt64();
    f.max = OptionalDouble(q.getColumn("max_num"));
    f.min = OptionalDouble(q.getColumn("min_num"));
    f.avg = OptionalDouble(q.getColumn("avg_num"));
  }
  return f;
}

}  // namespace

RecordResult<RecordFigures> ReadRecordFiguresBySql(RecordDatabase& record) {
  try {
    RecordFigures figures;
    figures.value = RunAggregate(record.Sql(), record_sql::kValueFigures);
    figures.value2nd = RunAggregate(record.Sql(), record_sql::kValue2ndFigures);
    return figures;
  } catch (const SQLite::Exception& e) {
    return RecordStatus::Failure(record.Explain(e));
  }
}

RecordResult<RecordFigures> ReadRecordFigures(RecordDatabase& record) {
  try {
    if (auto state = record_summary::Load(record.Sql());
        state && state->lastRowid == record_summary::LastRowid(record.Sql())) {
      RecordFigures figures;
      figures.value = state->value.Figures();
      figures.value2nd = state->value2nd.Figures();
      figures.fromSummary = true;
      return figures;
    }
  } catch (const SQLite::Exception&) {
    // A summary that cannot be read is no reason to fail: the queries below decide.
  }
  return ReadRecordFiguresBySql(record);
}

namespace record_summary {

const char* const kTableName = "read_summary";

void Ensure(SQLite::Database& db) {
  db.exec(
      "CREATE TABLE IF NOT EXISTS read_summary (last_rowid INTEGER, "
      "value_count INTEGER, value_sum DOUBLE, value_max DOUBLE, value_min DOUBLE, "
      "value2_count INTEGER, value2_sum DOUBLE, value2_max DOUBLE, value2_min DOUBLE)");
}

// A sum is never NULL but when it is undefined (+inf and -inf both added): the
// engine stores and total() gives a NaN as NULL, so NULL reads back as NaN.
static double SumFrom(const SQLite::Column& c) {
  return c.isNull() ? std::numeric_limits<double>::quiet_NaN() : c.getDouble();
}

// Both the summary row and the aggregate query list their columns in this order.
static State StateFromRow(SQLite::Statement& q) {
  State s;
  s.lastRowid = q.getColumn(0).isNull() ? 0 : q.getColumn(0).getInt64();
  s.value.count = q.getColumn(1).getInt64();
  s.value.sum = SumFrom(q.getColumn(2));
  s.value.max = OptionalDouble(q.getColumn(3));
  s.value.min = OptionalDouble(q.getColumn(4));
  s.value2nd.count = q.getColumn(5).getInt64();
  s.value2nd.sum = SumFrom(q.getColumn(6));
  s.value2nd.max = OptionalDouble(q.getColumn(7));
  s.value2nd.min = OptionalDouble(q.getColumn(8));
  return s;
}

std::optional<State> Load(SQLite::Database& db) {
  if (!db.tableExists(kTableName)) return std::nullopt;
  SQLite::Statement q(db,
                      "SELECT last_rowid, value_count, value_sum, value_max, value_min, "
                      "value2_count, value2_sum, value2_max, value2_min FROM read_summary LIMIT 1");
  if (!q.executeStep()) return std::nullopt;
  return StateFromRow(q);
}

State Compute(SQLite::Database& db) {
  // total() adds in row order exactly as avg() does, so sum / count equals avg().
  SQLite::Statement q(db,
                      "SELECT max(rowid), count(read_value), total(read_value), max(read_value), min(read_value), "
                      "count(read_value_2ND), total(read_value_2ND), max(read_value_2ND), min(read_value_2ND) "
                      "FROM read");
  return q.executeStep() ? StateFromRow(q) : State{};
}

void Store(SQLite::Database& db, const State& s) {
  db.exec("DELETE FROM read_summary");
  SQLite::Statement ins(db, "INSERT INTO read_summary VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
  auto bindOptional = [&ins](int i, const std::optional<double>& v) {
    if (v)
      ins.bind(i, *v);
    else
      ins.bind(i);
  };
  ins.bind(1, static_cast<int64_t>(s.lastRowid));
  ins.bind(2, static_cast<int64_t>(s.value.count));
  ins.bind(3, s.value.sum);
  bindOptional(4, s.value.max);
  bindOptional(5, s.value.min);
  ins.bind(6, static_cast<int64_t>(s.value2nd.count));
  ins.bind(7, s.value2nd.sum);
  bindOptional(8, s.value2nd.max);
  bindOptional(9, s.value2nd.min);
  ins.exec();
}

long long LastRowid(SQLite::Database& db) {
  SQLite::Statement q(db, "SELECT max(rowid) FROM read");
  if (!q.executeStep() || q.getColumn(0).isNull()) return 0;
  return q.getColumn(0).getInt64();
}

}  // namespace record_summary
}  // namespace merilog
