// Live reading figures: one acquisition tick over four simulated dual meters,
// all saving, from the timer's call until every answer is applied; one full
// chart redraw into its snapshot; the period a real 25 ms timer achieves; and
// `merilog-cli log --interval 1` with one meter over TCP (merilog-simmeter):
// context switches per reading and readings per second, against a bare loop
// that asks the same server and sleeps a millisecond, as a PyVISA script
// does, in the same run. --quick runs every step briefly (for the tests).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/ChartFigures.h"
#include "core/app/MainWindowModel.h"
#include "ui/widgets/ChartWidget.h"

using namespace merilog;

namespace {

using bench::ChildUsage;

// merilog-cli log into record 1 of `dir`, its output into a file.
ChildUsage Log(const QString& dir, int port, int readings) {
  return bench::RunProgram({MERILOG_CLI_PATH, "--resource", "TCPIP0::127.0.0.1::" + std::to_string(port) + "::SOCKET",
                            "log", "--record", "1", "--count", std::to_string(readings), "--interval", "1", "--yes"},
                           dir.toStdString(), (dir + "/log.txt").toStdString());
}

// Asks the server "read?" and sleeps a millisecond, reading by reading.
ChildUsage BareLoop(int port, int readings) {
  return bench::InChild([&] {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (s < 0 || connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return 1;
    const int one = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    char buf[1024];
    for (int i = 0; i < readings; ++i) {
      if (send(s, "read?\n", 6, 0) != 6) return 2;
      for (;;) {
        const ssize_t n = recv(s, buf, sizeof buf, 0);
        if (n <= 0) return 3;
        if (buf[n - 1] == '\n') break;
      }
      usleep(1000);
    }
    close(s);
    return 0;
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  const bool quick = bench::QuickRun(argc, argv);
  bench::FourMeterRun run;
  if (!run.Start()) return 1;
  MainWindowModel& model = *run.model;
  const bench::FourMeterRun::View& view = run.view;
  QTimer& timer = run.timer;

  const int ticks = quick ? 50 : 5000;
  QElapsedTimer t;
  t.start();
  for (int i = 0; i < ticks; ++i) {
    const int before = view.changes;
    model.OnReadingTimer();
    while (view.changes == before) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  std::printf("tick_4_meters_us: %.1f us\n", t.nsecsElapsed() / 1000.0 / ticks);

  {
    ChartBuffer buffer;
    ChartModel chart(buffer);
    ui::ChartWidget widget(chart);
    chart.SetXMax("2000 readings");
    bench::FillBuffer(chart);
    const ChartDrawInputs inputs = bench::AllTraces();
    chart.RedrawChart(inputs);  // the first redraw creates the snapshot surface
    std::printf("redraw_8x2000_ms: %.3f ms\n", bench::MedianMs(quick ? 5 : 200, [&] { chart.RedrawChart(inputs); }));
  }

  // The achieved period of the real timer at 25 ms.
  const int want = quick ? 10 : 400;
  QElapsedTimer period;
  if (!bench::RunRealTicks(timer, model, want, [&](int n) {
        if (n == 0) period.start();
      }))
    return 1;
  std::printf("tick_period_25ms_mean_ms: %.3f ms\n", period.nsecsElapsed() / 1e6 / want);
  model.StopReading();
  bench::Settle(model);
  std::fflush(stdout);

  // One meter over TCP at --interval 1, against the bare loop, in turns.
  bench::SimmeterProcess server;
  if (!server.Port()) return 1;
  const int readings = quick ? 100 : 3000;
  double logSwitches = 1e9, bareSwitches = 1e9, logRate = 0, bareRate = 0;
  for (int round = 0; round < (quick ? 1 : 3); ++round) {
    QTemporaryDir logDir;
    QDir(logDir.path()).mkdir("DB");
    const ChildUsage log = Log(logDir.path(), server.Port(), readings);
    const ChildUsage bare = BareLoop(server.Port(), readings);
    if (!log.ok || !bare.ok) {
      std::fprintf(stderr, "log %s, bare loop %s\n", log.ok ? "ran" : "failed", bare.ok ? "ran" : "failed");
      return 1;
    }
    logSwitches = std::min(logSwitches, static_cast<double>(log.switches) / readings);
    bareSwitches = std::min(bareSwitches, static_cast<double>(bare.switches) / readings);
    logRate = std::max(logRate, readings / log.wallMs * 1e3);
    bareRate = std::max(bareRate, readings / bare.wallMs * 1e3);
  }
  std::printf("log_context_switches_per_reading: %.2f switches\n", logSwitches);
  std::printf("bare_loop_context_switches_per_reading: %.2f switches\n", bareSwitches);
  std::printf("log_interval_1_readings_per_s: %.0f readings/s\n", logRate);
  std::printf("bare_loop_readings_per_s: %.0f readings/s\n", bareRate);
  return 0;
}
