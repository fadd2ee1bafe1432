#include "core/records/RecordCsv.h"

#include <SQLiteCpp/SQLiteCpp.h>
#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string>

#include "core/base/OutputTarget.h"
#include "core/records/RecordDatabase.h"
#include "core/records/RecordFormat.h"
#include "core/records/RecordIndex.h"

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

// A value of the row: "OVLD" for an overload, "NaN" for a reading that was no
// number (stored as NULL), else "%.14f"; the second value is a blank when it is
// the no-second-value marker.
void AppendValue(std::string& out, sqlite3_stmt* q, int column, bool second) {
  if (sqlite3_column_type(q, column) == SQLITE_NULL) {
    out += "NaN";
    return;
  }
  const double v = sqlite3_column_double(q, column);
  if (v == kOverloadValue)
    out += "OVLD";
  else if (second && v == kNoSecondValue)
    out += ' ';
  else
    AppendFixed14(out, v);
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
      // For the progress only: the rows are written as they come, every one of them.
      const long long total = EstimateRecordRows(record);
      Statement q;
      // The columns written, in table order as "select * from read" walks them.
      if (sqlite3_prepare_v2(record.Sql().getHandle(), "SELECT read_time, read_value, read_value_2ND FROM read", -1,
                             &q.stmt, nullptr) != SQLITE_OK)
        throw SQLite::Exception(record.Sql().getHandle());
      int rc;
      while ((rc = sqlite3_step(q.stmt)) == SQLITE_ROW) {
        if (const unsigned char* t = sqlite3_column_text(q.stmt, 0))
          out.append(reinterpret_cast<const char*>(t), static_cast<size_t>(sqlite3_column_bytes(q.stmt, 0)));
        out += ',';
        AppendValue(out, q.stmt, 1, false);
        out += ',';
        AppendValue(out, q.stmt, 2, true);
        out += "\r\n";
        ++result.rows;
        if (!csv.FlushIfFull()) return failWrite();
        if (progress && result.rows % kProgressRows == 0 && !progress(result.rows, std::max(total, result.rows)))
          return fail(CsvExport::Outcome::Cancelled, {});
      }
      if (rc != SQLITE_DONE) throw SQLite::Exception(record.Sql().getHandle(), rc);
      if (result.rows == 0) {
        if (!csv.Commit()) return failWrite();
        result.outcome = CsvExport::Outcome::NoData;
        return result;
      }
      if (progress) progress(result.rows, result.rows);
    } catch (const SQLite::Exception& e) {
      return fail(CsvExport::Outcome::RecordFailed, record.Explain(e));
    }
  }
  if (!csv.Commit()) return failWrite();
  return result;
}

}  // namespace merilog
