#pragma once
#include <QString>
#include <QStringList>
#include <vector>

namespace merilog {

// The four lists of records and the rules each follows.
enum class RecordListKind {
  Viewer,            // record file, then DBfile file; dated files only, with functions for record files
  Chart,             // record file, else DBfile; dated files only
  MultipleReadings,  // DBfile, else record file; all ten numbers
  ReadingSettings,   // DBfile, else record file; all ten numbers, dated labels with an (empty) note
};

struct RecordListEntry {
  int number = 0;
  QString label;
  QString path;             // the file the entry was made from; empty when there is none
  bool fromDBfile = false;  // that file is the DBfile file
  bool hasDate = false;
  // The multiple readings list's kind flag: 1 when the dated file is a DBfile file.
  int kindFlag() const { return hasDate && fromDBfile ? 1 : 0; }
};

struct RecordList {
  std::vector<RecordListEntry> entries;  // numbers 1 to 10 in ascending order
  // One text per file that could not be read (naming it); such a file counts
  // as undated, and the other records are listed as usual.
  QStringList problems;
};

// Enumerates the records of a folder found earlier (FindRecordFolder). Each file
// is opened for reading, read and closed in turn.
RecordList ListRecords(RecordListKind kind, const QString& folder);

}  // namespace merilog
