#pragma once
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "core/records/RecordIndex.h"
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

// Up to `count` rows from `position` on (fewer at the end of the table).
RecordResult<std::vector<RecordRow>> ReadRecordRows(RecordDatabase& record, const RecordIndex& index,
                                                    long long position, int count);

// One column of `count` rows from `position` on, in table order: visit(value,
// isNull) for each, stopping early when it returns false.
RecordStatus ScanRecordColumn(RecordDatabase& record, const RecordIndex& index, RecordColumn column, long long position,
                              long long count, const std::function<bool(double value, bool isNull)>& visit);

// r_date of the record as a label shows it ("%y / %m / %d -- %H : %M : %S");
// a date the program did not write is shown as it is stored rather than
// hidden. Nothing when read_date has no row.
RecordResult<std::optional<QString>> ReadRecordDateText(RecordDatabase& record);

}  // namespace merilog
