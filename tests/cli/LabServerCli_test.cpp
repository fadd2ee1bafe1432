// merilog-cli and the lab server: sync, records list and pull, and a run on
// the simulated bench that lands every reading on a real PostgreSQL cluster.
#include <QFile>
#include <QRegularExpression>

#include "core/labserver/LabServerSupport.h"
#include "support/PrintQString.h"

namespace merilog::test {
namespace {

class LabServerCli : public LabServerTest {
 protected:
  // A language file with a [Server] section, and the environment that points at it.
  QProcessEnvironment Environment(const QString& connection) {
    QFile::copy(QStringLiteral(MERILOG_BUILD_DIR "/test-config/MERILOG.ini"), config.File("MERILOG.ini"));
    QFile ini(config.File("MERILOG.ini"));
    EXPECT_TRUE(ini.open(QIODevice::Append));
    ini.write(("\n[Server]\nConnection=" + connection + "\nBench=bench-cli\n").toUtf8());
    ini.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MERILOG_CONFIG_DIR", config.Path());
    env.remove("MERILOG_SERVER");
    return env;
  }
  int Cli(const QStringList& args, const QProcessEnvironment& env, QString* out, QString* err = nullptr) {
    return RunProgram(MERILOG_CLI_PATH, args, out, err, 90000, work.Path(), env);
  }
  TempFolder config;
};

TEST_F(LabServerCli, SyncListAndPullFromTheCommandLine) {
  WriteRecord(Path(1), SampleReadings(12));
  WriteRecord(Path(2, RecordFileKind::DBfile), SampleReadings(3));
  const QProcessEnvironment env = Environment(cluster->ConnInfo());
  QString out, err;
  ASSERT_EQ(Cli({"sync"}, env, &out, &err), 0) << err.toStdString();
  EXPECT_EQ(out, "Record 1: 12 local / 12 on the server\nDBfile 2: 3 local / 3 on the server\n");
  // Again: nothing new, nothing sent twice.
  ASSERT_EQ(Cli({"sync"}, env, &out, &err), 0) << err.toStdString();
  EXPECT_EQ(Sql("SELECT count(*) FROM merilog.reading"), "15");

  ASSERT_EQ(Cli({"records", "list", "--bench", "bench-cli"}, env, &out, &err), 0) << err.toStdString();
  const QStringList lines = out.trimmed().split('\n');
  ASSERT_EQ(lines.size(), 2);
  static const QRegularExpression kLine(
      "^bench-cli  ([0-9a-f-]{36})  Record 1            \\( 24 / 03 / 05 -- 14 : 03 : 27 \\)  - DCV NONE  12 "
      "readings$");
  const auto m = kLine.match(lines[0]);
  ASSERT_TRUE(m.hasMatch()) << lines[0].toStdString();
  EXPECT_TRUE(lines[1].endsWith("(DBfile)  3 readings")) << lines[1].toStdString();
  ASSERT_EQ(Cli({"records", "list", "--bench", "nobody"}, env, &out, &err), 0);
  EXPECT_EQ(out, "");

  const QString id = m.captured(1);
  EXPECT_EQ(Cli({"records", "pull", "--bench", "bench-cli", "--record-id", id, "2"}, env, &out, &err), 1);
  EXPECT_EQ(err.trimmed(), "The record already has readings. Please select a different record.");
  ASSERT_EQ(Cli({"records", "pull", "--bench", "bench-cli", "--record-id", id, "4"}, env, &out, &err), 0)
      << err.toStdString();
  EXPECT_EQ(out, "Record 4: 12 readings of record " + id + " of bench bench-cli\n");
  EXPECT_TRUE(SameRows(LocalRows(Path(4)), LocalRows(Path(1))));
  ASSERT_EQ(Cli({"records", "viewer"}, env, &out, &err), 0);
  EXPECT_TRUE(out.contains("Record 4            ( 24 / 03 / 05 -- 14 : 03 : 27 )  - DCV NONE")) << out.toStdString();

  // --server "" means no server, whatever the language file says.
  EXPECT_EQ(Cli({"--server", "", "sync"}, env, &out, &err), 2);
  EXPECT_TRUE(err.contains("no lab server is set")) << err.toStdString();
  EXPECT_EQ(Cli({"records", "pull", "--bench", "b", "--record-id", "not-an-id", "5"}, env, &out, &err), 2);
}

TEST_F(LabServerCli, ARunOnTheSimulatedBenchLandsEveryReadingOnTheServer) {
  const QProcessEnvironment env = Environment("host=/nonexistent dbname=nothing");
  QString out, err;
  // --server overrides the language file's server.
  ASSERT_EQ(
      Cli({"--simulate", "--server", cluster->ConnInfo(), "log", "--record", "6", "--count", "30", "--interval", "25"},
          env, &out, &err),
      0)
      << err.toStdString();
  EXPECT_EQ(out.trimmed().split('\n').size(), 30);
  EXPECT_TRUE(err.contains("lab server: every reading forwarded")) << err.toStdString();
  const LabRecordState s = SurveyRecord(folder, Path(6), "bench-cli");
  EXPECT_EQ(s.identity.bench, "bench-cli");
  EXPECT_TRUE(SameRows(ServerRows(s.identity.recordId, "bench-cli"), LocalRows(Path(6))));
  EXPECT_EQ(LocalRows(Path(6)).size(), 30u);

  // The language file's server, away: the run is as good, and says what waits.
  ASSERT_EQ(Cli({"--simulate", "log", "--record", "7", "--count", "5", "--interval", "25"}, env, &out, &err), 0)
      << err.toStdString();
  EXPECT_TRUE(err.contains("lab server: 5 readings wait")) << err.toStdString();
  EXPECT_EQ(LocalRows(Path(7)).size(), 5u);
}

}  // namespace
}  // namespace merilog::test
