#pragma once
#include <QString>
#include <memory>

#include "core/records/RecordAppender.h"
#include "core/records/RecordResult.h"

namespace merilog {

class Clock;
class Prompter;

// What a record holds before a reading session writes into it.
struct RecordCheck {
  bool folderFound = false;  // false: "Database working folder not found." was shown
  bool recordFileExists = false;
  bool onlyDBfile = false;  // no record file, but a DBfile file of the number
  QString storedFunction1;  // r_function1, empty without a row
  QString storedFunction2;  // r_function2, empty without a row
  QString error;            // the record file exists but cannot be read; to be shown
};

// Derives the working folder afresh (caption "Database folder check" when it
// is missing) and reads record `number`'s stored functions. When the record
// file exists, "Record n" is added to continuationList (each label once, joined
// with ",").
RecordCheck CheckRecord(int number, Prompter& prompter, QString& continuationList);

// Makes record `number` ready for a session's appends: derives the folder
// afresh, creates the record file (with read_func2) when missing, sets r_date
// to the clock's present date and time and the functions to the abbreviations
// of function1 and function2, and returns the open appender the session keeps
// in the device's slot until it stops. On failure the error names the file;
// an empty error means the folder message has been shown already.
RecordResult<std::unique_ptr<RecordAppender>> PrepareRecord(int number, const QString& function1,
                                                            const QString& function2, Prompter& prompter,
                                                            const Clock& clock, AppendPolicy policy = {},
                                                            RecordAppender::SteadyMs steadyMs = {});

}  // namespace merilog
