#include "support/TestSupport.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace merilog::test {

TempFolder::TempFolder() { EXPECT_TRUE(dir_.isValid()); }

int RunProgram(const QString& program, const QStringList& args, QString* out, QString* err, int timeoutMs,
               const QString& workingDir) {
  QProcess p;
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

}  // namespace merilog::test
