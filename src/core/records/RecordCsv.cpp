#include "core/records/RecordCsv.h"

#include <SQLiteCpp/SQLiteCpp.h>
#include <sqlite3.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/base/OutputTarget.h"
#include "core/records/RecordDatabase.h"
#include "core/records/RecordFormat.h"
#include "core/records/RecordSql.h"

namespace merilog {

namespace {

constexpr size_t kFlushBytes = 1 << 20;
// Rows between two looks at the progress (and at a request to stop).
constexpr long long kProgressRows = 4096;

// "%.14f" without the cost of printf; to_chars gives the same digits.
void AppendFixed14(std::string& out, double v) {
  char buf[400];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 14);
  if (ec == std::errc()) {
    out.append(buf, end);
  } else {
    const int n = std::snprintf(buf, sizeof buf, "%.14f", v);
    out.append(buf, static_cast<size_t>(std::max(0, n)));
  }
}

// Buffered output into a file that appears under its name only when committed.
class CsvFile {
 public:
  explicit CsvFile(const QString& path) : file_(path) {}
  bool Open() { return file_.Open(); }
  std::string& Buffer() { return buf_; }
  bool FlushIfFull() { return buf_.size() < kFlushBytes || Flush(); }
  bool Flush() {
    if (!file_.Write(buf_)) return false;
    buf_.clear();
    return true;
  }
  bool Commit() { return Flush() && file_.Commit(); }
  // Without a commit the temporary file is removed when this object goes.
  void Discard() { file_.Discard(); }
  // A sentence naming the file and the reason.
  const QString& Error() const { return file_.Error(); }

 private:
  OutputTarget file_;
  std::string buf_;
};

struct Statement {
  sqlite3_stmt* stmt = nullptr;
  ~Statement() { sqlite3_finalize(stmt); }
};

int ColumnIndex(sqlite3_stmt* stmt, const char* name) {
  for (int i = 0; i < sqlite3_column_count(stmt); ++i)
    if (std::strcmp(sqlite3_column_name(stmt, i), name) == 0) return i;
  return -1;
}

}  // namespace

QString CsvDateTextFromLabel(const QString& label) {
  const qsizetype open = label.indexOf(QLatin1Char('('));
  return open < 0 ? QString() : label.mid(open);
}

CsvExport WriteRecordCsv(const QString& recordPath, const QString& csvPath, const QString& dateText,
                         const RowProgress& progress) {
  CsvExport result;
  CsvFile csv(csvPath);
  if (!csv.Open()) {
    result.outcome = CsvExport::Outcome::CannotOpen;
    result.error = csv.Error();
    return result;
  }
  auto fail = [&](CsvExport::Outcome outcome, const QString& error) {
    csv.Discard();
    result.outcome = outcome;
    result.error = error;
    result.rows = 0;
    return result;
  };
  auto failWrite = [&] { return fail(CsvExport::Outcome::RecordFailed, csv.Error()); };
  std::string& out = csv.Buffer();
  out.reserve(kFlushBytes + 4096);
  out += "Time,Value ,Value_2ND , ,DateTime : ";
  out += dateText.toStdString();
  out += "\r\n";

  if (!recordPath.isEmpty()) {
    auto db = RecordDatabase::Open(recordPath, RecordDatabase::Access::Read);
    if (!db) return fail(CsvExport::Outcome::RecordFailed, db.error());
    RecordDatabase& record = *db.value();
    try {
      MapRecordIntoMemory(record);
      SQLite::Statement count(record.Sql(), record_sql::kValueCount);
      const long long n = count.executeStep() ? count.getColumn("sum_num").getInt64() : 0;

      Statement q;
      if (sqlite3_prepare_v2(record.Sql().getHandle(), record_sql::kSelectRead, -1, &q.stmt, nullptr) != SQLITE_OK)
        throw SQLite::Exception(record.Sql().getHandle());
      const int timeCol = ColumnIndex(q.stmt, "read_time");
      const int valueCol = ColumnIndex(q.stmt, "read_value");
      const int value2Col = ColumnIndex(q.stmt, "read_value_2ND");
      int rc = sqlite3_step(q.stmt);
      if (rc == SQLITE_DONE) {
        if (!csv.Commit()) return failWrite();
        result.outcome = CsvExport::Outcome::NoData;
        return result;
      }
      for (long long i = 1; i <= n && rc == SQLITE_ROW; ++i) {
        if (const unsigned char* t = sqlite3_column_text(q.stmt, timeCol))
          out.append(reinterpret_cast<const char*>(t), static_cast<size_t>(sqlite3_column_bytes(q.stmt, timeCol)));
        out += ',';
        const double v = sqlite3_column_double(q.stmt, valueCol);
        if (v == kOverloadValue)
          out += "OVLD";
        else
          AppendFixed14(out, v);
        out += ',';
        const double v2 = sqlite3_column_double(q.stmt, value2Col);
        if (v2 == kOverloadValue)
          out += "OVLD";
        else if (v2 == kNoSecondValue)
          out += ' ';
        else
          AppendFixed14(out, v2);
        out += "\r\n";
        ++result.rows;
        if (!csv.FlushIfFull()) return failWrite();
        if (progress && i % kProgressRows == 0 && !progress(i, n)) return fail(CsvExport::Outcome::Cancelled, {});
        rc = sqlite3_step(q.stmt);
      }
      if (rc != SQLITE_ROW && rc != SQLITE_DONE) throw SQLite::Exception(record.Sql().getHandle(), rc);
      if (progress) progress(n, n);
    } catch (const SQLite::Exception& e) {
      return fail(CsvExport::Outcome::RecordFailed, record.Explain(e));
    }
  }
  if (!csv.Commit()) return failWrite();
  return result;
}

}  // namespace merilog
