#include "core/records/RecordFigures.h"

#include <SQLiteCpp/SQLiteCpp.h>

#include <cmath>

#include "core/records/RecordDatabase.h"
#include "core/records/RecordIndex.h"
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
  auto index = RecordIndex::Open(record);
  if (!index) return index.status();
  return index->Figures(record);
}

}  // namespace merilog
