#pragma once
#include <QString>
#include <algorithm>
#include <vector>

#include "core/labserver/RecordForwardFile.h"
#include "core/records/RecordFolder.h"

namespace merilog {

// One record file of the working folder as the forwarder last saw it.
struct LabRecordState {
  QString path;
  int number = 0;
  RecordFileKind kind = RecordFileKind::Record;
  ForwardIdentity identity;
  RecordForwardFile::Facts facts;  // as of the last look
  long long serverRows = -1;       // readings on the server, -1 until the server was asked
  QString problem;                 // why it cannot be forwarded now (naming the file or the server); empty when it can

  long long Waiting() const { return problem.isEmpty() ? std::max(0LL, facts.waiting) : 0; }
  // "Record 3" or "DBfile 3", as sync prints it.
  QString Name() const;
};

// "Record" or "DBfile": the kind as the lab server keeps it and sync names it.
QString FileKindName(RecordFileKind kind);

// The files of the working folder the forwarder looks at: "Record n.mdb" and
// "DBfile_DBn.mdb" for n = 1 to 10, those that exist.
std::vector<QString> ForwardablePaths(const QString& folder);
// Number and kind from a path ForwardablePaths gives; false for any other path.
bool DescribeRecordPath(const QString& folder, const QString& path, int* number, RecordFileKind* kind);

// Looks at one file: its identity (made when missing, under benchForNew) and
// how many of its rows the server lacks as far as the file knows.
// countAll also counts every row of the file (for sync's report).
LabRecordState SurveyRecord(const QString& folder, const QString& path, const QString& benchForNew,
                            bool countAll = false);

}  // namespace merilog
