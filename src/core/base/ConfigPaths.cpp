#include "core/base/ConfigPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace merilog {

QString ConfigurationDirectory() {
  const QString fromEnv = qEnvironmentVariable("MERILOG_CONFIG_DIR");
  if (!fromEnv.isEmpty()) return fromEnv;
  if (QCoreApplication::instance()) {
    const QString installed = QDir(QCoreApplication::applicationDirPath()).filePath("../share/merilog");
    if (QFileInfo::exists(installed + "/MERILOG.ini")) return QDir::cleanPath(installed);
  }
  return QStringLiteral(MERILOG_BUILD_CONFIG_DIR);
}

QString ConfigurationFilePath() { return QDir(ConfigurationDirectory()).filePath("MERILOG.ini"); }

}  // namespace merilog
