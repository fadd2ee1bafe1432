#pragma once
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <optional>
#include <string>

namespace merilog::test {

// Hands the process-wide texts the configuration file CTest points at, as each
// program hands over the one it resolved at start-up. Every test program does
// this before its first test.
void UseConfigurationFile();

// A fresh temporary folder per test, removed afterwards.
// Its path never holds "DB": the program takes any such folder for the
// record folder itself, so a random name that happened to hold it would
// send a test's records one level up.
class TempFolder {
 public:
  TempFolder();
  QString Path() const { return dir_->path(); }
  std::string PathStd() const { return dir_->path().toStdString(); }
  QString File(const QString& name) const { return dir_->filePath(name); }
  // Writes a file of the folder whole; its path, or empty when it could not be written.
  QString Write(const QString& name, const QByteArray& bytes) const;

 private:
  std::optional<QTemporaryDir> dir_;
};

// A temporary working folder with its DB folder, current while the object
// lives; the folder current before comes back however the test ends.
class WorkingFolder {
 public:
  WorkingFolder();
  ~WorkingFolder();
  QString Path() const { return folder_.Path(); }
  QString File(const QString& name) const { return folder_.File(name); }

 private:
  TempFolder folder_;
  QString previous_;
};

// Makes sure an application object exists, so results of worker threads can
// be delivered (a widget test's QApplication counts).
void EnsureEventLoop();
// Processes events until `done` holds or the time is up; false on time-out.
bool RunUntil(const std::function<bool()>& done, int timeoutMs = 10000);

// Runs a program and returns its exit code, capturing standard output and error.
int RunProgram(const QString& program, const QStringList& args, QString* out, QString* err = nullptr,
               int timeoutMs = 30000, const QString& workingDir = {},
               const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

}  // namespace merilog::test
