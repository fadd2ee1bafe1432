// Live reading figures: one acquisition tick over four simulated dual meters,
// all saving, one full chart redraw into its snapshot, and the period a real
// 25 ms timer achieves.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "bench/BenchSupport.h"
#include "bench/ChartFigures.h"
#include "core/app/MainWindowModel.h"
#include "core/base/Clock.h"
#include "core/base/Prompter.h"
#include "core/instrument/ResourceManager.h"
#include "core/readingconfig/ReadingSettings.h"
#include "sim/SimBackend.h"
#include "sim/SimBench.h"
#include "ui/widgets/ChartWidget.h"

using namespace merilog;

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  QTemporaryDir dir;
  QDir(dir.path()).mkdir("DB");
  QDir::setCurrent(dir.path());
  ResourceManager rm;
  rm.AddBackend(std::make_unique<sim::SimBackend>(bench::FourDualMeters()));
  bench::BenchPrompter prompter;
  SystemClock clock;
  QTimer timer;
  bench::TimerView view;
  view.timer = &timer;
  MainWindowModel model(rm, prompter, clock);
  model.SetObserver(&view);
  model.Initialise();
  // Discovery asks the meters on their own threads.
  while (!model.Idle()) app.processEvents(QEventLoop::WaitForMoreEvents);
  if (model.Devices().Devices().size() < 4) return 1;
  model.ApplyReadingSettings(bench::FourMetersSaving(model));
  model.StartReading();
  while (!model.Idle()) app.processEvents(QEventLoop::WaitForMoreEvents);
  if (!model.ReadingActive()) return 1;
  timer.stop();

  const int ticks = 5000;
  QElapsedTimer t;
  t.start();
  for (int i = 0; i < ticks; ++i) model.OnReadingTimer();
  std::printf("tick_4_meters_us: %.1f us\n", t.nsecsElapsed() / 1000.0 / ticks);

  {
    ChartBuffer buffer;
    ChartModel chart(buffer);
    ui::ChartWidget widget(chart);
    chart.SetXMax("2000 readings");
    bench::FillBuffer(chart);
    const ChartDrawInputs inputs = bench::AllTraces();
    chart.RedrawChart(inputs);  // the first redraw creates the snapshot surface
    std::printf("redraw_8x2000_ms: %.3f ms\n", bench::MedianMs(200, [&] { chart.RedrawChart(inputs); }));
  }

  // The achieved period of the real timer at 25 ms.
  const int want = 400;
  QElapsedTimer period;
  bench::RunRealTicks(timer, model, want, [&](int n) {
    if (n == 0) period.start();
  });
  std::printf("tick_period_25ms_mean_ms: %.3f ms\n", period.nsecsElapsed() / 1e6 / want);
  model.StopReading();
  return 0;
}
