#include "core/records/RecordRows.h"

#include <SQLiteCpp/SQLiteCpp.h>
#include <sqlite3.h>

#include <algorithm>

#include "core/records/RecordDatabase.h"
#include "core/records/RecordFigures.h"
#include "core/records/RecordFormat.h"

namespace merilog {

namespace {

// The engine maps at most this much of a file; a record of ten million rows is about 400 MB.
constexpr const char* kMapWholeFile = "PRAGMA mmap_size=2147418112";

long long SingleRowid(SQLite::Database& db, const char* sql) {
  SQLite::Statement q(db, sql);
  if (!q.executeStep() || q.getColumn(0).isNull()) return 0;
  return q.getColumn(0).getInt64();
}

std::optional<double> OptionalValue(const SQLite::Column& c) {
  if (c.isNull()) return std::nullopt;
  return c.getDouble();
}

}  // namespace

RecordResult<RecordRowIndex> RecordRowIndex::Build(RecordDatabase& record, const std::function<bool()>& cancelled) {
  try {
    SQLite::Database& db = record.Sql();
    RecordRowIndex index;
    // Each of these is one seek; asked together in one query they cost a full pass.
    const long long last = SingleRowid(db, "SELECT max(rowid) FROM read");
    const long long first = SingleRowid(db, "SELECT min(rowid) FROM read");
    if (last == 0 && first == 0) return index;
    index.firstRowid_ = first;
    // Row ids are unique, so as many counted values as ids in first..last means no gaps.
    const auto summary = record_summary::Load(db);
    const long long span = last - first + 1;
    if (summary && summary->lastRowid == last && (summary->value.count == span || summary->value2nd.count == span)) {
      index.rows_ = span;
      return index;
    }
    index.contiguous_ = false;
    SQLite::Statement q(db, "SELECT rowid FROM read");
    long long expected = first;
    while (q.executeStep()) {
      const long long rowid = q.getColumn(0).getInt64();
      if (index.rows_ % kStride == 0) {
        index.anchors_.push_back(rowid);
        if (cancelled && cancelled()) return RecordStatus::Failure({});
      }
      if (rowid != expected) expected = -1;
      if (expected > 0) ++expected;
      ++index.rows_;
    }
    // Gaps only where nobody wrote a row; without them the arithmetic serves.
    if (expected > 0) {
      index.contiguous_ = true;
      index.anchors_.clear();
    }
    return index;
  } catch (const SQLite::Exception& e) {
    return RecordStatus::Failure(record.Explain(e));
  }
}

long long RecordRowIndex::RowidAt(RecordDatabase& record, long long position) const {
  if (position < 0 || position >= rows_) return -1;
  if (contiguous_) return firstRowid_ + position;
  const long long anchor = anchors_[static_cast<size_t>(position / kStride)];
  const long long offset = position % kStride;
  if (offset == 0) return anchor;
  SQLite::Statement q(record.Sql(), "SELECT rowid FROM read WHERE rowid >= ? ORDER BY rowid LIMIT 1 OFFSET ?");
  q.bind(1, static_cast<int64_t>(anchor));
  q.bind(2, static_cast<int64_t>(offset));
  return q.executeStep() ? q.getColumn(0).getInt64() : -1;
}

RecordResult<std::vector<RecordRow>> ReadRecordRows(RecordDatabase& record, const RecordRowIndex& index,
                                                    long long position, int count) {
  std::vector<RecordRow> rows;
  try {
    const long long start = index.RowidAt(record, position);
    if (start < 0 || count <= 0) return rows;
    SQLite::Statement q(record.Sql(),
                        "SELECT read_value, read_value_2ND, read_time FROM read WHERE rowid >= ? ORDER BY rowid "
                        "LIMIT ?");
    q.bind(1, static_cast<int64_t>(start));
    q.bind(2, count);
    rows.reserve(static_cast<size_t>(count));
    while (q.executeStep())
      rows.push_back(
          {OptionalValue(q.getColumn(0)), OptionalValue(q.getColumn(1)), QString::fromUtf8(q.getColumn(2).getText())});
    return rows;
  } catch (const SQLite::Exception& e) {
    return RecordStatus::Failure(record.Explain(e));
  }
}

void MapRecordIntoMemory(RecordDatabase& record) {
  record.Sql().exec(kMapWholeFile);
}

namespace {

// The scan hands each value to the visitor from inside the engine, as an
// aggregate function over the rows: a third less work per row than stepping
// through them one by one.
struct ScanVisit {
  const std::function<bool(double, bool)>* visit;
  sqlite3* db;
  bool stopped = false;
};

void ScanStep(sqlite3_context* context, int, sqlite3_value** values) {
  auto* scan = static_cast<ScanVisit*>(sqlite3_user_data(context));
  if (scan->stopped) return;
  const bool isNull = sqlite3_value_type(values[0]) == SQLITE_NULL;
  if (!(*scan->visit)(isNull ? 0.0 : sqlite3_value_double(values[0]), isNull)) {
    scan->stopped = true;
    sqlite3_interrupt(scan->db);
  }
}

void ScanFinal(sqlite3_context* context) {
  sqlite3_result_null(context);
}

constexpr const char* kScanFunction = "merilog_scan_visit";

}  // namespace

RecordStatus ScanRecordColumn(RecordDatabase& record, const RecordRowIndex& index, RecordColumn column,
                              long long position, long long count,
                              const std::function<bool(double value, bool isNull)>& visit) {
  sqlite3* db = record.Sql().getHandle();
  ScanVisit scan{&visit, db};
  sqlite3_stmt* stmt = nullptr;
  auto finish = [&] {
    sqlite3_finalize(stmt);
    sqlite3_create_function_v2(db, kScanFunction, 1, SQLITE_UTF8, nullptr, nullptr, nullptr, nullptr, nullptr);
  };
  try {
    MapRecordIntoMemory(record);
    const long long start = index.RowidAt(record, position);
    if (start < 0 || count <= 0) return {};
    // The row ids of the first and the last row: a plain range, read in row id order.
    const long long end = index.RowidAt(record, std::min(position + count, index.RowCount()) - 1);
    if (sqlite3_create_function_v2(db, kScanFunction, 1, SQLITE_UTF8, &scan, nullptr, ScanStep, ScanFinal, nullptr) !=
        SQLITE_OK)
      throw SQLite::Exception(db);
    const char* sql = column == RecordColumn::Value
                          ? "SELECT merilog_scan_visit(read_value) FROM read WHERE rowid BETWEEN ? AND ?"
                          : "SELECT merilog_scan_visit(read_value_2ND) FROM read WHERE rowid BETWEEN ? AND ?";
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) throw SQLite::Exception(db);
    sqlite3_bind_int64(stmt, 1, start);
    sqlite3_bind_int64(stmt, 2, end);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE && !(rc == SQLITE_INTERRUPT && scan.stopped)) throw SQLite::Exception(db, rc);
    finish();
    return {};
  } catch (const SQLite::Exception& e) {
    finish();
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
