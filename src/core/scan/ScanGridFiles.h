#pragma once
#include <QString>

#include "core/scan/ScanResultsGrid.h"

namespace merilog {

class JobProgress;

struct GridFileResult {
  bool written = false;
  bool cancelled = false;
  QString error;  // why it was not written: a sentence naming the file
};

// The file a chosen spreadsheet name stands for: ".xlsx" is added unless it ends so.
QString SpreadsheetFileName(const QString& chosen);

// The export of the results grid as a spreadsheet: every column but the scan
// number, the header row bold and centred, each cell's text as its value (a
// number where the text is one, a time of day as a time, "OVLD" as text), every
// column wide enough for its texts. Written through an OutputTarget: a failed
// or cancelled export leaves no file behind and an older one untouched.
GridFileResult WriteScanSpreadsheet(const QString& path, const ScanResultsGrid::Cells& cells,
                                    JobProgress* progress = nullptr);

// The same cells as comma-separated text, one line per grid row ending in a
// carriage return and line feed; a cell holding a comma or a double quote is
// quoted.
GridFileResult WriteScanCsv(const QString& path, const ScanResultsGrid::Cells& cells);

}  // namespace merilog
