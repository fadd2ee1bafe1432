#pragma once
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "core/records/RecordResult.h"

namespace merilog {

class RecordDatabase;

// One row of the table read; a value is absent when the engine holds NULL
// (a reading that was no number).
struct RecordRow {
  std::optional<double> value, value2nd;
  QString time;
};

enum class RecordColumn { Value, Value2nd };

// How far a long pass over rows has come; the pass stops when it returns false.
using RowProgress = std::function<bool(long long done, long long total)>;

// The rows of a record by position (0 for the first, in table order, as
// "select * from read" walks them), each reached without walking the rows
// before it. A record written by this program numbers its rows 1, 2, 3, ...
// without gaps, which its summary proves at once; any other file is indexed by
// one pass that keeps the row id of every 4096th row.
class RecordRowIndex {
 public:
  // The pass stops, with an empty failure, when `cancelled` says so.
  static RecordResult<RecordRowIndex> Build(RecordDatabase& record, const std::function<bool()>& cancelled = {});

  long long RowCount() const { return rows_; }
  // The engine's row id at a position, or -1 outside 0..RowCount()-1.
  // Throws SQLite::Exception, as the engine does.
  long long RowidAt(RecordDatabase& record, long long position) const;

 private:
  static constexpr long long kStride = 4096;
  long long rows_ = 0;
  long long firstRowid_ = 1;
  bool contiguous_ = true;
  std::vector<long long> anchors_;  // row id of positions 0, kStride, 2 kStride, ...
};

// Up to `count` rows from `position` on (fewer at the end of the table).
RecordResult<std::vector<RecordRow>> ReadRecordRows(RecordDatabase& record, const RecordRowIndex& index,
                                                    long long position, int count);

// Lets the engine read the file through a memory map on this connection: a
// pass over millions of rows then copies no pages. Throws SQLite::Exception.
void MapRecordIntoMemory(RecordDatabase& record);

// One column of `count` rows from `position` on, in table order: visit(value,
// isNull) for each, stopping early when it returns false. Reads with the file
// mapped into memory, the fastest way through millions of rows.
RecordStatus ScanRecordColumn(RecordDatabase& record, const RecordRowIndex& index, RecordColumn column,
                              long long position, long long count,
                              const std::function<bool(double value, bool isNull)>& visit);

// r_date of the record as a label shows it ("%y / %m / %d -- %H : %M : %S");
// a date the program did not write is shown as it is stored rather than
// hidden. Nothing when read_date has no row.
RecordResult<std::optional<QString>> ReadRecordDateText(RecordDatabase& record);

}  // namespace merilog
