#include "core/base/ConfigPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace merilog {

namespace {

constexpr char kFileName[] = "MERILOG.ini";

QString InstalledDataDir() {
  if (!QCoreApplication::instance()) return {};
  const QString installed = QDir::cleanPath(QDir(QCoreApplication::applicationDirPath()).filePath("../share/merilog"));
  return QFileInfo::exists(installed + "/" + kFileName) ? installed : QString();
}

}  // namespace

QString ResolveConfigurationDirectory(const QString& configDirVariable, const QString& installedDataDir,
                                      const QString& xdgConfigHome, const QString& home) {
  if (!configDirVariable.isEmpty()) return configDirVariable;
  if (installedDataDir.isEmpty()) return QStringLiteral(MERILOG_BUILD_CONFIG_DIR);
  // The XDG rules: a relative path in the variable is invalid and ignored.
  const QString base = QDir::isAbsolutePath(xdgConfigHome) ? xdgConfigHome : QDir(home).filePath(".config");
  const QString user = QDir(base).filePath("merilog");
  const QString userFile = QDir(user).filePath(kFileName);
  if (QFileInfo::exists(userFile)) return user;
  // First start: the installed file is read-only, and the program writes its language choice.
  if (!QDir().mkpath(user) || !QFile::copy(QDir(installedDataDir).filePath(kFileName), userFile))
    return installedDataDir;
  QFile::setPermissions(userFile, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
  return user;
}

QString ConfigurationDirectory() {
  return ResolveConfigurationDirectory(qEnvironmentVariable("MERILOG_CONFIG_DIR"), InstalledDataDir(),
                                       qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath());
}

QString ConfigurationFilePath() {
  return QDir(ConfigurationDirectory()).filePath(kFileName);
}

QString MenuWorkingFolder(const QString& home) {
  const QString folder = QDir(home).filePath("MERILOG");
  return QDir().mkpath(QDir(folder).filePath("DB")) ? folder : QString();
}

const char* VersionText() {
  return MERILOG_VERSION_TEXT;
}

}  // namespace merilog
