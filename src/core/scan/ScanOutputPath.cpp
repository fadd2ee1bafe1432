#include "core/scan/ScanOutputPath.h"

#include <QFileInfo>

namespace merilog {

QString ScanOutputProblem(const QString& path) {
  const QFileInfo file(path);
  if (file.isDir()) return QStringLiteral("\"%1\" is a folder: give a file name").arg(path);
  if (file.exists() && !file.isFile()) return QStringLiteral("\"%1\" exists and is not a regular file").arg(path);
  const QFileInfo folder(file.absolutePath());
  if (!folder.isDir()) return QStringLiteral("cannot write \"%1\": its folder does not exist").arg(path);
  if (!folder.isWritable()) return QStringLiteral("cannot write \"%1\": its folder takes no new files").arg(path);
  return {};
}

}  // namespace merilog
