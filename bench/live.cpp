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
  auto bench = std::make_shared<sim::SimBench>();
  for (int i = 1; i <= 4; ++i) {
    sim::SimMeterDescription s;
    s.resource = "USB0::0x3A7D::0x6082::SN0" + std::to_string(i) + "::INSTR";
    s.model = "6082";
    s.setup = {"CONF:VOLT:DC", "FUNC2 \"VOLT:AC\""};
    bench->Add(s);
  }
  ResourceManager rm;
  rm.AddBackend(std::make_unique<sim::SimBackend>(bench));
  bench::BenchPrompter prompter;
  SystemClock clock;
  QTimer timer;
  bench::TimerView view;
  view.timer = &timer;
  MainWindowModel model(rm, prompter, clock);
  model.SetObserver(&view);
  model.Initialise();
  ReadingSettings s;
  s.mode = kMultiDeviceMode;
  for (int k = 0; k < 4; ++k) {
    s.chosenDevice.push_back({k, model.Devices().Devices()[k].displayName});
    s.saveEnabled[k] = 1;
    s.recordNumber[k] = k + 1;
  }
  s.chosenCount = 4;
  model.ApplyReadingSettings(s);
  model.StartReading();
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
  int n = 0;
  const int want = 400;
  QElapsedTimer period;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (n == 0) period.start();
    model.OnReadingTimer();
    if (++n > want) {
      timer.stop();
      app.quit();
    }
  });
  timer.setTimerType(Qt::PreciseTimer);
  timer.start(25);
  app.exec();
  std::printf("tick_period_25ms_mean_ms: %.3f ms\n", period.nsecsElapsed() / 1e6 / want);
  model.StopReading();
  return 0;
}
