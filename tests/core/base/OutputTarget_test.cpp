#include "core/base/OutputTarget.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "support/FullDisk.h"
#include "support/PrintQString.h"
#include "support/TestSupport.h"

namespace merilog {
namespace {

QByteArray ReadBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QStringList Names(const test::TempFolder& folder) {
  return QDir(folder.Path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

TEST(OutputTarget, ReplacesTheFileOnlyWhenCommitted) {
  test::TempFolder temp;
  const QString path = temp.File(QStringLiteral("out.csv"));
  ASSERT_TRUE(WriteWholeFile(path, "old").isEmpty());
  ::chmod(QFile::encodeName(path).constData(), 0640);

  OutputTarget target(path);
  ASSERT_TRUE(target.Open()) << target.Error().toStdString();
  ASSERT_TRUE(target.Write(std::string(300000, 'x')));  // past the buffer: reaches the file at once
  ASSERT_TRUE(target.Write(std::string_view("tail")));
  EXPECT_EQ(ReadBytes(path), "old");
  ASSERT_TRUE(target.Commit()) << target.Error().toStdString();
  EXPECT_EQ(ReadBytes(path).size(), 300004);
  struct stat st {};
  ::stat(QFile::encodeName(path).constData(), &st);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(Names(temp), QStringList{"out.csv"});

  // Abandoned: the old file stays, the temporary one goes.
  {
    OutputTarget abandoned(path);
    ASSERT_TRUE(abandoned.Open());
    abandoned.Write(std::string_view("new"));
  }
  EXPECT_EQ(ReadBytes(path).size(), 300004);
  EXPECT_EQ(Names(temp), QStringList{"out.csv"});
}

// Writes held in the buffer fail only when flushed at the commit: that failure
// must stop the rename (it did not with QSaveFile).
TEST(OutputTarget, AFullDiskFailsTheCommitAndLeavesNothing) {
  test::TempFolder temp;
  const QString path = temp.File(QStringLiteral("out.csv"));
  ASSERT_TRUE(WriteWholeFile(path, "old").isEmpty());
  OutputTarget target(path);
  ASSERT_TRUE(target.Open());
  {
    test::FileSizeLimit limit(1000);
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(target.Write(std::string_view("0123456789012345678901234567890123")));
    EXPECT_FALSE(target.Commit());
  }
  EXPECT_EQ(target.Error(), "The file \"" + path + "\" cannot be written: File too large.");
  EXPECT_EQ(ReadBytes(path), "old");
  EXPECT_EQ(Names(temp), QStringList{"out.csv"});
}

TEST(OutputTarget, RefusesWhatIsNoFileAndSaysWhy) {
  test::TempFolder temp;
  const QString fifo = temp.File(QStringLiteral("pipe"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  EXPECT_EQ(WriteWholeFile(fifo, "x"), "\"" + fifo + "\" is a pipe, not a file; it is left as it is.");
  EXPECT_TRUE(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());

  EXPECT_EQ(WriteWholeFile(temp.Path(), "x"), "\"" + temp.Path() + "\" is a folder; give a file name.");
  const QString notYet = temp.File(QStringLiteral("new/"));
  EXPECT_EQ(WriteWholeFile(notYet, "x"), "\"" + notYet + "\" names a folder; give a file name.");
  EXPECT_EQ(WriteWholeFile(temp.File(QStringLiteral("no/such.csv")), "x"),
            "The folder \"" + temp.File(QStringLiteral("no")) + "\" does not exist.");
  EXPECT_EQ(Names(temp), QStringList{"pipe"});
}

}  // namespace
}  // namespace merilog
