#include "core/records/RecordRows.h"

#include <SQLiteCpp/SQLiteCpp.h>
#include <sqlite3.h>

#include <algorithm>

#include "core/records/RecordDatabase.h"
#include "core/records/RecordFormat.h"
#include "core/records/RecordPass.h"

namespace merilog {

namespace {

std::optional<double> OptionalValue(const SQLite::Column& c) {
  if (c.isNull()) return std::nullopt;
  return c.getDouble();
}

}  // namespace

RecordResult<std::vector<RecordRow>> ReadRecordRows(RecordDatabase& record, const RecordIndex& index,
                                                    long long position, int count) {
  std::vector<RecordRow> rows;
  try {
    const std::optional<long long> start = index.RowidAt(record, position);
    if (!start || count <= 0) return rows;
    SQLite::Statement q(record.Sql(),
                        "SELECT read_value, read_value_2ND, read_time FROM read WHERE rowid >= ? ORDER BY rowid "
                        "LIMIT ?");
    q.bind(1, static_cast<int64_t>(*start));
    // Never past the rows the index knows, whatever the file holds by now.
    const long long wanted = std::min<long long>(count, index.RowCount() - position);
    q.bind(2, static_cast<int64_t>(wanted));
    rows.reserve(static_cast<size_t>(wanted));
    while (q.executeStep())
      rows.push_back(
          {OptionalValue(q.getColumn(0)), OptionalValue(q.getColumn(1)), QString::fromUtf8(q.getColumn(2).getText())});
    return rows;
  } catch (const SQLite::Exception& e) {
    return RecordStatus::Failure(record.Explain(e));
  }
}

RecordStatus ScanRecordColumn(RecordDatabase& record, const RecordIndex& index, RecordColumn column, long long position,
                              long long count, const std::function<bool(double value, bool isNull)>& visit) {
  try {
    const std::optional<long long> first = index.RowidAt(record, position);
    if (!first || count <= 0) return {};
    // The row ids of the first and the last row: a plain range, read in row id order.
    const std::optional<long long> last = index.RowidAt(record, std::min(position + count, index.RowCount()) - 1);
    if (!last) return {};
    const long long start = *first, end = *last;
    VisitRows(
        record.Sql(),
        column == RecordColumn::Value ? "SELECT merilog_visit(read_value) FROM read WHERE rowid BETWEEN ? AND ?"
                                      : "SELECT merilog_visit(read_value_2ND) FROM read WHERE rowid BETWEEN ? AND ?",
        [start, end](sqlite3_stmt* q) {
          sqlite3_bind_int64(q, 1, start);
          sqlite3_bind_int64(q, 2, end);
        },
        [&visit](sqlite3_value** v) {
          const bool isNull = sqlite3_value_type(v[0]) == SQLITE_NULL;
          return visit(isNull ? 0.0 : sqlite3_value_double(v[0]), isNull);
        });
    return {};
  } catch (const SQLite::Exception& e) {
    return RecordStatus::Failure(record.Explain(e));
  }
}

RecordResult<std::optional<QString>> ReadRecordDateText(RecordDatabase& record) {
  auto date = record.ReadDate();
  if (!date) return date.status();
  if (!date->present) return std::optional<QString>();
  return std::optional<QString>(date->value.isValid() ? RecordDateText(date->value) : date->text);
}

}  // namespace merilog
