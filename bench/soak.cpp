// Soak of an unattended run: merilog-cli log --keep-going --for M minutes at 25 ms
// over four merilog-simmeter processes, three of which vanish and come back
// every few minutes. Prints the rows each record got against the ticks of the
// run less its gaps, the client's peak memory and open descriptors early in the
// run and at its end, and exits 1 when a figure shows a fault (a row written
// twice, a descriptor or memory kept, readings missing outside the gaps).
//
//   merilog-bench-soak [--minutes M]     (default 30; CI runs 2)
#include <SQLiteCpp/SQLiteCpp.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <set>
#include <vector>

namespace {

constexpr int kMeters = 4;
constexpr int kIntervalMs = 25;
constexpr int kCommandsPerSecond = 1000 / kIntervalMs;  // one "read?" per tick and meter

struct ProcSample {
  long peakKb = -1, rssKb = -1;
  int fds = -1;
};

ProcSample Sample(qint64 pid) {
  ProcSample s;
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (status.open(QIODevice::ReadOnly)) {
    for (const QByteArray& line : status.readAll().split('\n')) {
      if (line.startsWith("VmHWM:")) s.peakKb = line.mid(6).trimmed().split(' ').front().toLong();
      if (line.startsWith("VmRSS:")) s.rssKb = line.mid(6).trimmed().split(' ').front().toLong();
    }
  }
  const QDir fd(QStringLiteral("/proc/%1/fd").arg(pid));
  if (fd.exists()) s.fds = static_cast<int>(fd.entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System).size());
  return s;
}

struct Simmeter {
  std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
  int port = 0;
};

void Print(const char* name, double value, const char* unit) {
  std::printf("%s: %.6g %s\n", name, value, unit);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  double minutes = 30;
  const QStringList args = app.arguments();
  for (int i = 1; i < args.size(); ++i) {
    if (args[i] == "--minutes" && i + 1 < args.size()) {
      minutes = args[++i].toDouble();
    } else {
      std::fprintf(stderr, "usage: merilog-bench-soak [--minutes M]\n");
      return 2;
    }
  }
  if (!(minutes > 0 && minutes <= 24 * 60)) {
    std::fprintf(stderr, "merilog-bench-soak: --minutes takes 0 to 1440\n");
    return 2;
  }
  const qint64 runMs = static_cast<qint64>(minutes * 60000);

  QTemporaryDir folder;
  QDir(folder.path()).mkpath("DB");
  QFile::copy(QStringLiteral(MERILOG_SOURCE_DATA_DIR "/MERILOG.ini"), folder.filePath("MERILOG.ini"));
  QFile(folder.filePath("MERILOG.ini")).setPermissions(QFile::ReadOwner | QFile::WriteOwner);

  // Meter 1 stays; meters 2 to 4 vanish 7, 5 and 3 times in the run, the last
  // for longer than the longest wait between tries.
  const std::array<int, kMeters> faults{0, 7, 5, 3};
  const std::array<int, kMeters> backMs =
      minutes >= 10 ? std::array<int, kMeters>{0, 3000, 10000, 45000} : std::array<int, kMeters>{0, 2000, 4000, 9000};
  std::vector<Simmeter> meters(kMeters);
  QStringList cliArgs;
  for (int k = 0; k < kMeters; ++k) {
    QStringList a{"--port", "0", "--model", k == 1 ? "6082" : "6081", "--serial", QStringLiteral("SOAK%1").arg(k + 1),
                  "--seed", QString::number(k + 1)};
    if (faults[k] > 0) {
      const qint64 every = static_cast<qint64>(minutes * 60 / faults[k] * kCommandsPerSecond);
      a << "--fault" << QStringLiteral("vanish-after=%1").arg(every) << "--fault"
        << QStringLiteral("back-after-ms=%1").arg(backMs[k]);
    }
    QProcess& p = *meters[k].process;
    p.setProgram(MERILOG_SIMMETER_PATH);
    p.setArguments(a);
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start();
    if (!p.waitForStarted(10000) || !p.waitForReadyRead(10000)) {
      std::fprintf(stderr, "merilog-bench-soak: merilog-simmeter did not start\n");
      return 1;
    }
    meters[k].port = p.readLine().trimmed().mid(6).toInt();
    cliArgs << "--resource" << QStringLiteral("TCPIP0::127.0.0.1::%1::SOCKET").arg(meters[k].port);
  }
  cliArgs << "log" << "--record" << "1" << "--devices" << "1,2,3,4" << "--keep-going" << "--for"
          << QStringLiteral("%1s").arg(runMs / 1000) << "--interval" << QString::number(kIntervalMs);

  QProcess cli;
  cli.setProgram(MERILOG_CLI_PATH);
  cli.setArguments(cliArgs);
  cli.setWorkingDirectory(folder.path());
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("MERILOG_CONFIG_DIR", folder.path());
  cli.setProcessEnvironment(env);

  long long ticks = 0;
  std::set<int> lost;
  QByteArray out, err;
  ProcSample first, last;
  int losses = 0;
  QElapsedTimer clock;
  const auto readOut = [&] {
    out += cli.readAllStandardOutput();
    const int end = out.lastIndexOf('\n');
    if (end < 0) return;
    ticks += out.left(end + 1).count('\n');
    out.remove(0, end + 1);
  };
  const auto readErr = [&] {
    err += cli.readAllStandardError();
    for (int end; (end = err.indexOf('\n')) >= 0; err.remove(0, end + 1)) {
      const QByteArray line = err.left(end);
      std::fprintf(stderr, "%s\n", line.constData());
      for (int k = 0; k < kMeters; ++k) {
        if (!line.contains(QStringLiteral("-%1: ").arg(meters[k].port).toUtf8())) continue;
        if (line.contains(": lost (")) lost.insert(k), ++losses;
        if (line.contains(": back after ")) lost.erase(k);
      }
    }
  };
  QObject::connect(&cli, &QProcess::readyReadStandardOutput, readOut);
  QObject::connect(&cli, &QProcess::readyReadStandardError, readErr);
  // Samples while every meter is present: the first after the run has settled,
  // the last as near its end as the meters allow.
  QTimer sampler;
  QObject::connect(&sampler, &QTimer::timeout, [&] {
    // The first once the records' page caches have filled (a third of the run, at least 10 s): what grows
    // after it is kept for good.
    if (cli.state() != QProcess::Running || !lost.empty() || clock.elapsed() < std::max<qint64>(10000, runMs / 3))
      return;
    const ProcSample s = Sample(cli.processId());
    if (s.peakKb < 0 || s.fds < 0) return;
    if (first.peakKb < 0) first = s;
    if (clock.elapsed() < runMs - 1000) last = s;
  });
  QObject::connect(&cli, &QProcess::finished, &app, [&] { app.quit(); });
  clock.start();
  cli.start();
  sampler.start(500);
  app.exec();
  readOut();
  readErr();

  Print("soak_minutes", minutes, "min");
  Print("ticks_expected", static_cast<double>(runMs / kIntervalMs), "ticks");
  Print("ticks_run", static_cast<double>(ticks), "ticks");
  Print("meter_losses", losses, "losses");
  bool ok = cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == 0;
  if (!ok) std::fprintf(stderr, "merilog-bench-soak: merilog-cli ended with %d\n", cli.exitCode());
  for (int k = 0; k < kMeters; ++k) {
    const QString path = folder.filePath(QStringLiteral("DB/Record %1.mdb").arg(k + 1));
    long long rows = 0, distinct = 0, gaps = 0;
    double gapMs = 0;
    try {
      SQLite::Database db(path.toStdString());
      rows = db.execAndGet("SELECT count(*) FROM read").getInt64();
      // Two timer ticks may fall in one millisecond after a stall; a row written
      // twice repeats its value as well.
      distinct = db.execAndGet("SELECT count(*) FROM (SELECT DISTINCT read_time, read_value, read_value_2ND FROM read)")
                     .getInt64();
      if (db.tableExists("read_gap")) {
        gaps = db.execAndGet("SELECT count(*) FROM read_gap").getInt64();
        gapMs = db.execAndGet("SELECT coalesce(sum((julianday(gap_end) - julianday(gap_start)) * 86400000.0), 0) "
                              "FROM read_gap")
                    .getDouble();
      }
    } catch (const std::exception& e) {
      std::fprintf(stderr, "merilog-bench-soak: %s: %s\n", qPrintable(path), e.what());
      ok = false;
    }
    const double expected = static_cast<double>(runMs - gapMs) / kIntervalMs;
    // Against the ticks the client really ran (a loaded machine runs fewer than planned).
    const double covered = ticks > 0 ? 100.0 * (rows + gapMs / kIntervalMs) / static_cast<double>(ticks) : 0;
    const std::string m = "meter" + std::to_string(k + 1);
    Print((m + "_rows").c_str(), static_cast<double>(rows), "rows");
    Print((m + "_rows_expected").c_str(), expected, "rows");
    Print((m + "_gaps").c_str(), static_cast<double>(gaps), "gaps");
    Print((m + "_gap_time").c_str(), gapMs / 1000.0, "s");
    Print((m + "_rows_and_gaps_of_ticks_run").c_str(), covered, "%");
    Print((m + "_rows_written_twice").c_str(), static_cast<double>(rows - distinct), "rows");
    if (rows != distinct || covered < 95.0 || covered > 101.0) ok = false;
    if (faults[k] > 0 && gaps == 0) ok = false;  // the fault never came, or was not noticed
  }
  Print("peak_memory_start", static_cast<double>(first.peakKb), "kB");
  Print("peak_memory_end", static_cast<double>(last.peakKb), "kB");
  const double growth = first.peakKb > 0 ? 100.0 * (last.peakKb - first.peakKb) / first.peakKb : 0;
  Print("peak_memory_growth", growth, "%");
  Print("rss_start", static_cast<double>(first.rssKb), "kB");
  Print("rss_end", static_cast<double>(last.rssKb), "kB");
  Print("open_fds_start", first.fds, "fds");
  Print("open_fds_end", last.fds, "fds");
  if (first.peakKb < 0 || last.peakKb < 0 || growth > 5.0 || first.fds != last.fds) ok = false;
  for (Simmeter& s : meters) {
    s.process->terminate();
    s.process->waitForFinished(5000);
  }
  Print("soak_passed", ok ? 1 : 0, "");
  return ok ? 0 : 1;
}
