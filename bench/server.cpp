// Lab server figures, against a private PostgreSQL cluster started here (as
// the tests start theirs, with the server's usual durability):
//   forward_rows_per_s          a record of 10^6 readings forwarded by the
//                               forwarder's own code (read from the record file,
//                               binary COPY batches, one transaction each)
//   psql_copy_rows_per_s        the same rows loaded by "psql \copy" from a text
//                               file, into the same table, in the same run
//   forward_vs_psql_copy        their ratio (wanted: 0.8 or more)
//   server_bytes_per_reading    the table and its index on the server
//   tick_late_without_server    late ticks of a 25 ms run of four meters, each
//   tick_late_with_server_down  saving, without a server and with a server that
//                               accepts connections and never answers
// Prints "name: value unit" lines.
#include <SQLiteCpp/SQLiteCpp.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "bench/BenchSupport.h"
#include "core/app/MainWindowModel.h"
#include "core/labserver/LabLink.h"
#include "core/labserver/LabRecordState.h"
#include "core/records/RecordAppender.h"
#include "core/records/RecordDatabase.h"
#include "core/records/RecordFolder.h"
#include "tests/support/PostgresCluster.h"

using namespace merilog;

namespace {

// Readings forwarded and copied: a million, or a few thousand with --quick (the tests' run).
long long kRows = 1000000;

bool MakeRecord(const QString& path) {
  if (!CreateRecordFile(path, true)) return false;
  AppendPolicy policy;
  policy.batchRows = 100000;
  policy.batchMs = 1000000;
  auto a = RecordAppender::Open(path, policy);
  if (!a) return false;
  std::mt19937_64 rng(42);
  std::normal_distribution<double> noise(0.0, 0.002);
  for (long long i = 0; i < kRows; ++i) {
    const double v2 = i % 2 ? kNoSecondValue : 0.0051 + noise(rng);
    if (!a.value()->Append(1.234567 + noise(rng), v2,
                           QTime::fromMSecsSinceStartOfDay(static_cast<int>((i * 25) % 86400000))))
      return false;
  }
  return a.value()->Close().ok();
}

// The record's rows as COPY text, keyed as the forwarder keys them.
bool WriteCopyText(const QString& record, const QString& bench, const QString& id, const QString& out) {
  QFile f(out);
  if (!f.open(QIODevice::WriteOnly)) return false;
  SQLite::Database db(record.toStdString());
  SQLite::Statement q(db, "SELECT rowid, read_value, read_value_2ND, read_time FROM read ORDER BY rowid");
  const QByteArray prefix = bench.toUtf8() + '\t' + id.toUtf8() + '\t';
  QByteArray line;
  char number[40];
  while (q.executeStep()) {
    line = prefix + QByteArray::number(static_cast<qlonglong>(q.getColumn(0).getInt64())) + '\t';
    std::snprintf(number, sizeof number, "%.17g", q.getColumn(1).getDouble());
    line += number;
    line += '\t';
    std::snprintf(number, sizeof number, "%.17g", q.getColumn(2).getDouble());
    line += number;
    line += '\t';
    line += q.getColumn(3).getText();
    line += '\n';
    f.write(line);
  }
  return f.flush();
}

double PsqlCopy(const test::PostgresCluster& cluster, const QString& file) {
  QProcess p;
  QElapsedTimer t;
  t.start();
  p.start(
      test::PostgresCluster::BinDir() + "/psql",
      {"-X", "-q", "-w", "-v", "ON_ERROR_STOP=1", "-h", cluster.SocketDir(), "-U", "merilog", "-d", "lab", "-c",
       "\\copy merilog.reading (bench, record_id, row_id, read_value, read_value_2nd, read_time) FROM '" + file + "'"});
  if (!p.waitForFinished(300000) || p.exitCode() != 0) {
    std::fprintf(stderr, "psql: %s\n", p.readAllStandardError().constData());
    return 0;
  }
  return kRows / (t.nsecsElapsed() / 1e9);
}

double Forward(const LabServerSettings& settings, const QString& folder, const QString& record) {
  SQLite::Database(record.toStdString(), SQLite::OPEN_READWRITE).exec("UPDATE lab_forward SET sent_rowid = 0");
  QElapsedTimer t;
  t.start();
  LabLink link(settings, std::make_shared<PgInterrupt>());
  if (!link.Open()) return 0;
  LabRecordState s = SurveyRecord(folder, record, settings.bench);
  if (!link.Forward(s) || !s.problem.isEmpty() || s.serverRows != kRows) {
    std::fprintf(stderr, "forward: %s%s\n", qPrintable(link.Problem()), qPrintable(s.problem));
    return 0;
  }
  return kRows / (t.nsecsElapsed() / 1e9);
}

// A "server" that takes connections into its backlog and never answers.
int SilentServer(const QString& dir) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const QByteArray path = QFile::encodeName(dir + "/.s.PGSQL.5432");
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.constData());
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 64) != 0) return -1;
  return fd;
}

// Late ticks of a 25 ms run of four saving meters, `seconds` long.
struct TickFigures {
  long long late = 0;  // intervals longer than 1.5 periods
  double worstMs = 0;
  bool completed = false;
};
TickFigures RunTicks(QApplication& app, const std::optional<LabServerSettings>& server, int seconds) {
  TickFigures f;
  bench::FourMeterRun run;
  if (!run.Start([&](MainWindowModel& model) {
        if (server) model.UseLabServer(*server);
      }))
    return f;
  MainWindowModel& model = *run.model;
  QElapsedTimer since;
  f.completed = bench::RunRealTicks(run.timer, model, seconds * 40, [&](int n) {
    if (n > 0) {
      const double ms = since.nsecsElapsed() / 1e6;
      if (ms > 37.5) ++f.late;
      f.worstMs = std::max(f.worstMs, ms);
    }
    since.start();
  });
  model.StopReading();
  f.late += model.Run().LateTicks();
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  const bool quick = bench::QuickRun(argc, argv);
  if (quick) kRows = 20000;
  if (const QString why = test::PostgresCluster::Unavailable(); !why.isEmpty()) {
    std::fprintf(stderr, "merilog-bench-server: %s\n", qPrintable(why));
    return 1;
  }
  test::PostgresCluster cluster(true, false);
  if (!cluster.Ready()) {
    std::fprintf(stderr, "merilog-bench-server: %s\n", qPrintable(cluster.Error()));
    return 1;
  }
  QTemporaryDir work;
  QDir(work.path()).mkdir("DB");
  const QString folder = work.path() + "/DB";
  const QString record = RecordFilePath(RecordFileKind::Record, folder, 1);
  if (!MakeRecord(record)) return 1;
  const LabServerSettings settings{cluster.ConnInfo(), "bench-01"};
  {
    LabLink link(settings, std::make_shared<PgInterrupt>());
    if (!link.Open()) {
      std::fprintf(stderr, "merilog-bench-server: %s\n", qPrintable(link.Problem()));
      return 1;
    }
  }
  const LabRecordState state = SurveyRecord(folder, record, settings.bench);
  // psql reads the rows from a file written beforehand, as someone loading a dump would.
  const QString text = work.path() + "/rows.txt";
  if (!WriteCopyText(record, settings.bench, state.identity.recordId, text)) return 1;
  const QString empty = "TRUNCATE merilog.reading, merilog.record";

  // Alternating, best of two each, so that neither gains from the other's warm caches alone.
  double psql = 0, forward = 0;
  for (int round = 0; round < (quick ? 1 : 2); ++round) {
    cluster.Sql(empty);
    psql = std::max(psql, PsqlCopy(cluster, text));
    cluster.Sql(empty);
    forward = std::max(forward, Forward(settings, folder, record));
  }
  std::printf("psql_copy_rows_per_s: %.0f rows/s\n", psql);
  std::printf("forward_rows_per_s: %.0f rows/s\n", forward);
  std::printf("forward_vs_psql_copy: %.2f\n", psql > 0 ? forward / psql : 0.0);
  std::printf(
      "server_bytes_per_reading: %s bytes\n",
      qPrintable(cluster.Sql("SELECT pg_total_relation_size('merilog.reading') / count(*) FROM merilog.reading")));

  const int seconds = quick ? 2 : 8;
  const TickFigures without = RunTicks(app, std::nullopt, seconds);
  QTemporaryDir silentDir;
  const int silent = SilentServer(silentDir.path());
  if (silent < 0) return 1;
  const TickFigures down =
      RunTicks(app, LabServerSettings{"host=" + silentDir.path() + " dbname=lab", "bench-01"}, seconds);
  ::close(silent);
  std::printf("tick_late_without_server: %lld ticks of %d\n", without.late, seconds * 40);
  std::printf("tick_late_with_server_down: %lld ticks of %d\n", down.late, seconds * 40);
  std::printf("tick_worst_without_server_ms: %.1f ms\n", without.worstMs);
  std::printf("tick_worst_with_server_down_ms: %.1f ms\n", down.worstMs);
  return without.completed && down.completed ? 0 : 1;
}
