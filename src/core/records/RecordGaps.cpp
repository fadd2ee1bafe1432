#include "core/records/RecordGaps.h"

#include <SQLiteCpp/SQLiteCpp.h>

#include "core/records/RecordFormat.h"

namespace merilog {

namespace {

constexpr char kCreate[] =
    "CREATE TABLE IF NOT EXISTS read_gap (gap_start DATETIME, gap_end DATETIME, last_rowid INTEGER, "
    "gap_cause TEXT(200))";
constexpr int kCauseLength = 200;

QString StoredTime(const QDateTime& t) {
  return t.isValid() ? t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) : QString();
}

}  // namespace

void RecordGaps::Add(SQLite::Database& db, const RecordGap& gap) {
  db.exec(kCreate);
  SQLite::Statement insert(db, "INSERT INTO read_gap (gap_start, gap_end, last_rowid, gap_cause) VALUES (?, ?, ?, ?)");
  insert.bind(1, StoredTime(gap.start).toStdString());
  insert.bind(2, StoredTime(gap.end).toStdString());
  insert.bind(3, static_cast<int64_t>(gap.lastRowid));
  insert.bind(4, gap.cause.left(kCauseLength).toStdString());
  insert.exec();
}

std::vector<RecordGap> RecordGaps::Load(SQLite::Database& db) {
  std::vector<RecordGap> gaps;
  if (!db.tableExists("read_gap")) return gaps;
  SQLite::Statement q(db, "SELECT gap_start, gap_end, last_rowid, gap_cause FROM read_gap ORDER BY rowid");
  while (q.executeStep()) {
    RecordGap g;
    g.start = ParseRecordDate(QString::fromStdString(q.getColumn(0).getString()));
    g.end = ParseRecordDate(QString::fromStdString(q.getColumn(1).getString()));
    g.lastRowid = q.getColumn(2).getInt64();
    g.cause = QString::fromStdString(q.getColumn(3).getString());
    gaps.push_back(std::move(g));
  }
  return gaps;
}

RecordGapTotals RecordGaps::Sum(const std::vector<RecordGap>& gaps) {
  RecordGapTotals t;
  for (const RecordGap& g : gaps) {
    ++t.count;
    t.ms += g.Ms();
  }
  return t;
}

QString RecordGaps::Describe(const RecordGapTotals& totals) {
  if (totals.count == 0) return QStringLiteral("no gaps");
  return QStringLiteral("%1 %2, %3 in all")
      .arg(totals.count)
      .arg(totals.count == 1 ? "gap" : "gaps")
      .arg(DurationText(totals.ms));
}

QString RecordGaps::DurationText(long long ms) {
  if (ms < 60000) return QString::number(static_cast<double>(ms) / 1000.0, 'f', 1) + " s";
  const long long s = ms / 1000;
  if (s < 3600) return QString::asprintf("%lld min %02lld s", s / 60, s % 60);
  return QString::asprintf("%lld h %02lld min", s / 3600, (s % 3600) / 60);
}

}  // namespace merilog
