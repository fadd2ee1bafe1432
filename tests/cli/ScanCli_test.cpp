// merilog-cli scan on the simulated bench and over merilog-simmeter: the grid
// printed, the files written, and the refusals with their exit codes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "support/FullDisk.h"
#include "support/SimmeterProcess.h"
#include "support/TestSupport.h"

namespace {

using merilog::test::RunProgram;
using merilog::test::TempFolder;

int Cli(const QStringList& args, QString* out, QString* err) {
  return RunProgram(MERILOG_CLI_PATH, args, out, err, 60000);
}

QStringList Lines(const QString& text) {
  return text.split('\n', Qt::SkipEmptyParts);
}

TEST(ScanCli, ScansTheSimulatedCardPrintsTheGridAndWritesBothFiles) {
  TempFolder dir;
  QString out, err;
  ASSERT_EQ(Cli({"--simulate", "scan", "--channel", "1=DCV", "--channel", "3=DCI:100:0.01", "--channel", "4=4W",
                 "--timer", "0.05", "--count", "6", "--csv", dir.File("scan.csv"), "--xlsx", dir.File("scan.xlsx")},
                &out, &err),
            0)
      << err.toStdString();
  const QStringList lines = Lines(out);
  ASSERT_GE(lines.size(), 4);
  EXPECT_EQ(lines[lines.size() - 4], "6/6");
  EXPECT_TRUE(lines[lines.size() - 3].contains(QRegularExpression("^ +Time +CH1\\(DCV\\) +CH3\\(DCI\\) +CH4\\(4W\\)$")))
      << lines[lines.size() - 3].toStdString();
  EXPECT_TRUE(lines.last().startsWith("2  ")) << lines.last().toStdString();
  EXPECT_TRUE(err.contains("scanning on MODEL P7700A-USBTMC-SN04"));

  QFile csv(dir.File("scan.csv"));
  ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
  const QStringList rows = QString::fromUtf8(csv.readAll()).split("\r\n", Qt::SkipEmptyParts);
  ASSERT_EQ(rows.size(), 3);
  EXPECT_EQ(rows[0], "Time,CH1(DCV),CH3(DCI),CH4(4W)");
  EXPECT_EQ(rows[1].split(',').size(), 4);
  EXPECT_GT(QFile(dir.File("scan.xlsx")).size(), 1000);
}

// One refusal of each kind: relayed from the dialog, the command line's own
// check of the card, and a malformed option.
TEST(ScanCli, RefusedInputsExitWithTheirMessage) {
  struct Case {
    QStringList args;
    int rc;
    QString message;
  };
  const Case cases[] = {
      {{"--channel", "1=DCI", "--timer", "0.1"}, 1, "Error: The value of \"R\" can't equal to 0 ! Please re-enter."},
      {{"--channel", "3=4W", "--channel", "13=DCV"}, 1, "channel 13 carries the sense leads of 4W channel 3"},
      {{"--channel", "1=DCV:5"}, 2, "only a DCI or ACI channel takes R and I"},
      {{"--device", "2"}, 1, "only 1 scanner-capable meter(s) found"},
  };
  for (const Case& k : cases) {
    QString out, err;
    EXPECT_EQ(Cli(QStringList{"--simulate", "scan"} + k.args, &out, &err), k.rc) << k.args.join(' ').toStdString();
    EXPECT_TRUE(err.contains(k.message)) << err.toStdString();
  }
}

// Neither file fits: each is reported with its name and the reason, the exit
// status says so, and no part of either is left under its name.
TEST(ScanCli, ExportsToAFullDiskFailAndLeaveNothing) {
  TempFolder dir;
  const QString full = dir.File("full");
  ASSERT_TRUE(QDir().mkpath(full));
  const auto run =
      merilog::test::RunOnFullDisk(MERILOG_CLI_PATH,
                                   {"--simulate", "scan", "--channel", "1=DCV", "--timer", "0.05", "--count", "2",
                                    "--csv", full + "/scan.csv", "--xlsx", full + "/scan.xlsx"},
                                   full, dir.Path());
  if (!run) GTEST_SKIP() << "neither a tmpfs nor a file-size limit could be set up";
  EXPECT_EQ(run->exitCode, 1) << run->how.toStdString() << "\n" << run->err.toStdString();
  for (const char* name : {"/scan.csv", "/scan.xlsx"})
    EXPECT_TRUE(run->err.contains(QRegularExpression(QRegularExpression::escape("The file \"" + full + name) +
                                                     "\" cannot be written: (No space left on device|File too large)")))
        << run->err.toStdString();
  EXPECT_EQ(run->left, QStringList{}) << run->how.toStdString();
}

// A target that is no file (a pipe here, a device or a folder alike) is
// refused before the meter is asked anything, and left as it is.
TEST(ScanCli, ATargetThatIsNoFileIsRefusedAndLeftAlone) {
  TempFolder dir;
  const QString fifo = dir.File("pipe");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  const QStringList scan{"--simulate", "scan", "--channel", "1=DCV", "--timer", "0.05", "--count", "2"};
  QString out, err;
  EXPECT_EQ(Cli(scan + QStringList{"--csv", fifo}, &out, &err), 1);
  EXPECT_EQ(err.toStdString(),
            "merilog-cli: \"" + fifo.toStdString() + "\" is a pipe, not a file; it is left as it is.\n");
  EXPECT_TRUE(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());
  EXPECT_EQ(Cli(scan + QStringList{"--xlsx", dir.Path()}, &out, &err), 1);
  EXPECT_EQ(err.toStdString(), "merilog-cli: \"" + dir.PathStd() + "\" is a folder; give a file name.\n");
  EXPECT_EQ(QDir(dir.Path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System), QStringList{"pipe"});
}

TEST(ScanCli, StopAfterNAndAScheduleOverTheSocketBackend) {
  merilog::test::SimmeterProcess sim({"--model", "P7700A", "--channels", "10"});
  ASSERT_GT(sim.port, 0);
  const QString resource = QString::fromStdString(sim.Resource());
  QString out, err;
  ASSERT_EQ(Cli({"--resource", resource, "scan", "--channel", "1=4W", "--channel", "2=ACV", "--timer", "0.05",
                 "--scans", "2"},
                &out, &err),
            0)
      << err.toStdString();
  QStringList lines = Lines(out);
  EXPECT_TRUE(lines.contains("4/4"));
  ASSERT_GE(lines.size(), 3);
  EXPECT_TRUE(lines[lines.size() - 3].contains(QRegularExpression("^ +Time +CH1\\(4W\\) +CH2\\(ACV\\)$")));
  EXPECT_TRUE(err.contains("MODEL P7700A-LAN-127.0.0.1-" + QString::number(sim.port)));

  // A PerScan run up to a stop time. The start moment has passed and the stop time is far enough
  // ahead for a loaded machine to start the program: whenever it starts, it scans at least once.
  // The time column is padded to its widest entry, so the spaces after it are one or more.
  const QDateTime now = QDateTime::currentDateTime();
  const QString format = QStringLiteral("yyyy/MM/dd HH:mm:ss");
  ASSERT_EQ(Cli({"--resource", resource, "scan", "--channel", "5=DCV", "--timer", "0.05", "--every", "00:00:01", "--at",
                 now.addSecs(-60).toString(format), "--until", now.addSecs(5).toString(format)},
                &out, &err),
            0)
      << err.toStdString();
  lines = Lines(out);
  const int header = static_cast<int>(lines.indexOf(QRegularExpression("^ +Time +CH5\\(DCV\\)$")));
  ASSERT_GE(header, 0) << out.toStdString();
  ASSERT_GT(lines.size(), header + 1);  // at least one scan, each a row
  EXPECT_TRUE(lines.last().contains(QRegularExpression("^\\d+  \\d+:\\d+:\\d+ +-?\\d+\\.\\d{8}$")))
      << lines.last().toStdString();
}

}  // namespace
