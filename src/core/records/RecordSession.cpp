#include "core/records/RecordSession.h"

#include "core/base/Clock.h"
#include "core/records/RecordDatabase.h"
#include "core/records/RecordFileClaim.h"
#include "core/records/RecordFolder.h"
#include "core/records/RecordFormat.h"

namespace merilog {

RecordCheck CheckRecord(int number, Prompter& prompter, QString& continuationList) {
  RecordCheck check;
  const auto folder = FindRecordFolder(prompter, RecordFolderCaller::SessionCheck);
  if (!folder) return check;
  check.folderFound = true;

  const QString recordPath = RecordFilePath(RecordFileKind::Record, *folder, number);
  if (RecordFileExists(recordPath)) {
    check.recordFileExists = true;
    AddToContinuationList(continuationList, RecordLabel(number));
    auto db = RecordDatabase::Open(recordPath, RecordDatabase::Access::Read);
    if (!db) {
      check.error = db.error();
      return check;
    }
    auto functions = db.value()->ReadFunctions();
    if (!functions) {
      check.error = functions.error();
      return check;
    }
    check.storedFunction1 = functions->function1;
    check.storedFunction2 = functions->function2;
    return check;
  }
  check.onlyDBfile = RecordFileExists(RecordFileKind::DBfile, *folder, number);
  return check;
}

namespace {

// A record this preparation created and could not make ready holds no reading:
// it goes, with its side files, unless a writer has taken it up meanwhile.
void RemoveUnusedRecord(const QString& path) {
  auto claim = RecordFileClaim::Take(path, RecordFileClaim::Use::Write);
  if (claim) RemoveRecordFile(path);
}

}  // namespace

RecordResult<std::unique_ptr<RecordAppender>> PrepareRecord(int number, const QString& function1,
                                                            const QString& function2, Prompter& prompter,
                                                            const Clock& clock, AppendPolicy policy,
                                                            RecordAppender::SteadyMs steadyMs) {
  const auto folder = FindRecordFolder(prompter, RecordFolderCaller::SessionCheck);
  if (!folder) return RecordStatus::Failure({});

  const QString path = RecordFilePath(RecordFileKind::Record, *folder, number);
  bool created = false;
  if (!RecordFileExists(path)) {
    RecordStatus s = CreateRecordFile(path, true);
    // Made by another run just now: opening it tells whether it is free.
    if (!s && !RecordFileExists(path)) return s;
    created = s.ok();
  }

  RecordResult<std::unique_ptr<RecordAppender>> appender = RecordStatus{};
  {
    auto db = RecordDatabase::Open(path, RecordDatabase::Access::Write);
    if (!db) {
      appender = db.status();
    } else if (RecordStatus s = db.value()->WriteDate(clock.Now()); !s) {
      appender = s;
    } else if (RecordStatus f =
                   db.value()->WriteFunctions(AbbreviateFunction(function1), AbbreviateFunction(function2));
               !f) {
      appender = f;
    } else {
      appender = RecordAppender::Adopt(std::move(db.value()), policy, std::move(steadyMs));
    }
  }
  if (!appender && created) RemoveUnusedRecord(path);
  return appender;
}

}  // namespace merilog
