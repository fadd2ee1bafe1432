#pragma once
#include <QString>
#include <QTemporaryDir>
#include <string>

namespace merilog::test {

// A fresh temporary folder per test, removed afterwards.
class TempFolder {
 public:
  TempFolder();
  QString Path() const { return dir_.path(); }
  std::string PathStd() const { return dir_.path().toStdString(); }
  QString File(const QString& name) const { return dir_.filePath(name); }

 private:
  QTemporaryDir dir_;
};

// Runs a program and returns its exit code, capturing standard output and error.
int RunProgram(const QString& program, const QStringList& args, QString* out, QString* err = nullptr,
               int timeoutMs = 30000, const QString& workingDir = {});

}  // namespace merilog::test
