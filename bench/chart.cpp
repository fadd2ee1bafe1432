// Live chart figures: one full redraw of eight traces of 2000 readings into the
// off-screen snapshot, the geometry alone, and a window repaint from the
// snapshot. Prints "name: value unit" lines; --save FILE writes the snapshot as PNG.
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "core/measure/ChartModel.h"
#include "ui/widgets/ChartWidget.h"

using namespace merilog;

namespace {

// Eight noisy, drifting signals, each about a division from its neighbour.
void FillBuffer(ChartModel& chart) {
  std::mt19937_64 rng(7);
  std::normal_distribution<double> noise(0.0, 0.05);
  const std::array<int, 4> traces{0, 1, 2, 3};
  for (int i = 0; i < ChartBuffer::kCapacity; ++i) {
    chart.Buffer().AdvanceWindow(traces);
    for (int t = 0; t < ChartBuffer::kTraceCount; ++t)
      chart.Buffer().Store(t, (t - 3.5) + 0.6 * std::sin(i / 150.0 + t) + noise(rng));
  }
}

template <typename F>
double MedianMs(int runs, F&& work) {
  std::vector<double> ms;
  QElapsedTimer timer;
  for (int i = 0; i < runs; ++i) {
    timer.start();
    work();
    ms.push_back(timer.nsecsElapsed() / 1e6);
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);

  ChartModel chart;
  ui::ChartWidget widget(chart);
  chart.SetXMax("2000 readings");
  FillBuffer(chart);
  ChartDrawInputs inputs;
  inputs.multiDeviceMode = true;
  inputs.meterCount = 4;
  inputs.secondActive = true;
  inputs.hasSecond = {true, true, true, true};

  constexpr int kRuns = 200;
  chart.RedrawChart(inputs);  // first redraw creates the snapshot surface
  const double redraw = MedianMs(kRuns, [&] { chart.RedrawChart(inputs); });
  chart.onRedrawn = nullptr;  // geometry only
  const double geometry = MedianMs(kRuns, [&] { chart.RedrawChart(inputs); });
  chart.onRedrawn = [&widget] { widget.RenderSnapshot(); };
  QImage target(ChartMapping::kWidth, ChartMapping::kHeight, QImage::Format_ARGB32_Premultiplied);
  const double restore = MedianMs(kRuns, [&] { widget.render(&target); });

  std::printf("redraw_8x2000_ms: %.3f ms\n", redraw);
  std::printf("redraw_geometry_8x2000_ms: %.3f ms\n", geometry);
  std::printf("restore_chart_ms: %.3f ms\n", restore);
  std::printf("segments_per_redraw: %d segments\n", 8 * (ChartBuffer::kCapacity - 1));

  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--save") == 0) widget.Snapshot().save(QString::fromLocal8Bit(argv[i + 1]));
  return 0;
}
