#include "core/labserver/LabRecordState.h"

#include <QFileInfo>

namespace merilog {

QString FileKindName(RecordFileKind kind) {
  return kind == RecordFileKind::Record ? QStringLiteral("Record") : QStringLiteral("DBfile");
}

QString LabRecordState::Name() const {
  return QStringLiteral("%1 %2").arg(FileKindName(kind)).arg(number);
}

std::vector<QString> ForwardablePaths(const QString& folder) {
  std::vector<QString> paths;
  for (int n = kFirstRecordNumber; n <= kLastRecordNumber; ++n)
    for (RecordFileKind kind : {RecordFileKind::Record, RecordFileKind::DBfile}) {
      const QString path = RecordFilePath(kind, folder, n);
      if (QFileInfo(path).isFile()) paths.push_back(path);
    }
  return paths;
}

bool DescribeRecordPath(const QString& folder, const QString& path, int* number, RecordFileKind* kind) {
  const QFileInfo file(path);
  const QString dir = file.absolutePath();
  // The writers and the forwarder may name the folder differently (a link on the way).
  if (dir != folder && QFileInfo(dir).canonicalFilePath() != QFileInfo(folder).canonicalFilePath()) return false;
  for (int n = kFirstRecordNumber; n <= kLastRecordNumber; ++n)
    for (RecordFileKind k : {RecordFileKind::Record, RecordFileKind::DBfile})
      if (QFileInfo(RecordFilePath(k, folder, n)).fileName() == file.fileName()) {
        *number = n;
        *kind = k;
        return true;
      }
  return false;
}

LabRecordState SurveyRecord(const QString& folder, const QString& path, const QString& benchForNew, bool countAll) {
  LabRecordState s;
  s.path = path;
  DescribeRecordPath(folder, path, &s.number, &s.kind);
  auto file = RecordForwardFile::Open(path);
  if (!file) {
    s.problem = file.error();
    return s;
  }
  auto identity = file.value()->Identity(benchForNew);
  if (!identity) {
    s.problem = identity.error();
    return s;
  }
  s.identity = identity.value();
  auto facts = file.value()->ReadFacts(s.identity.sentRowid,
                                       countAll ? RecordForwardFile::Count::All : RecordForwardFile::Count::Waiting);
  if (!facts) {
    s.problem = facts.error();
    return s;
  }
  s.facts = facts.value();
  return s;
}

}  // namespace merilog
