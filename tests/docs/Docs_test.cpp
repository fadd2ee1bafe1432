// The documentation a user reads: its links lead somewhere, and the record
// page's sqlite3 and pandas examples work on a record the program wrote.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include "support/TestSupport.h"

namespace {

using merilog::test::RunProgram;
using merilog::test::TempFolder;

const QString kSourceDir = QDir::cleanPath(MERILOG_SOURCE_DATA_DIR "/..");

QString ReadText(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// The first fenced block of `language` after `heading` in `page`.
QString CodeBlock(const QString& page, const QString& heading, const QString& language) {
  const QString after = page.section(heading + "\n", 1);
  return after.section("```" + language + "\n", 1).section("\n```", 0, 0);
}

TEST(Docs, EveryLinkOfTheReadmeAndTheGuideLeadsToAFile) {
  QStringList pages{kSourceDir + "/README.md"};
  for (QDirIterator it(kSourceDir + "/docs", {"*.md"}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
    pages << it.next();
  ASSERT_GE(pages.size(), 8);
  static const QRegularExpression link("\\]\\(([^)#\\s]+)(#[^)]*)?\\)");
  int links = 0;
  for (const QString& page : pages) {
    for (auto m = link.globalMatch(ReadText(page)); m.hasNext(); ++links) {
      const QString target = m.next().captured(1);
      if (target.startsWith("http")) continue;
      EXPECT_TRUE(QFile::exists(QFileInfo(page).dir().filePath(target))) << page.toStdString() << ": " << target.toStdString();
    }
  }
  EXPECT_GE(links, 20);
}

class RecordPage : public ::testing::Test {
 protected:
  // A record with readings, an overload or two and a gap, as a run kept
  // through a meter that vanished for a moment writes it.
  void SetUp() override {
    ASSERT_TRUE(QDir(folder.Path()).mkdir("DB"));
    QFile bench(folder.File("bench.ini"));
    ASSERT_TRUE(bench.open(QIODevice::WriteOnly));
    bench.write("[meter]\nresource = USB0::0x3A7D::0x6081::SN01::INSTR\nmodel = 6081\nvanish-after = 40\n"
                "back-after-ms = 100\noverload-every = 20\n");
    bench.close();
    QString out, err;
    ASSERT_EQ(RunProgram(MERILOG_CLI_PATH,
                         {"--simulate=" + folder.File("bench.ini"), "log", "--record", "1", "--count", "200",
                          "--interval", "5", "--keep-going"},
                         &out, &err, 60000, folder.Path()),
              0)
        << err.toStdString();
    page = ReadText(kSourceDir + "/docs/guide/records.md");
  }
  TempFolder folder;
  QString page;
};

TEST_F(RecordPage, TheSqliteExamplesWork) {
  QString script = CodeBlock(page, "### With sqlite3", "sh");
  ASSERT_TRUE(script.contains("sqlite3")) << script.toStdString();
  // The page's own working folder is the temporary one here.
  script.remove(QRegularExpression("^cd .*\n", QRegularExpression::MultilineOption));
  QString out, err;
  ASSERT_EQ(RunProgram("bash", {"-e", "-c", script}, &out, &err, 30000, folder.Path()), 0) << err.toStdString();
  EXPECT_TRUE(err.isEmpty()) << err.toStdString();
  EXPECT_TRUE(out.contains("no answer to \"read?\"")) << out.toStdString();  // the gap
  EXPECT_TRUE(QRegularExpression("current +row_count").match(out).hasMatch()) << out.toStdString();
  EXPECT_TRUE(QRegularExpression("\n1 +[0-9]+ +9\\.9e\\+37").match(out).hasMatch()) << out.toStdString();
  EXPECT_TRUE(ReadText(folder.File("record1.csv")).startsWith("read_time,read_value,read_value_2nd\n"));
}

TEST_F(RecordPage, ThePandasExampleWorks) {
  QString out, err;
  if (RunProgram("/usr/bin/python3", {"-c", "import pandas"}, &out, &err) != 0)
    GTEST_SKIP() << "Debian's python3-pandas is not installed";
  const QString script = CodeBlock(page, "### With pandas", "python");
  ASSERT_TRUE(script.contains("read_sql_query")) << script.toStdString();
  ASSERT_EQ(RunProgram("/usr/bin/python3", {"-c", script}, &out, &err, 60000, folder.Path()), 0) << err.toStdString();
  // The overloads are left out of the figures.
  EXPECT_TRUE(QRegularExpression("count +[0-9.]+\nmean +1\\.").match(out).hasMatch()) << out.toStdString();
  EXPECT_TRUE(out.contains("Name: read_value")) << out.toStdString();
}

}  // namespace
