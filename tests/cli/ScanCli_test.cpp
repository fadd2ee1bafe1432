// merilog-cli scan on the simulated bench and over merilog-simmeter: the grid
// printed, the files written, and the refusals with their exit codes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
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

// Every option is checked whole before a meter is searched, and refused with
// its field's message, once, and exit status 1; so are the card's own checks
// and the dialog's, after the search.
TEST(ScanCli, RefusedInputsExitOneWithTheirMessageOnce) {
  struct Case {
    QStringList args;
    QString message;
    bool searched;
  };
  const QString nines(5000, '9');
  const Case cases[] = {
      {{"--channel", "1=DCI", "--channel", "2=DCV"},
       "channel 1: The value of \"R\" can't equal to 0 ! Please re-enter.",
       false},
      {{"--channel", "2=DCV", "--channel", "1=DCI:" + nines},
       "channel 1: The value of \"R\" is too large to use ! Please re-enter.",
       false},
      {{"--channel", "1=DCV:5"}, "only a DCI or ACI channel takes R and I", false},
      {{"--timer", "0,5"}, "--timer 0,5: The value of \"Timer\" is error ! Please re-enter.", false},
      {{"--timer", "--"}, "The value of \"Timer\" is error ! Please re-enter.", false},
      {{"--timer", "70", "--count", "2"}, "Please enter a number between 0 and 60.", false},
      {{"--count", "0"}, "--count 0: Please enter an integer between 1 and 2000.", false},
      {{"--count", "abc"}, "Please enter an integer between 1 and 2000.", false},
      {{"--channel", "1=DCV", "--channel", "2=DCV", "--channel", "3=DCV", "--scans", "1000000000"},
       "Please enter an integer between 1 and 200.",
       false},
      {{"--scans", "0"}, "Please enter an integer between 1 and 200.", false},
      {{"--csv", "/nonexistent/a.csv"}, "The folder \"/nonexistent\" does not exist.", false},
      {{"--count"}, "--count needs a value", false},
      {{"--device", "2"}, "only 1 scanner-capable meter(s) found", true},
      {{"--channel", "3=4W", "--channel", "13=DCV"}, "channel 13 carries the sense leads of 4W channel 3", true},
      {{"--channel", "1=None"}, "Error: No channel has a function to measure. Please choose one.", true},
  };
  TempFolder dir;
  for (const Case& k : cases) {
    QString out, err;
    const QString transcript = dir.File("wire.txt");
    QFile::remove(transcript);
    EXPECT_EQ(Cli(QStringList{"--simulate", "--transcript", transcript, "scan"} + k.args, &out, &err), 1)
        << k.args.join(' ').toStdString();
    EXPECT_EQ(err.count(k.message), 1) << err.toStdString();
    EXPECT_TRUE(out.isEmpty()) << out.toStdString();
    // Refused on the command line: not a word to any meter.
    EXPECT_EQ(QFileInfo(transcript).size() > 0, k.searched) << k.args.join(' ').toStdString();
  }
}

// Ctrl-C ends an endless PerScan run after the scan in progress, and a wait
// for the start time at once: exit 130, the scans kept said and printed.
TEST(ScanCli, CtrlCStopsAfterTheScanInProgressAndSaysWhatWasKept) {
  struct Case {
    QStringList args;
    QString waitFor;  // on standard output, else standard error
  };
  const Case cases[] = {
      {{"--every", "00:00:01"}, "scan 2: 1/1"},
      {{"--at", "2099/01/01 00:00:00"}, "scanning on"},
  };
  for (const Case& k : cases) {
    QProcess cli;
    cli.start(MERILOG_CLI_PATH, QStringList{"--simulate", "scan", "--channel", "1=DCV", "--timer", "0.05"} + k.args);
    ASSERT_TRUE(cli.waitForStarted());
    QString out, err;
    QDeadlineTimer deadline(60000);
    while (!out.contains(k.waitFor) && !err.contains(k.waitFor) && !deadline.hasExpired() &&
           cli.state() == QProcess::Running) {
      cli.waitForReadyRead(1000);
      out += QString::fromUtf8(cli.readAllStandardOutput());
      err += QString::fromUtf8(cli.readAllStandardError());
    }
    ASSERT_TRUE(out.contains(k.waitFor) || err.contains(k.waitFor)) << out.toStdString() << err.toStdString();
    ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
    ASSERT_TRUE(cli.waitForFinished(60000));
    out += QString::fromUtf8(cli.readAllStandardOutput());
    err += QString::fromUtf8(cli.readAllStandardError());
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 130);
    const QRegularExpressionMatch kept =
        QRegularExpression("interrupted; (no scan|1 scan|(\\d+) scans) kept\n").match(err);
    ASSERT_TRUE(kept.hasMatch()) << err.toStdString();
    // The grid printed holds what was said: a header and a row per scan, or nothing.
    const int scans = kept.captured(2).isEmpty() ? (kept.captured(1) == "1 scan" ? 1 : 0) : kept.captured(2).toInt();
    const QStringList grid = Lines(out).filter(QRegularExpression("^ +Time|^\\d+  "));
    EXPECT_EQ(grid.size(), scans == 0 ? 0 : scans + 1) << out.toStdString();
    if (k.args[0] == "--every") {
      EXPECT_GE(scans, 2);
    }
  }
}

// A card that answers "Rout:state?" with no channel count is said to be one.
TEST(ScanCli, ACardReportingNoChannelsIsSaidToBeOne) {
  merilog::test::SimmeterProcess sim({"--model", "P7700A", "--channels", "0"});
  ASSERT_GT(sim.port, 0);
  QString out, err;
  EXPECT_EQ(Cli({"--resource", QString::fromStdString(sim.Resource()), "scan"}, &out, &err), 1);
  EXPECT_TRUE(err.contains("the scanner card reports no channels (\"Rout:state?\" answered \"0\")"))
      << err.toStdString();
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
