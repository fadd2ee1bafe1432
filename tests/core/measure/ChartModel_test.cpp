#include "core/measure/ChartModel.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/measure/ChartNumberText.h"

namespace merilog {
namespace {

constexpr double kDivision = ChartMapping::kHeight / 10.0;  // pixels per grid division
constexpr double kMiddle = ChartMapping::kHeight / 2.0;

// One tick per value (oldest first): the window advances for the meters owning `traces`, each trace gets the value.
void Fill(ChartModel& chart, std::vector<int> traces, std::initializer_list<double> values) {
  std::vector<int> meters;
  for (int t : traces)
    if (std::find(meters.begin(), meters.end(), t % 4) == meters.end()) meters.push_back(t % 4);
  for (double v : values) {
    chart.Buffer().AdvanceWindow(meters);
    for (int t : traces) chart.Buffer().Store(t, v);
  }
}

ChartDrawInputs Single(bool second = false) {
  ChartDrawInputs in;
  in.secondActive = second;
  in.hasSecond[0] = second;
  return in;
}

ChartDrawInputs Multi(int meters) {
  ChartDrawInputs in;
  in.multiDeviceMode = true;
  in.meterCount = meters;
  return in;
}

const ChartTracePath* PathOf(const ChartModel& chart, int trace) {
  for (const auto& path : chart.Paths())
    if (path.trace == trace) return &path;
  return nullptr;
}

TEST(ChartMapping, CornersCentreAndDivisions) {
  ChartMapping m;  // XMax 100
  EXPECT_EQ(m.Map(0, 500), QPointF(0, 0));
  EXPECT_EQ(m.Map(100, -500), QPointF(584, 338));
  EXPECT_EQ(m.Map(50, 0), QPointF(292, 169));

  const ChartGrid grid = MakeChartGrid();
  ASSERT_EQ(grid.columnsX.size(), 11u);
  EXPECT_DOUBLE_EQ(grid.columnsX[1], 58.4);
}

TEST(ChartNumberText, TrimmedNumbersAndLeadingNumbers) {
  for (auto [value, text] : {std::pair{12.5, "12.5"}, {100.0, "100"}, {-0.25, "-0.25"}})
    EXPECT_EQ(TrimmedNumberText(value), text);
  EXPECT_DOUBLE_EQ(LeadingNumber("1.5.2"), 1.5);
  EXPECT_DOUBLE_EQ(LeadingNumber("  -2e3xyz"), -2000.0);
  EXPECT_DOUBLE_EQ(LeadingNumber("abc"), 0.0);
}

TEST(ChartRedraw, PointsStartAtTheRightEdgeAndAFullWindowSpansTheChart) {
  ChartBuffer buffer;
  ChartModel chart(buffer);
  chart.StartReset();
  Fill(chart, {0}, {0.5});
  chart.RedrawChart(Single());
  EXPECT_TRUE(chart.Paths().empty());  // one point: no segment yet
  EXPECT_TRUE(chart.HasSnapshot());
  Fill(chart, {0}, {1.0});
  chart.RedrawChart(Single());
  ASSERT_EQ(chart.Paths().size(), 1u);
  EXPECT_EQ(chart.Paths()[0].points,  // newest first, one division up
            (std::vector<QPointF>{chart.Mapping().Map(100, 100), chart.Mapping().Map(99, 50)}));
  for (int i = 3; i <= 30; ++i) Fill(chart, {0}, {double(i)});
  chart.RedrawChart(Single());
  EXPECT_DOUBLE_EQ(chart.Paths()[0].points.back().x(), chart.Mapping().Map(71, 0).x());

  // Only the selector's items are accepted as XMax.
  EXPECT_FALSE(chart.SetXMax("abc") || chart.SetXMax("300 readings"));
  EXPECT_EQ(chart.Buffer().XMax(), 100);
  ASSERT_TRUE(chart.SetXMax("200 readings"));
  for (int i = 31; i <= 250; ++i) Fill(chart, {0}, {double(i)});
  chart.RedrawChart(Single());
  const auto& pts = chart.Paths()[0].points;
  ASSERT_EQ(pts.size(), 200u);
  EXPECT_DOUBLE_EQ(pts.front().x(), 584.0);
  EXPECT_DOUBLE_EQ(pts.back().x(), 584.0 / 200);
}

TEST(ChartRedraw, ValueOnTheOffsetIsOnTheMiddleLineAndTruncatesTowardZero) {
  ChartBuffer buffer;
  ChartModel chart(buffer);
  chart.ApplyDataOffset("2");
  Fill(chart, {0}, {2.0, 3.0, 2.0123, 1.9877});
  chart.RedrawChart(Single());
  const auto& pts = chart.Paths()[0].points;  // newest first
  EXPECT_DOUBLE_EQ(pts[3].y(), kMiddle);
  EXPECT_DOUBLE_EQ(pts[2].y(), kMiddle - kDivision);
  EXPECT_DOUBLE_EQ(pts[1].y(), kMiddle - 1 * ChartMapping::kHeight / 1000.0);  // 1.23 units -> 1
  EXPECT_DOUBLE_EQ(pts[0].y(), kMiddle + 1 * ChartMapping::kHeight / 1000.0);  // -1.23 units -> -1
}

TEST(ChartRedraw, NewestExactZeroLeavesTheWholeTraceOut) {
  ChartBuffer buffer;
  ChartModel chart(buffer);
  Fill(chart, {0, 1}, {1.0, 2.0, 3.0});
  chart.Buffer().Store(1, 0.0);  // newest of meter 2 not written
  chart.RedrawChart(Multi(2));
  ASSERT_EQ(chart.Paths().size(), 1u);
  EXPECT_EQ(chart.Paths()[0].trace, 0);
}

TEST(ChartRedraw, MultiDeviceUsesEachTracesOwnPenAndScale) {
  ChartBuffer buffer;
  ChartModel chart(buffer);
  PlotColours colours = chart.Colours();
  colours[5] = {10, 20, 30};
  chart.SetPlotColours(colours);
  chart.SelectTrace(1);
  chart.ScaleDown();  // trace 1: "500m", two divisions per unit
  ChartDrawInputs in = Multi(3);
  in.secondActive = true;
  in.hasSecond = {false, true, false, false};
  Fill(chart, {0, 1, 2, 4, 5, 6}, {1.0, 1.0});
  chart.RedrawChart(in);
  std::vector<int> drawn;
  for (const auto& p : chart.Paths()) drawn.push_back(p.trace);
  EXPECT_EQ(drawn, (std::vector<int>{0, 1, 5, 2}));
  EXPECT_EQ(PathOf(chart, 5)->colour, (Rgb{10, 20, 30}));
  EXPECT_DOUBLE_EQ(PathOf(chart, 0)->points[0].y(), kMiddle - kDivision);
  EXPECT_DOUBLE_EQ(PathOf(chart, 1)->points[0].y(), kMiddle - 2 * kDivision);
  EXPECT_DOUBLE_EQ(PathOf(chart, 5)->points[0].y(), kMiddle - kDivision);

  in.secondActive = false;  // no 2ND function read at all: its traces are left out
  chart.RedrawChart(in);
  EXPECT_EQ(PathOf(chart, 5), nullptr);
}

TEST(ChartRedraw, SingleDeviceDrawsTheCurrentMeterOnTracesZeroAndFour) {
  // Whatever the current meter's slot, its readings go to traces 0 and 4.
  EXPECT_EQ(ChartModel::SecondTraceFor(true, 3), 7);
  ChartBuffer buffer;
  ChartModel chart(buffer);
  Fill(chart, {ChartModel::MainTraceFor(false, 3), ChartModel::SecondTraceFor(false, 3)}, {4.0, 4.0});
  chart.RedrawChart(Single(true));
  ASSERT_EQ(chart.Paths().size(), 2u);
  EXPECT_EQ(chart.Paths()[1].colourSlot, 4);
  chart.RedrawChart(Single(false));  // the meter has no 2ND reading
  EXPECT_EQ(chart.Paths().size(), 1u);
}

TEST(ChartControls, ScaleStopsAtBothEndsAndStillRewritesTheOffset) {
  ChartBuffer buffer;
  ChartModel chart(buffer);
  for (int i = 0; i < 50; ++i) chart.ScaleDown();
  EXPECT_EQ(chart.CurrentScaleIndex(), 40);
  EXPECT_DOUBLE_EQ(chart.Trace(0).scaleValue, 200e-9);
  chart.SetDataOffsetText("3");  // typed, not yet SET
  chart.ScaleDown();
  EXPECT_DOUBLE_EQ(chart.Trace(0).traceOffset, 3.0);

  for (int i = 0; i < 50; ++i) chart.ScaleUp();
  EXPECT_EQ(chart.CurrentScaleIndex(), 0);
}

TEST(ChartControls, ShiftMovesMarkerAndOffsetWithinFourDivisions) {
  ChartBuffer buffer;
  ChartModel chart(buffer);
  chart.SelectTrace(2);
  chart.ApplyDataOffset("0.5");
  int invalidated = 0;
  chart.onInvalidate = [&] { ++invalidated; };
  const int home = chart.MarkerTop(2);
  for (int i = 0; i < 10; ++i) chart.ShiftUp();
  EXPECT_EQ(invalidated, 10);  // also at the limit
  EXPECT_EQ(chart.Trace(2).shiftSteps, -4);
  EXPECT_EQ(chart.MarkerTop(2), home - 4 * 33);
  EXPECT_DOUBLE_EQ(chart.Trace(2).traceOffset, -4 * 1.0 + 0.5);
  EXPECT_EQ(chart.MarkerTop(0), home);  // other markers stay

  for (int i = 0; i < 20; ++i) chart.ShiftDown();
  EXPECT_EQ(chart.Trace(2).shiftSteps, 4);
  EXPECT_EQ(chart.MarkerTop(2), home + 4 * 33);
  EXPECT_LE(chart.MarkerTop(2) + ChartModel::kMarkerHeight, ChartMapping::kHeight);

  // Selecting the trace again loads its own boxes: the entered offset, not the shifted one.
  chart.ScaleDown();
  chart.SelectTrace(0);
  EXPECT_EQ(chart.DataOffsetText(), "0");
  EXPECT_EQ(chart.CurrentScaleIndex(), 20);
  chart.SelectTrace(2);
  EXPECT_EQ(chart.DataOffsetText(), "0.5");
  EXPECT_EQ(chart.CurrentScaleIndex(), 21);
  chart.SelectTrace(8);  // no such trace
  EXPECT_EQ(chart.SelectedTrace(), 2);
}

TEST(ChartControls, SettingsSurviveStartReset) {
  ChartBuffer buffer;
  ChartModel chart(buffer);
  chart.SelectTrace(3);
  chart.ScaleDown();
  chart.ShiftUp();
  chart.ApplyDataOffset("7");
  ASSERT_TRUE(chart.SetXMax("500 readings"));
  Fill(chart, {3}, {1.0, 2.0, 3.0});
  const ChartTraceState before = chart.Trace(3);

  chart.StartReset();
  EXPECT_EQ(chart.Buffer().PointCount(), 0);
  EXPECT_EQ(chart.Mapping().xMax, 500);
  EXPECT_EQ(chart.SelectedTrace(), 3);
  EXPECT_EQ(chart.Trace(3).scaleIndex, before.scaleIndex);
  EXPECT_DOUBLE_EQ(chart.Trace(3).traceOffset, -0.5 + 7.0);
}

TEST(ChartControls, OffScaleReadingsStayFiniteAndColoursReachTheLamps) {
  ChartBuffer buffer;
  ChartModel chart(buffer);
  Fill(chart, {0}, {1e300, -1e300});
  chart.RedrawChart(Single());
  for (const QPointF& p : chart.Paths()[0].points) EXPECT_TRUE(std::isfinite(p.y()));

  int changed = 0;
  chart.onColoursChanged = [&] { ++changed; };
  PlotColours colours = chart.Colours();
  colours[6] = {1, 2, 3};
  chart.SetPlotColours(colours);
  EXPECT_EQ(changed, 1);
  EXPECT_EQ(chart.LampColour(2, true), (Rgb{1, 2, 3}));
}

}  // namespace
}  // namespace merilog
