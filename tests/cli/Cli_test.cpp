#include <SQLiteCpp/SQLiteCpp.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "support/PrintQString.h"
#include "support/TestSupport.h"

using merilog::test::RunProgram;
using merilog::test::TempFolder;

namespace {

int Cli(const QStringList& args, QString* out, QString* err = nullptr, const QString& dir = {}) {
  return RunProgram(MERILOG_CLI_PATH, args, out, err, 30000, dir);
}

std::vector<double> Values(const QString& path) {
  SQLite::Database db(path.toStdString());
  SQLite::Statement q(db, "SELECT read_value FROM read ORDER BY rowid");
  std::vector<double> v;
  while (q.executeStep()) v.push_back(q.getColumn(0).getDouble());
  return v;
}

TEST(Cli, DevicesInDiscoveryOrderOrNoneAndFail) {
  QString out;
  ASSERT_EQ(Cli({"--simulate", "devices"}, &out), 0);
  EXPECT_EQ(out, "MODEL 6081-USBTMC-SN01\nMODEL 6082-USBTMC-SN02\nMODEL 6081-GPIB-16\n");

  TempFolder dir;
  {
    QFile f(dir.File("empty.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("# nothing on this bench\n");
  }
  EXPECT_EQ(Cli({"--simulate=" + dir.File("empty.ini"), "devices"}, &out), 1);
  EXPECT_EQ(out.trimmed(), "No Device Connected");
}

TEST(Cli, FindQueryAndIoOnTheSimulatedBench) {
  QString out, err;
  ASSERT_EQ(Cli({"--simulate", "find", "GPIB[0-9]?*INSTR"}, &out), 0);
  EXPECT_EQ(out, "GPIB0::16::INSTR\n");
  ASSERT_EQ(Cli({"--simulate", "query", "USB0::0x3A7D::0x6082::SN02::INSTR", "CONF:VOLT:DC", "func?", "*cls"}, &out),
            0);
  EXPECT_EQ(out, "\"VOLT\"\n");  // the meter's own quotes are shown as received

  EXPECT_EQ(Cli({"--simulate", "query", "GPIB0::99::INSTR", "*IDN?"}, &out, &err), 1);
  EXPECT_TRUE(err.contains("cannot open GPIB0::99::INSTR")) << err.toStdString();
  EXPECT_EQ(Cli({"--simulate", "find", "USB[0-9"}, &out, &err), 2);
  EXPECT_EQ(err, "merilog-cli: invalid search pattern \"USB[0-9\": a \"[\" has no closing \"]\"\n");
  EXPECT_EQ(Cli({"--bogus", "io"}, &out, &err), 2);

  // io names every backend and why one is inactive.
  ASSERT_EQ(Cli({"--simulate", "io"}, &out), 0);
  for (const char* name : {"sim", "USBTMC", "GPIB", "VISA library", "TCP socket"})
    EXPECT_TRUE(out.contains(name)) << name;
  EXPECT_TRUE(out.contains("sim: active"));
}

// A LAN resource that cannot be opened is named with where it came from and why,
// and a transcript that cannot be written fails the command after saying so.
TEST(Cli, MalformedResourcesAndUnwritableTranscriptsAreSaid) {
  TempFolder config;
  QFile::copy(qEnvironmentVariable("MERILOG_CONFIG_DIR") + "/MERILOG.ini", config.File("MERILOG.ini"));
  {
    QFile ini(config.File("MERILOG.ini"));
    ASSERT_TRUE(ini.open(QIODevice::Append));
    ini.write("\n[Instruments]\nResource1=TCPIP0::lab meter::5025::SOCKET\n");
  }
  const QString lan = "merilog-cli: the LAN resource ";
  const QString full = "merilog-cli: cannot write the transcript /dev/full: No space left on device\n";
  const struct {
    QStringList args;
    QString error;
    bool brokenIni = false;
  } cases[] = {
      {{"--simulate", "--resource", "TCPIP0::host::99999::SOCKET", "devices"},
       lan + "\"TCPIP0::host::99999::SOCKET\" on the command line cannot be used: the port \"99999\" is not a "
             "number from 1 to 65535\n"},
      {{"--resource", "TCPIP0::127.0.0.1", "io"},
       lan + "\"TCPIP0::127.0.0.1\" on the command line cannot be used: it is not of the form "
             "TCPIP0::host::port::SOCKET, TCPIP0::host[::inst0]::INSTR or TCPIP0::host::hislip0[,port]::INSTR\n"},
      {{"--simulate", "devices"},
       lan + "\"TCPIP0::lab meter::5025::SOCKET\" in the [Instruments] section of " + config.File("MERILOG.ini") +
           " cannot be used: the host holds a blank or a control character\n",
       true},
      {{"--simulate", "--transcript", "/dev/full", "query", "GPIB0::16::INSTR", "*IDN?"}, full},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (c.brokenIni) env.insert("MERILOG_CONFIG_DIR", config.Path());
    QString out, err;
    EXPECT_EQ(RunProgram(MERILOG_CLI_PATH, c.args, &out, &err, 30000, {}, env), 1);
    EXPECT_EQ(err, c.error);
  }
}

class LogCommand : public ::testing::Test {
 protected:
  TempFolder f;
  QString out, err;
  int Log(const QStringList& args) { return Cli(QStringList{"--simulate", "log"} + args, &out, &err, f.Path()); }
  std::vector<double> Record(int n) { return Values(f.Path() + QString("/DB/Record %1.mdb").arg(n)); }
};

TEST_F(LogCommand, MissingFolderAndUnknownLineRefuseTheStart) {
  // No DB folder: the record store's message, and the run does not start.
  EXPECT_EQ(Log({"--record", "1", "--count", "1"}), 1);
  EXPECT_TRUE(err.contains("Database working folder not found.")) << err.toStdString();
  QDir(f.Path()).mkdir("DB");
  EXPECT_EQ(Log({"--record", "1", "--devices", "9", "--count", "1"}), 1);
  // Two meters from record 10 would write record 11, which no list shows: refused before anything is written.
  EXPECT_EQ(Log({"--record", "10", "--devices", "1,2", "--count", "1"}), 2);
  EXPECT_TRUE(err.contains("record 11")) << err.toStdString();
  EXPECT_TRUE(QDir(f.Path() + "/DB").entryList(QDir::Files).isEmpty());
}

TEST_F(LogCommand, StoresOneRowPerPrintedTickAndAsksBeforeContinuing) {
  QDir(f.Path()).mkdir("DB");
  ASSERT_EQ(Log({"--record", "2", "--devices", "2", "--count", "4", "--interval", "1"}), 0) << err.toStdString();
  const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 4);
  const auto values = Record(2);
  ASSERT_EQ(values.size(), 4u);
  // The printed display text is the stored value with twelve decimals.
  EXPECT_EQ(lines[0].split('\t')[0], QString::asprintf("%.12f", values[0]));
  EXPECT_FALSE(err.contains("readings into")) << "a progress line off a terminal";

  // Continuing needs an answer: without one, or with No, the start is refused.
  EXPECT_EQ(Log({"--record", "2", "--devices", "2", "--count", "1"}), 1);
  EXPECT_TRUE(err.contains("Record 2 will continue saving the readings.  Continue?"));
  EXPECT_EQ(Log({"--record", "2", "--devices", "2", "--count", "1", "--no"}), 1);
  EXPECT_EQ(Log({"--record", "2", "--devices", "2", "--count", "2", "--yes", "--interval", "1"}), 0);
  EXPECT_EQ(Record(2).size(), 6u);

  // A disk that takes nothing more: the run ends, says how many readings were lost, and fails.
  const qint64 kb = (QFileInfo(f.Path() + "/DB/Record 2.mdb").size() + 1023) / 1024 + 16;  // room to start
  const QString cli = MERILOG_CLI_PATH;
  const int code =
      RunProgram("bash",
                 {"-c", QString("ulimit -f %1; exec \"%2\" --simulate log --record 2 --devices 2 --count 3000 "
                                "--interval 1 --yes")
                            .arg(kb)
                            .arg(cli)},
                 &out, &err, 60000, f.Path());
  EXPECT_EQ(code, 3) << err.toStdString();
  EXPECT_TRUE(err.contains("readings were not saved")) << err.toStdString();
}

TEST_F(LogCommand, OnATerminalTheProgressLineStaysBelowTheReadings) {
  QDir(f.Path()).mkdir("DB");
  // script(1) runs the program on a terminal of its own; both streams come back in `out`.
  const QString command =
      QString("\"%1\" --simulate log --record 1 --devices 1,2 --count 3 --interval 1").arg(MERILOG_CLI_PATH);
  ASSERT_EQ(RunProgram("script", {"-qec", command, "/dev/null"}, &out, &err, 30000, f.Path()), 0) << out.toStdString();
  // What the terminal shows once each progress line is blanked: the readings, then the last progress line.
  QString shown = out;
  shown.remove(QRegularExpression("\\d+ of 3 readings[^\\r\\n]*\\r +\\r"));
  // (A busy machine may add a note on late ticks.)
  const QStringList lines = shown.split("\r\n", Qt::SkipEmptyParts).filter(QRegularExpression("^(?!merilog-cli: )"));
  ASSERT_EQ(lines.size(), 4) << out.toStdString();
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(QRegularExpression("^-?\\d+\\.\\d{12}\\t").match(lines[i]).hasMatch()) << lines[i].toStdString();
  EXPECT_EQ(lines[3], "3 of 3 readings from each meter into records 1 and 2");
  EXPECT_EQ(Record(1).size(), 3u);
}

// --keep-going on a bench whose meter vanishes after 40 commands for 100 ms: the
// run goes on, the meter's column says LOST while it is away, the run log says
// it was lost and is back, the gap is in the record, and the run ends 0.
TEST_F(LogCommand, KeepGoingReadsThroughAMeterThatVanishesAndStoresTheGap) {
  QDir(f.Path()).mkdir("DB");
  const QString bench =
      f.Write("bench.ini",
              "[meter]\nresource = USB0::0x3A7D::0x6081::SN01::INSTR\nmodel = 6081\nvanish-after = 40\n"
              "back-after-ms = 100\n");
  ASSERT_FALSE(bench.isEmpty());
  ASSERT_EQ(Cli({"--simulate=" + bench, "log", "--record", "1", "--count", "400", "--interval", "5", "--keep-going",
                 "--high", "1e30"},
                &out, &err, f.Path()),
            0)
      << err.toStdString();
  EXPECT_TRUE(out.contains("LOST\n"));
  EXPECT_TRUE(err.contains("MODEL 6081-USBTMC-SN01: lost (no answer to \"read?\"")) << err.toStdString();
  EXPECT_TRUE(err.contains("MODEL 6081-USBTMC-SN01: back after ")) << err.toStdString();
  EXPECT_TRUE(err.contains("gap")) << err.toStdString();
  EXPECT_TRUE(err.contains("0 readings outside the limits")) << err.toStdString();
  SQLite::Database record((f.Path() + "/DB/Record 1.mdb").toStdString());
  EXPECT_GE(record.execAndGet("SELECT count(*) FROM read_gap").getInt(), 1);
  // What stopped the run and what it needs are said before anything is read.
  EXPECT_EQ(Log({"--record", "1", "--for", "0s"}), 2);
  EXPECT_TRUE(err.contains("--for: a run of no time")) << err.toStdString();
  EXPECT_EQ(Log({"--record", "1", "--until", "2001/01/01 00:00:00"}), 2);
  EXPECT_TRUE(err.contains("has passed already")) << err.toStdString();
  EXPECT_EQ(Log({"--record", "1", "--high", "1,2"}), 2);
  EXPECT_EQ(Log({"--record", "1", "--high", "1", "--low", "2"}), 2);
  EXPECT_TRUE(err.contains("The low limit 2 is above the high limit 1.")) << err.toStdString();
}

}  // namespace
