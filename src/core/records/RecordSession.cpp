#include "core/records/RecordSession.h"

#include "core/base/Clock.h"
#include "core/records/RecordDatabase.h"
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

RecordResult<std::unique_ptr<RecordAppender>> PrepareRecord(int number, const QString& function1,
                                                            const QString& function2, Prompter& prompter,
                                                            const Clock& clock, AppendPolicy policy,
                                                            RecordAppender::SteadyMs steadyMs) {
  const auto folder = FindRecordFolder(prompter, RecordFolderCaller::SessionCheck);
  if (!folder) return RecordStatus::Failure({});

  const QString path = RecordFilePath(RecordFileKind::Record, *folder, number);
  if (!RecordFileExists(path))
    if (RecordStatus s = CreateRecordFile(path, true); !s) return s;

  auto db = RecordDatabase::Open(path, RecordDatabase::Access::Write);
  if (!db) return db.status();
  if (RecordStatus s = db.value()->WriteDate(clock.Now()); !s) return s;
  if (RecordStatus s = db.value()->WriteFunctions(AbbreviateFunction(function1), AbbreviateFunction(function2)); !s)
    return s;
  return RecordAppender::Adopt(std::move(db.value()), policy, std::move(steadyMs));
}

}  // namespace merilog
