// merilog-cli records stats|search|export|delete|chart on the records of a working folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "core/records/RecordTestSupport.h"
#include "support/FullDisk.h"
#include "support/RecordFiles.h"

namespace merilog {
namespace {

using test::Std;

class RecordOperationsTest : public test::RecordFolderFixture {
 protected:
  void SetUp() override {
    RecordFolderFixture::SetUp();
    test::WriteRecord(RecordPath(2), {{1.5, 0.25}, {2.5, kNoSecondValue}, {kOverloadValue, 0.75}, {-1.0, 0.5}}, "DCV",
                      "ACV");
  }
  int Run(const QStringList& args) {
    return test::RunProgram(MERILOG_CLI_PATH, QStringList{"records"} + args, &out_, &err_, 30000, base_);
  }
  QString out_, err_;
};

TEST_F(RecordOperationsTest, StatsAndSearchPrintWhatTheViewerShows) {
  ASSERT_EQ(Run({"stats", "2"}), 0) << Std(err_);
  EXPECT_EQ(Std(out_),
            "Data Quantity：4\nMAX：989999999999999\nMIN：-1.000000000000\nAVG：247499999999999\n"
            "2ND MAX：0.750000000000\n2ND MIN：0.250000000000\n2ND AVG：0.500000000000\n");

  // The search prints its rows, then the figures as stats does.
  ASSERT_EQ(Run({"search", "2", "--hi", "3", "--lo", "0"}), 0) << Std(err_);
  EXPECT_TRUE(
      out_.startsWith("1,1.500000000000,0.250000000000,10:00:00:000\n2,2.500000000000,,10:00:00:025\n"
                      "Match_sample：2\nData Quantity：4\nMAX：2.500000000000000\n"))
      << Std(out_);

  // A refused band: the viewer's message, exit 1, and no rows.
  EXPECT_EQ(Run({"search", "2", "--hi", "5", "--lo", "7"}), 1);
  EXPECT_TRUE(err_.startsWith("HI Limiter should define the maximum possible value")) << Std(err_);
  EXPECT_EQ(Std(out_), "");
  EXPECT_EQ(Run({"stats", "3"}), 1);
  EXPECT_EQ(Std(err_), "The record file \"" + Std(RecordPath(3)) + "\" does not exist.\n");
  // A file there but not listed is named with what is wrong with it, never as missing.
  QFile(RecordPath(4)).open(QIODevice::WriteOnly);
  EXPECT_EQ(Run({"stats", "4"}), 1);
  EXPECT_EQ(Std(err_), "Error: The record file \"" + Std(RecordPath(4)) +
                           "\" is not a complete record: the table read is missing, the table read_date is missing, "
                           "the table read_function is missing.\n");
  QFile::remove(RecordPath(4));
  test::MakeRecord(RecordPath(5), true);
  EXPECT_EQ(Run({"stats", "5"}), 1);
  EXPECT_EQ(Std(err_), "The record file \"" + Std(RecordPath(5)) + "\" has no date; the record lists leave it out.\n");
  EXPECT_EQ(Run({"search", "2", "--hi", "3"}), 2);
}

// stats says the gaps a run left and counts the readings outside given limits (an overload is above).
TEST_F(RecordOperationsTest, StatsSaysTheGapsAndCountsReadingsOutsideLimits) {
  {
    auto a = RecordAppender::Open(RecordPath(2));
    ASSERT_TRUE(a.ok());
    RecordGap gap;
    gap.start = test::At(2024, 3, 5, 14, 3, 27);
    gap.end = gap.start.addMSecs(2000);
    ASSERT_TRUE(a.value()->AddGap(gap).ok());
    ASSERT_TRUE(a.value()->Close().ok());
  }
  ASSERT_EQ(Run({"stats", "2", "--high", "2", "--low", "0"}), 0) << Std(err_);
  EXPECT_TRUE(out_.endsWith("Gaps: 1 gap, 2.0 s in all\nOutside the limits: 3 (above 2: 2, below 0: 1)\n")) << Std(out_);
  EXPECT_EQ(Run({"stats", "2", "--high", "x"}), 2);
}

TEST_F(RecordOperationsTest, ExportAndDelete) {
  const QString csv = temp_->File("plain name");
  ASSERT_EQ(Run({"export", "2", csv}), 0) << Std(err_);
  EXPECT_EQ(Std(err_), "Output to CSV completed.\n");
  QFile f(csv);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  // The rows' format is the CSV writer's own; here the record and its label reach it.
  const QList<QByteArray> lines = f.readAll().split('\n');
  EXPECT_EQ(lines.size(), 6);
  EXPECT_EQ(lines[0], "Time,Value ,Value_2ND , ,DateTime : ( 24 / 03 / 05 -- 14 : 03 : 27 )  - DCV ACV\r");
  // A relative name is in the folder the command ran in, not in the record folder.
  ASSERT_EQ(Run({"export", "2", "relative.csv"}), 0) << Std(err_);
  EXPECT_TRUE(QFileInfo::exists(temp_->File("relative.csv")));
  EXPECT_EQ(Run({"export", "2", temp_->File("no/such/folder.csv")}), 1);
  EXPECT_EQ(Std(err_), "Error: Save As Error.\nThe folder \"" + Std(temp_->File("no/such")) + "\" does not exist.\n");

  test::WriteRecord(DbfilePath(2), {{1.0}});
  EXPECT_EQ(Run({"delete", "2"}), 1);
  EXPECT_EQ(Std(err_),
            "Are you sure you want to delete this record?\nmerilog-cli: no answer given on the command line (--yes); "
            "not continuing\n");
  EXPECT_TRUE(QFileInfo::exists(RecordPath(2)));
  EXPECT_EQ(Run({"delete", "2", "--yes"}), 0);
  EXPECT_FALSE(QFileInfo::exists(RecordPath(2)) || QFileInfo::exists(DbfilePath(2)));
}

// The chart's picture at its size; a refused range gives the dialog's message.
TEST_F(RecordOperationsTest, ChartPicture) {
  const QString png = temp_->File("chart.png");
  ASSERT_EQ(Run({"chart", "2", "--png", png, "--second", "--colour", "ff8000", "--scale", "19"}), 0) << Std(err_);
  QFile f(png);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray head = f.read(24);
  ASSERT_EQ(head.left(8), QByteArray("\x89PNG\r\n\x1a\n"));
  // The image header: width 584, height 337.
  EXPECT_EQ(head.mid(16, 8), QByteArray::fromHex("0000024800000151"));

  EXPECT_EQ(Run({"chart", "2", "--png", png, "--from", "5", "--to", "5"}), 1);
  EXPECT_EQ(Std(err_), "ERROR: Input Data Error! Please re-enter.\n");
  EXPECT_EQ(Run({"chart", "2", "--png", png, "--colour", "orange"}), 2);
}

// On a full disk the CSV and the picture are reported with their names and
// the reason, and no part of either is left under its name.
TEST_F(RecordOperationsTest, ExportAndPictureOnAFullDisk) {
  const QString full = temp_->File("full");
  ASSERT_TRUE(QDir().mkpath(full));
  const QStringList runs[] = {{"records", "export", "2", full + "/out.csv"},
                              {"records", "chart", "2", "--png", full + "/chart.png"}};
  for (const QStringList& args : runs) {
    const auto run = test::RunOnFullDisk(MERILOG_CLI_PATH, args, full, base_);
    if (!run) GTEST_SKIP() << "neither a tmpfs nor a file-size limit could be set up";
    EXPECT_EQ(run->exitCode, 1) << Std(run->how) << "\n" << Std(run->err);
    EXPECT_TRUE(run->err.contains(QRegularExpression(QRegularExpression::escape("The file \"" + args.last()) +
                                                     "\" cannot be written: (No space left on device|File too large)")))
        << Std(run->err);
    EXPECT_FALSE(run->err.contains("completed")) << Std(run->err);
    EXPECT_EQ(run->left, QStringList{}) << Std(run->how);
  }
}

}  // namespace
}  // namespace merilog
