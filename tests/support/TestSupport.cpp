#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include "core/base/ConfigPaths.h"
#include "core/base/MessageTable.h"

namespace merilog::test {

void UseConfigurationFile() {
  UseMessageFile(ConfigurationFilePath());
}

namespace {
const bool kConfigurationFileUsed = (UseConfigurationFile(), true);
}  // namespace

TempFolder::TempFolder() {
  // Bounded: a temporary folder that holds "DB" itself would never do.
  for (int tries = 0; tries < 100; ++tries) {
    dir_.emplace();
    if (!dir_->isValid() || !dir_->path().contains(QLatin1String("DB"))) break;
  }
  EXPECT_TRUE(dir_->isValid());
  EXPECT_FALSE(dir_->path().contains(QLatin1String("DB"))) << dir_->path().toStdString();
}

QString TempFolder::Write(const QString& name, const QByteArray& bytes) const {
  const QString path = File(name);
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.flush()) return {};
  return path;
}

WorkingFolder::WorkingFolder() : previous_(QDir::currentPath()) {
  EXPECT_TRUE(QDir(folder_.Path()).mkpath("DB"));
  EXPECT_TRUE(QDir::setCurrent(folder_.Path()));
}

WorkingFolder::~WorkingFolder() {
  QDir::setCurrent(previous_);
}

int RunProgram(const QString& program, const QStringList& args, QString* out, QString* err, int timeoutMs,
               const QString& workingDir, const QProcessEnvironment& environment) {
  QProcess p;
  p.setProcessEnvironment(environment);
  if (!workingDir.isEmpty()) p.setWorkingDirectory(workingDir);
  p.start(program, args);
  if (!p.waitForStarted(timeoutMs)) return -1;
  p.closeWriteChannel();
  if (!p.waitForFinished(timeoutMs)) {
    p.kill();
    p.waitForFinished();
    return -2;
  }
  if (out) *out = QString::fromUtf8(p.readAllStandardOutput());
  if (err) *err = QString::fromUtf8(p.readAllStandardError());
  return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -3;
}

void EnsureEventLoop() {
  if (QCoreApplication::instance()) return;
  static int argc = 1;
  static char name[] = "merilog-test";
  static char* argv[] = {name, nullptr};
  // Never destroyed: torn down at exit after Qt's own globals it can crash.
  new QCoreApplication(argc, argv);
}

bool RunUntil(const std::function<bool()>& done, int timeoutMs) {
  EnsureEventLoop();
  QTimer deadline;
  deadline.setSingleShot(true);
  deadline.start(timeoutMs);
  // Some conditions change on another thread without an event: look again often.
  QTimer wake;
  wake.start(2);
  while (!done()) {
    if (!deadline.isActive()) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

}  // namespace merilog::test
