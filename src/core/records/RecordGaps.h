#pragma once
#include <QDateTime>
#include <QString>
#include <algorithm>
#include <vector>

namespace SQLite {
class Database;
}  // namespace SQLite

namespace merilog {

// One span in which a reading run that keeps reading through a dropped meter
// had lost that meter: nothing was read into the record between start and end.
struct RecordGap {
  QDateTime start;           // when the meter was last asked before it was lost
  QDateTime end;             // when it was read again, or when the run stopped without it
  long long lastRowid = 0;   // rowid in read of the last reading before the gap; 0 when none
  QString cause;             // why the meter was lost, as the run log said it
  long long Ms() const { return start.isValid() && end.isValid() ? std::max(0LL, start.msecsTo(end)) : 0; }
};

// How many gaps a record has and how long they last together.
struct RecordGapTotals {
  int count = 0;
  long long ms = 0;
};

// The table read_gap of a record file, one row per gap in the order the gaps
// closed. It is created by the first gap a record gets, so a record written
// without gaps is exactly what it always was, and a program that knows only
// read, read_date and read_function passes it over:
//
//   CREATE TABLE read_gap (
//     gap_start  DATETIME,   -- "YYYY-MM-DD HH:MM:SS.zzz", local time: the meter's last request before it was lost
//     gap_end    DATETIME,   -- same form: its first request once it was back, or the stop of the run
//     last_rowid INTEGER,    -- rowid of the last row of read written before the gap (0: none)
//     gap_cause  TEXT(200))  -- why the meter was lost, as the run log said it
//
// Rows of read are never invented for a gap: the readings before last_rowid
// and after it were all taken; nothing was taken between start and end.
class RecordGaps {
 public:
  // Adds a gap inside the caller's write transaction; the table is made when missing.
  static void Add(SQLite::Database& db, const RecordGap& gap);
  // Every gap in table order; none when the file has no such table. Throws
  // SQLite::Exception as the engine does.
  static std::vector<RecordGap> Load(SQLite::Database& db);
  static RecordGapTotals Sum(const std::vector<RecordGap>& gaps);
  // "3 gaps, 12.5 s in all" / "no gaps": how the viewer, `records stats` and the
  // end of a run say it.
  static QString Describe(const RecordGapTotals& totals);
  // "12.5 s", "4 min 05 s", "2 h 03 min": a span of time as a user reads it.
  static QString DurationText(long long ms);
};

}  // namespace merilog
