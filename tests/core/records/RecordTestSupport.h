#pragma once
#include <SQLiteCpp/SQLiteCpp.h>
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "core/records/RecordDatabase.h"
#include "core/records/RecordFolder.h"
#include "core/records/RecordFormat.h"
#include "support/TestSupport.h"

namespace merilog::test {

// A temporary base folder (its path never holds "DB") with the working folder
// base/DB inside it.
class RecordFolderFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    temp_ = std::make_unique<TempFolder>();
    base_ = temp_->Path();
    folder_ = base_ + QStringLiteral("/DB");
    ASSERT_TRUE(QDir().mkpath(folder_));
    savedCurrent_ = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(base_));
  }
  void TearDown() override { QDir::setCurrent(savedCurrent_); }

  QString RecordPath(int n) const { return RecordFilePath(RecordFileKind::Record, folder_, n); }
  QString DbfilePath(int n) const { return RecordFilePath(RecordFileKind::DBfile, folder_, n); }

  std::unique_ptr<TempFolder> temp_;
  QString base_, folder_, savedCurrent_;
};

inline QDateTime At(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
  return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms));
}

// A record file as a session or burst leaves it: optional date and functions.
inline void MakeRecord(const QString& path, bool withSecondFuncColumn, const QDateTime& date = {},
                       const QString& f1 = {}, const QString& f2 = {}) {
  ASSERT_TRUE(CreateRecordFile(path, withSecondFuncColumn).ok());
  auto db = RecordDatabase::Open(path, RecordDatabase::Access::Write);
  ASSERT_TRUE(db.ok()) << db.error().toStdString();
  if (date.isValid()) {
    ASSERT_TRUE(db.value()->WriteDate(date).ok());
  }
  if (!f1.isEmpty() || !f2.isEmpty()) {
    ASSERT_TRUE(db.value()->WriteFunctions(f1, f2).ok());
  }
}

inline QByteArray ReadBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

inline std::string Std(const QString& s) {
  return s.toStdString();
}

// Direct engine access for checks, bypassing the code under test.
inline SQLite::Database RawOpen(const QString& path, int flags = SQLite::OPEN_READWRITE) {
  return SQLite::Database(QFile::encodeName(path).toStdString(), flags, 1000);
}

inline long long RowCount(const QString& path) {
  auto db = RawOpen(path, SQLite::OPEN_READONLY);
  return db.execAndGet("SELECT count(*) FROM read").getInt64();
}

// Runs SQL through the sqlite3 shell: another program, as far as the record is concerned.
inline void Shell(const QString& path, const QString& sql) {
  QProcess shell;
  shell.start(QStringLiteral("sqlite3"), {path, sql});
  ASSERT_TRUE(shell.waitForFinished(120000)) << "sqlite3 is needed (scripts/setup.sh installs it)";
  ASSERT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
}

// What the record keeps beside its rows, as text: read_summary without its
// change count, and read_pyramid.
std::string KeptTables(const QString& path);
// What a first reader keeps for the rows as they are now: the record copied
// to `scratch`, its summary dropped there, and read once.
std::string FreshTables(const QString& path, const QString& scratch);

struct ChildResult {
  int exitCode = -1;  // -1: did not exit normally
  std::string output;
};

// Runs fn in a forked child; what it writes to `out` comes back. With
// unprivileged set and the tests running as root, the child first becomes the
// user nobody, so file permissions bind it as they bind a user.
ChildResult RunInChild(const std::function<int(std::string& out)>& fn, bool unprivileged);

// Gives the tree to the user nobody (when running as root), for RunInChild.
void HandOverToNobody(const QString& path);

}  // namespace merilog::test
