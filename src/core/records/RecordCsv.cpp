#include "core/records/RecordCsv.h"

#include <SQLiteCpp/SQLiteCpp.h>
#include <sqlite3.h>

#include <QFile>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "core/records/RecordDatabase.h"
#include "core/records/RecordFormat.h"
#include "core/records/RecordSql.h"
#include "core/records/RecordTexts.h"

namespace merilog {

namespace {

constexpr size_t kFlushBytes = 1 << 20;

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

class CsvFile {
 public:
  bool Open(const QString& path) {
    file_ = std::fopen(QFile::encodeName(path).constData(), "wb");
    return file_ != nullptr;
  }
  ~CsvFile() {
    if (file_) std::fclose(file_);
  }
  std::string& Buffer() { return buf_; }
  bool FlushIfFull() { return buf_.size() < kFlushBytes || Flush(); }
  bool Flush() {
    if (!buf_.empty() && std::fwrite(buf_.data(), 1, buf_.size(), file_) != buf_.size()) return Fail();
    buf_.clear();
    return true;
  }
  bool Close() {
    bool ok = Flush();
    if (std::fclose(file_) != 0 && ok) ok = Fail();
    file_ = nullptr;
    return ok;
  }
  QString ErrorText() const { return QString::fromLocal8Bit(std::strerror(errno_)); }

 private:
  bool Fail() {
    errno_ = errno;
    return false;
  }
  std::FILE* file_ = nullptr;
  std::string buf_;
  int errno_ = 0;
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

CsvExport WriteRecordCsv(const QString& recordPath, const QString& csvPath, const QString& dateText) {
  CsvExport result;
  CsvFile csv;
  if (!csv.Open(csvPath)) {
    result.outcome = CsvExport::Outcome::CannotOpen;
    return result;
  }
  auto failWrite = [&](const QString& detail) {
    result.outcome = CsvExport::Outcome::RecordFailed;
    result.error = record_texts::CannotWriteCsv(csvPath, detail);
    return result;
  };
  std::string& out = csv.Buffer();
  out.reserve(kFlushBytes + 4096);
  out += "Time,Value ,Value_2ND , ,DateTime : ";
  out += dateText.toStdString();
  out += "\r\n";

  if (!recordPath.isEmpty()) {
    auto db = RecordDatabase::Open(recordPath, RecordDatabase::Access::Read);
    if (!db) {
      csv.Close();
      result.outcome = CsvExport::Outcome::RecordFailed;
      result.error = db.error();
      return result;
    }
    RecordDatabase& record = *db.value();
    try {
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
        if (!csv.Close()) return failWrite(csv.ErrorText());
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
        if (!csv.FlushIfFull()) return failWrite(csv.ErrorText());
        rc = sqlite3_step(q.stmt);
      }
      if (rc != SQLITE_ROW && rc != SQLITE_DONE) throw SQLite::Exception(record.Sql().getHandle(), rc);
    } catch (const SQLite::Exception& e) {
      csv.Close();
      result.outcome = CsvExport::Outcome::RecordFailed;
      result.error = record.Explain(e);
      return result;
    }
  }
  if (!csv.Close()) return failWrite(csv.ErrorText());
  return result;
}

}  // namespace merilog
