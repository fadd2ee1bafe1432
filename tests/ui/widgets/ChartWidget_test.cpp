#include "ui/widgets/ChartWidget.h"

#include <gtest/gtest.h>

#include <QImage>
#include <array>

#include "WidgetTestApp.h"

namespace merilog::ui {
namespace {

const QColor kBlue(0, 0, 255), kRed(255, 0, 0);

// A full window of readings 1.0 on trace 0: a horizontal line one division above the middle.
void FillFlat(ChartModel& chart, double newest = 1.0) {
  const std::array<int, 1> traces{0};
  for (int i = 0; i < chart.Buffer().XMax(); ++i) {
    chart.Buffer().AdvanceWindow(traces);
    chart.Buffer().Store(0, i + 1 == chart.Buffer().XMax() ? newest : 1.0);
  }
}

// Rows of column 300 around the flat line's row that have the colour.
int LineRows(const QImage& image, QColor colour) {
  int found = 0;
  for (int y = 125; y <= 145; ++y)
    if (image.pixelColor(300, y) == colour) ++found;
  return found;
}

TEST(ChartWidget, PaintsTracesOverTheGridOnlyAtARedraw) {
  test::App();
  ChartBuffer buffer;
  ChartModel chart(buffer);
  ChartWidget widget(chart);
  EXPECT_EQ(LineRows(widget.grab().toImage(), kBlue), 0);  // before any redraw: the grid alone

  FillFlat(chart);
  chart.RedrawChart({});
  ASSERT_FALSE(widget.Snapshot().isNull());
  const QImage image = widget.Snapshot().toImage();
  EXPECT_GE(LineRows(image, kBlue), 1);
  EXPECT_EQ(LineRows(image, kRed), 0);
  EXPECT_EQ(image.pixelColor(30, 20), QColor(Qt::white));
  EXPECT_EQ(image.pixelColor(58, 20), QColor(192, 192, 192));  // a vertical grid line

  // A scale change shows at the next redraw; a repaint restores exactly the snapshot.
  chart.ScaleDown();  // "500m": the line moves up to two divisions above the middle
  EXPECT_GE(LineRows(widget.grab().toImage(), kBlue), 1);
  chart.RedrawChart({});
  const QImage moved = widget.grab().toImage();
  EXPECT_EQ(LineRows(moved, kBlue), 0);
  EXPECT_EQ(moved.pixelColor(300, 101), kBlue);  // 169 - 2 * 33.8 = 101.4
  chart.ScaleUp();

  // New colours reach the pens; a zero newest reading leaves the chart bare.
  PlotColours colours = chart.Colours();
  colours[0] = {255, 0, 0};
  chart.SetPlotColours(colours);
  chart.RedrawChart({});
  EXPECT_GE(LineRows(widget.Snapshot().toImage(), kRed), 1);
  chart.StartReset();
  FillFlat(chart, 0.0);
  chart.RedrawChart({});
  EXPECT_EQ(LineRows(widget.Snapshot().toImage(), kRed), 0);  // previous traces erased
}

TEST(ChartWidget, ModelKeepsWorkingAfterTheWidgetIsGone) {
  test::App();
  ChartBuffer buffer;
  ChartModel chart(buffer);
  { ChartWidget widget(chart); }
  FillFlat(chart);
  chart.RedrawChart({});  // the widget's hooks must not reach a destroyed widget
  chart.SetPlotColours(chart.Colours());
  EXPECT_EQ(chart.Paths().size(), 1u);
}

}  // namespace
}  // namespace merilog::ui
