#include "ui/recordview/RecordChartPainter.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <cmath>
#include <random>

#include "../widgets/WidgetTestApp.h"
#include "core/records/RecordDatabase.h"
#include "core/recordview/RecordChartTrace.h"
#include "support/RecordFiles.h"
#include "support/TestSupport.h"

namespace merilog::ui {
namespace {

// The walk the decimation stands for: one line per pair of neighbouring
// readings, none to or from a missing one.
QImage FullWalk(const std::vector<double>& values, const std::vector<bool>& missing, RecordChartMapping mapping,
                Rgb colour) {
  QImage image = RenderRecordChart({}, false);
  QPainter painter(&image);
  painter.setClipRect(0, 0, RecordChartPicture::kWidth, RecordChartPicture::kHeight);
  painter.setPen(QPen(QColor(colour.r, colour.g, colour.b), 0, Qt::SolidLine, Qt::SquareCap));
  for (size_t i = 1; i < values.size(); ++i) {
    if (missing[i - 1] || missing[i]) continue;
    painter.drawLine(
        mapping.PixelX(static_cast<long long>(i) - 1), RecordChartMapping::PixelY(mapping.LogicalY(values[i - 1])),
        mapping.PixelX(static_cast<long long>(i)), RecordChartMapping::PixelY(mapping.LogicalY(values[i])));
  }
  return image;
}

int DifferentPixels(const QImage& a, const QImage& b) {
  int n = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (a.pixel(x, y) != b.pixel(x, y)) ++n;
  return n;
}

// 10^5 readings: a slow wave with noise that crosses the chart's edges at the
// finer scales, bursts of overloads, and second values missing in runs and
// one by one.
TEST(RecordChartPainter, DecimatedDrawMatchesTheFullWalkPixelForPixel) {
  test::App();
  merilog::test::TempFolder dir;
  const QString path = dir.File("Record 1.mdb");
  std::mt19937_64 rng(7);
  std::normal_distribution<double> noise(0.0, 0.4);
  std::vector<merilog::test::Reading> readings;
  for (int i = 0; i < 100000; ++i) {
    double v = 2.5 * std::sin(i / 3000.0) + noise(rng);
    if (i % 17000 < 40) v = kOverloadValue;
    double v2 = 0.3 * std::cos(i / 500.0) + noise(rng) / 10;
    if ((i / 700) % 9 == 0 || rng() % 13 == 0) v2 = kNoSecondValue;
    readings.push_back({v, v2});
  }
  merilog::test::WriteRecord(path, readings, "DCV", "ACV");
  auto db = RecordDatabase::Open(path, RecordDatabase::Access::Read);
  ASSERT_TRUE(db.ok());
  auto index = RecordIndex::Open(*db.value());
  ASSERT_TRUE(index.ok());

  struct Case {
    RecordColumn column;
    long long first, points;
    double factor;
  };
  const Case cases[] = {
      {RecordColumn::Value, 0, 100000, 1.0},      // all readings, about 170 per pixel column
      {RecordColumn::Value2nd, 0, 100000, 10.0},  // with gaps, lines leaving the chart
      {RecordColumn::Value, 16500, 1200, 2.0},    // a run across an overload burst, 2 per column
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "first " << c.first << " points " << c.points << " factor " << c.factor);
    const RecordChartMapping mapping{c.points - 1, c.factor};
    const TracedGraph traced = TraceRecordGraph(*db.value(), index.value(), c.column, c.first, c.points, mapping);
    ASSERT_TRUE(traced.status.ok());
    std::vector<double> values;
    std::vector<bool> missing;
    for (long long i = c.first; i < c.first + c.points; ++i) {
      const auto& r = readings[static_cast<size_t>(i)];
      const double v = c.column == RecordColumn::Value ? r.value : r.value2nd;
      values.push_back(v);
      missing.push_back(c.column == RecordColumn::Value2nd && v == kNoSecondValue);
    }
    const Rgb colour{0, 255, 255};
    RecordChartPicture picture;
    picture.graphs.push_back({colour, traced.lines});
    const QImage decimated = RenderRecordChart(picture, false);
    const QImage walked = FullWalk(values, missing, mapping, colour);
    EXPECT_EQ(DifferentPixels(decimated, walked), 0);
    EXPECT_NE(decimated, RenderRecordChart({}, false));  // something was drawn
    EXPECT_LE(traced.lines.size(), static_cast<size_t>(std::min<long long>(c.points, 4 * RecordChartPicture::kWidth)));
  }
}

}  // namespace
}  // namespace merilog::ui
