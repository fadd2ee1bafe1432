// Figures of a window that never waits for a meter, on meters served by
// merilog-simmeter children over loopback sockets:
//   ui_max_stall_ms_silent_meter  the longest the user-interface event loop is blocked while
//                                 one of two meters stops answering mid-run, over the whole
//                                 time-out (a 1 ms timer measures the gaps)
//   discovery_ms_4_meters_500ms   discovery of four meters that each answer "*IDN?" after 500 ms
//   tick_ms_4_meters_50ms         one tick over four meters that each answer "read?" after 50 ms
//                                 (median of 20 ticks)
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench/BenchSupport.h"
#include "core/app/MainWindowModel.h"
#include "core/base/Clock.h"
#include "core/base/Prompter.h"
#include "core/instrument/DeviceListModel.h"
#include "core/instrument/ExchangeSequence.h"
#include "core/instrument/ResourceManager.h"
#include "core/instrument/TcpSocketBackend.h"
#include "core/measure/ReadingRun.h"
#include "core/readingconfig/ReadingSettings.h"
#include "tests/support/SimmeterProcess.h"

using namespace merilog;

namespace {

// Meters served over loopback, each with the given fault.
struct Servers {
  std::vector<std::unique_ptr<test::SimmeterProcess>> processes;
  std::vector<std::string> resources;
  explicit Servers(const std::vector<QStringList>& faults) {
    for (const auto& f : faults) {
      processes.push_back(std::make_unique<test::SimmeterProcess>(QStringList{"--model", "6081"} + f));
      resources.push_back(processes.back()->Resource());
    }
  }
  std::unique_ptr<ResourceManager> Manager() const {
    auto rm = std::make_unique<ResourceManager>();
    rm->AddBackend(std::make_shared<TcpSocketBackend>(resources));
    return rm;
  }
};

// Runs the event loop until `done` holds.
void RunUntil(const std::function<bool()>& done) {
  while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
}

double MaxStallMsWithASilentMeter() {
  // The second meter stops answering a few ticks into the run.
  Servers servers({{}, {"--fault", "silent-after=40"}});
  auto rm = servers.Manager();
  bench::BenchPrompter prompter;
  SystemClock clock;
  MainWindowModel model(*rm, prompter, clock, servers.resources);
  QTimer reading;
  reading.setTimerType(Qt::PreciseTimer);
  bench::TimerView view;
  view.timer = &reading;
  model.SetObserver(&view);
  QObject::connect(&reading, &QTimer::timeout, [&] { model.OnReadingTimer(); });
  model.Initialise();
  RunUntil([&] { return model.Idle(); });
  ReadingSettings s;
  s.mode = kMultiDeviceMode;
  s.chosenDevice = {{0, model.Devices().Lines()[0]}, {1, model.Devices().Lines()[1]}};
  s.chosenCount = 2;
  model.ApplyReadingSettings(s);
  RunUntil([&] { return model.Idle(); });

  QElapsedTimer gap;
  qint64 worst = 0;
  QTimer probe;
  probe.setTimerType(Qt::PreciseTimer);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    worst = std::max(worst, gap.nsecsElapsed());
    gap.restart();
  });
  model.StartReading();
  gap.start();
  probe.start(1);
  // Until the silent meter's read has timed out and the run has stopped.
  RunUntil([&] { return prompter.messages > 0 && !model.ReadingActive(); });
  probe.stop();
  return worst / 1e6;
}

double DiscoveryMs() {
  Servers servers({{"--fault", "delay-ms=500"},
                   {"--fault", "delay-ms=500"},
                   {"--fault", "delay-ms=500"},
                   {"--fault", "delay-ms=500"}});
  auto rm = servers.Manager();
  DeviceListModel devices(*rm, servers.resources);
  bool done = false;
  QElapsedTimer t;
  t.start();
  devices.Discover([&] { done = true; });
  RunUntil([&] { return done; });
  const double ms = t.nsecsElapsed() / 1e6;
  if (devices.DeviceCount() != 4) std::fprintf(stderr, "found %d meters, not 4\n", devices.DeviceCount());
  return ms;
}

double TickMs() {
  Servers servers(
      {{"--fault", "delay-ms=50"}, {"--fault", "delay-ms=50"}, {"--fault", "delay-ms=50"}, {"--fault", "delay-ms=50"}});
  auto rm = servers.Manager();
  bench::BenchPrompter prompter;
  SystemClock clock;
  DeviceListModel devices(*rm, servers.resources);
  bool found = false;
  devices.Discover([&] { found = true; });
  RunUntil([&] { return found; });
  ExchangeSequence sequence;
  ReadingRun run(devices, prompter, clock, sequence);
  ReadingPlan plan;
  plan.multiDeviceMode = true;
  plan.positionSlots = {0, 1, 2, 3};
  plan.currentSlot = 0;
  bool started = false;
  run.Start(plan, [&](ReadingRun::StartOutcome) { started = true; });
  RunUntil([&] { return started; });
  std::vector<double> ms;
  for (int i = 0; i < 20 && run.Active(); ++i) {
    bool ticked = false;
    QElapsedTimer t;
    t.start();
    run.Tick([&](ReadingRun::TickOutcome) { ticked = true; });
    RunUntil([&] { return ticked; });
    ms.push_back(t.nsecsElapsed() / 1e6);
  }
  run.Stop();
  std::sort(ms.begin(), ms.end());
  return ms.empty() ? 0 : ms[ms.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QTemporaryDir dir;
  QDir(dir.path()).mkdir("DB");
  QDir::setCurrent(dir.path());
  std::printf("discovery_ms_4_meters_500ms: %.1f ms\n", DiscoveryMs());
  std::printf("tick_ms_4_meters_50ms: %.1f ms\n", TickMs());
  std::fflush(stdout);
  std::printf("ui_max_stall_ms_silent_meter: %.1f ms\n", MaxStallMsWithASilentMeter());
  return 0;
}
