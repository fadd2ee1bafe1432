#include "core/records/RecordList.h"

#include "core/records/RecordDatabase.h"
#include "core/records/RecordFolder.h"
#include "core/records/RecordFormat.h"
#include "core/records/RecordRows.h"

namespace merilog {

namespace {

struct FileFacts {
  bool exists = false;
  bool hasDate = false;
  QString date;  // as shown in a label
  QString function1, function2;
};

FileFacts ReadFacts(const QString& path, bool withFunctions, QStringList& problems) {
  FileFacts facts;
  if (!RecordFileExists(path)) return facts;
  facts.exists = true;
  auto db = RecordDatabase::Open(path, RecordDatabase::Access::Read);
  if (!db) {
    problems << db.error();
    return facts;
  }
  auto date = ReadRecordDateText(*db.value());
  if (!date) {
    problems << date.error();
    return facts;
  }
  if (!date.value()) return facts;
  facts.hasDate = true;
  facts.date = *date.value();
  if (withFunctions) {
    auto functions = db.value()->ReadFunctions();
    if (!functions) {
      problems << functions.error();
    } else {
      facts.function1 = functions->function1;
      facts.function2 = functions->function2;
    }
  }
  return facts;
}

}  // namespace

RecordList ListRecords(RecordListKind kind, const QString& folder) {
  RecordList list;
  for (int n = kFirstRecordNumber; n <= kLastRecordNumber; ++n) {
    const QString recordPath = RecordFilePath(RecordFileKind::Record, folder, n);
    const QString dbfilePath = RecordFilePath(RecordFileKind::DBfile, folder, n);
    switch (kind) {
      case RecordListKind::Viewer: {
        const FileFacts record = ReadFacts(recordPath, true, list.problems);
        if (record.hasDate)
          list.entries.push_back(
              {n, RecordLabel(n, record.date, record.function1, record.function2), recordPath, false, true});
        const FileFacts dbfile = ReadFacts(dbfilePath, false, list.problems);
        if (dbfile.hasDate) list.entries.push_back({n, RecordLabel(n, dbfile.date), dbfilePath, true, true});
        break;
      }
      case RecordListKind::Chart: {
        const bool useRecord = RecordFileExists(recordPath);
        const QString& path = useRecord ? recordPath : dbfilePath;
        const FileFacts facts = ReadFacts(path, false, list.problems);
        if (facts.hasDate) list.entries.push_back({n, RecordLabel(n, facts.date), path, !useRecord, true});
        break;
      }
      case RecordListKind::MultipleReadings:
      case RecordListKind::ReadingSettings: {
        const bool useDbfile = RecordFileExists(dbfilePath);
        const QString& path = useDbfile ? dbfilePath : recordPath;
        const FileFacts facts = ReadFacts(path, false, list.problems);
        RecordListEntry e{n, RecordLabel(n), facts.exists ? path : QString(), useDbfile, facts.hasDate};
        if (facts.hasDate)
          e.label = kind == RecordListKind::MultipleReadings ? RecordLabel(n, facts.date)
                                                             : RecordLabelWithNote(n, facts.date, QString());
        list.entries.push_back(e);
        break;
      }
    }
  }
  return list;
}

}  // namespace merilog
