// Live chart figures: one full redraw of eight traces of 2000 readings into the
// off-screen snapshot, the geometry alone, and a window repaint from the
// snapshot. Prints "name: value unit" lines; --save FILE writes the snapshot as PNG.
#include <QApplication>
#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/ChartFigures.h"
#include "core/measure/ChartModel.h"
#include "ui/widgets/ChartWidget.h"

using namespace merilog;
using namespace merilog::bench;

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);

  ChartBuffer buffer;
  ChartModel chart(buffer);
  ui::ChartWidget widget(chart);
  chart.SetXMax("2000 readings");
  FillBuffer(chart);
  const ChartDrawInputs inputs = AllTraces();

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
