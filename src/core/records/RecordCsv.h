#pragma once
#include <QString>

#include "core/records/RecordIndex.h"

namespace merilog {

struct CsvExport {
  enum class Outcome {
    Written,       // header and rows written (rows may be 0 when no record file was given)
    CannotOpen,    // the CSV file could not be started: the caller shows "Save As Error." and error
    NoData,        // the record has no row: the caller shows message 1020 "No data in file"
    RecordFailed,  // the record could not be read, or the CSV could not be written: error says which
    Cancelled,     // stopped on request; no file was left
  };
  Outcome outcome = Outcome::Written;
  long long rows = 0;
  QString error;
};

// The date part of the export's first line: the list entry's text from its
// first "(" to its end (empty when it has none).
QString CsvDateTextFromLabel(const QString& label);

// Writes a record to a CSV file in the viewer's export format, with carriage
// return and line feed ending each line:
//   Time,Value ,Value_2ND , ,DateTime : <dateText>
//   <read_time>,<value>,<second value>
// a value is "OVLD" when it equals 9.9E+37, "NaN" when the reading was no
// number (NULL), else "%.14f"; the second value is also " " when it equals
// 9.9E+21. Every row of read is written, in table order: the CSV is the record,
// whole. An empty recordPath writes the first line only. The file is written
// under a temporary name and put in place when complete, so a failed or
// cancelled export leaves no file (and an older file of the name untouched).
// `progress` hears of the rows written now and then and may stop the export.
CsvExport WriteRecordCsv(const QString& recordPath, const QString& csvPath, const QString& dateText,
                         const RowProgress& progress = {});

}  // namespace merilog
