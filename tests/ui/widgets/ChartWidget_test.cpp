#include "ui/widgets/ChartWidget.h"

#include <gtest/gtest.h>

#include <QImage>
#include <array>

#include "WidgetTestApp.h"

namespace merilog::ui {
namespace {

// A full window of readings 1.0 on trace 0: a horizontal line one division above the middle.
void FillFlat(ChartModel& chart, double newest = 1.0) {
  const std::array<int, 1> traces{0};
  for (int i = 0; i < chart.Buffer().XMax(); ++i) {
    chart.Buffer().AdvanceWindow(traces);
    chart.Buffer().Store(0, i + 1 == chart.Buffer().XMax() ? newest : 1.0);
  }
}

// Rows of column x (around the line's row) that have the colour.
int RowsWithColour(const QImage& image, int x, QColor colour) {
  int found = 0;
  for (int y = 125; y <= 145; ++y)
    if (image.pixelColor(x, y) == colour) ++found;
  return found;
}

TEST(ChartWidget, RedrawPaintsTracesInTheirColourOverTheGrid) {
  test::App();
  ChartModel chart;
  ChartWidget widget(chart);
  FillFlat(chart);
  chart.RedrawChart({});
  ASSERT_FALSE(widget.Snapshot().isNull());

  const QImage image = widget.Snapshot().toImage();
  EXPECT_GE(RowsWithColour(image, 300, QColor(0, 0, 255)), 1);
  EXPECT_EQ(image.pixelColor(30, 20), QColor(Qt::white));
  EXPECT_EQ(image.pixelColor(58, 20), QColor(192, 192, 192));  // a vertical grid line
  EXPECT_EQ(RowsWithColour(image, 300, QColor(255, 0, 0)), 0);

  // A repaint restores exactly the snapshot.
  const QImage shown = widget.grab().toImage();
  EXPECT_GE(RowsWithColour(shown, 300, QColor(0, 0, 255)), 1);
}

TEST(ChartWidget, NewColoursReachThePensAndZeroNewestLeavesTheChartBare) {
  test::App();
  ChartModel chart;
  ChartWidget widget(chart);
  const QImage bare = widget.grab().toImage();  // before any redraw: the grid alone
  EXPECT_EQ(RowsWithColour(bare, 300, QColor(0, 0, 255)), 0);

  PlotColours colours = chart.Colours();
  colours[0] = {255, 0, 0};
  chart.SetPlotColours(colours);
  FillFlat(chart);
  chart.RedrawChart({});
  EXPECT_GE(RowsWithColour(widget.Snapshot().toImage(), 300, QColor(255, 0, 0)), 1);

  chart.StartReset();
  FillFlat(chart, 0.0);
  chart.RedrawChart({});
  const QImage image = widget.Snapshot().toImage();
  EXPECT_EQ(RowsWithColour(image, 300, QColor(255, 0, 0)), 0);  // previous traces erased
}

TEST(ChartWidget, ScaleChangesShowAtTheNextRedrawNotAtARepaint) {
  test::App();
  ChartModel chart;
  ChartWidget widget(chart);
  FillFlat(chart);
  chart.RedrawChart({});
  chart.ScaleDown();  // "500m": the line would move up to two divisions above the middle
  EXPECT_GE(RowsWithColour(widget.grab().toImage(), 300, QColor(0, 0, 255)), 1);
  chart.RedrawChart({});
  const QImage moved = widget.grab().toImage();
  EXPECT_EQ(RowsWithColour(moved, 300, QColor(0, 0, 255)), 0);
  EXPECT_EQ(moved.pixelColor(300, 101), QColor(0, 0, 255));  // 169 - 2 * 33.8 = 101.4
}

TEST(ChartWidget, ModelKeepsWorkingAfterTheWidgetIsGone) {
  test::App();
  ChartModel chart;
  { ChartWidget widget(chart); }
  FillFlat(chart);
  chart.RedrawChart({});  // the widget's hooks must not reach a destroyed widget
  chart.SetPlotColours(chart.Colours());
  EXPECT_EQ(chart.Paths().size(), 1u);
}

}  // namespace
}  // namespace merilog::ui
