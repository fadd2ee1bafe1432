#include "ui/recordview/RecordChartPainter.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <cmath>
#include <limits>
#include <random>
#include <set>

#include "../widgets/WidgetTestApp.h"
#include "core/records/RecordDatabase.h"
#include "core/records/RecordFileClaim.h"
#include "core/records/RecordGaps.h"
#include "core/records/RecordIndex.h"
#include "core/recordview/RecordChartTrace.h"
#include "support/RecordFiles.h"
#include "support/TestSupport.h"

namespace merilog::ui {
namespace {

// The walk the decimation stands for: one line per pair of neighbouring
// readings, none to or from a missing one.
// `breaks`: positions after which the line does not go on (the last reading before a gap).
QImage FullWalk(const std::vector<double>& values, const std::vector<bool>& missing, RecordChartMapping mapping,
                Rgb colour, const std::set<long long>& breaks = {}) {
  QImage image = RenderRecordChart({}, false);
  QPainter painter(&image);
  painter.setClipRect(0, 0, RecordChartPicture::kWidth, RecordChartPicture::kHeight);
  painter.setPen(QPen(QColor(colour.r, colour.g, colour.b), 0, Qt::SolidLine, Qt::SquareCap));
  for (size_t i = 1; i < values.size(); ++i) {
    if (missing[i - 1] || missing[i] || breaks.count(static_cast<long long>(i) - 1)) continue;
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

// Random records: a wandering signal with jumps far off the chart, bursts of
// overloads, readings without a value or a second value alone and in runs,
// and rows another program removed (gaps in the row ids). Drawn from the
// pyramid the file keeps, and from one held in memory (the record could not
// keep it: a writer held it), the picture is the full walk's, while a few
// thousand values are read instead of every reading; the line breaks over
// the record's gaps as the full walk's does.
TEST(RecordChartPainter, PyramidDrawMatchesTheFullWalkOnRandomRecords) {
  test::App();
  merilog::test::TempFolder dir;
  std::mt19937_64 rng(2024);
  auto chance = [&rng](double p) { return std::uniform_real_distribution<double>(0, 1)(rng) < p; };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (int record = 0; record < 2; ++record) {
    SCOPED_TRACE(record);
    const QString path = dir.File(QStringLiteral("Record %1.mdb").arg(record + 1));
    const int n = 180000 + static_cast<int>(rng() % 100000);
    std::vector<merilog::test::Reading> readings;
    double v = 0;
    int missingRun = 0, secondRun = 0, overloadRun = 0;
    for (int i = 0; i < n; ++i) {
      v += std::normal_distribution<double>(0, 0.05)(rng);
      if (chance(0.0005)) v = std::uniform_real_distribution<double>(-50, 50)(rng);
      if (chance(0.0002)) missingRun = static_cast<int>(rng() % 3000);
      if (chance(0.0002)) secondRun = static_cast<int>(rng() % 5000);
      if (chance(0.0001)) overloadRun = static_cast<int>(rng() % 200);
      double main = overloadRun-- > 0 ? kOverloadValue : v;
      if (missingRun-- > 0 || chance(0.0003)) main = nan;
      double second = secondRun-- > 0 || chance(0.001) ? kNoSecondValue : v / 3 + (chance(0.01) ? 1e30 : 0);
      if (chance(0.0003)) second = nan;
      readings.push_back({main, second});
    }
    merilog::test::WriteRecord(path, readings, "DCV", "ACV");
    {
      SQLite::Database raw(path.toStdString(), SQLite::OPEN_READWRITE);
      for (int cut = 0; cut < 5; ++cut) {
        const long long from = 1 + static_cast<long long>(rng() % static_cast<unsigned>(n));
        raw.exec(QStringLiteral("DELETE FROM read WHERE rowid BETWEEN %1 AND %2")
                     .arg(from)
                     .arg(from + rng() % 5000)
                     .toStdString());
      }
    }
    std::vector<double> values[2];
    std::vector<bool> missing[2];
    std::vector<long long> rowids;
    {
      SQLite::Database raw(path.toStdString(), SQLite::OPEN_READONLY);
      SQLite::Statement q(raw, "SELECT read_value, read_value_2ND, rowid FROM read");
      while (q.executeStep()) {
        rowids.push_back(q.getColumn(2).getInt64());
        for (int c = 0; c < 2; ++c) {
          const SQLite::Column col = q.getColumn(c);
          values[c].push_back(col.isNull() ? 0.0 : col.getDouble());
          missing[c].push_back(col.isNull() || (c == 1 && col.getDouble() == kNoSecondValue));
        }
      }
    }
    const long long rows = static_cast<long long>(values[0].size());
    // Gaps of a run that kept reading through a dropped meter: the line breaks after their last readings,
    // inside pixel columns and at their edges alike.
    std::set<long long> breaks;
    {
      SQLite::Database raw(path.toStdString(), SQLite::OPEN_READWRITE);
      SQLite::Transaction t(raw);
      // Half of them where the signal jumps, so that the segment they take away is seen.
      // (The signal's own jumps: it stays where it jumped to, unlike an overload or a value far off.)
      std::vector<long long> jumps;
      for (size_t i = 0; i + 1 < size_t(rows); ++i) {
        const double a = values[0][i], b = values[0][i + 1];
        if (!missing[0][i] && !missing[0][i + 1] && std::abs(a) < 100 && std::abs(b) < 100 && std::abs(b - a) > 5)
          jumps.push_back(static_cast<long long>(i));
      }
      ASSERT_GE(jumps.size(), 6u);
      for (int gap = 0; gap < 12; ++gap) {
        const long long at = gap % 2 ? jumps[rng() % jumps.size()]
                                     : static_cast<long long>(rng() % static_cast<unsigned>(rows - 1));
        breaks.insert(at);
        RecordGaps::Add(raw, {QDateTime::currentDateTime(), QDateTime::currentDateTime(), rowids[size_t(at)], "test"});
      }
      t.commit();
    }
    for (const bool held : {true, false}) {
      SCOPED_TRACE(held ? "held in memory" : "kept in the file");
      std::unique_ptr<RecordFileClaim> writer;
      if (held) writer = std::move(RecordFileClaim::Take(path, RecordFileClaim::Use::Write).value());
      auto db = RecordDatabase::Open(path, RecordDatabase::Access::Read);
      ASSERT_TRUE(db.ok());
      auto index = RecordIndex::Open(*db.value());
      ASSERT_TRUE(index.ok());
      ASSERT_EQ(index->KeptInFile(), !held);
      ASSERT_EQ(index->RowCount(), rows);
      ASSERT_EQ(GapBreaks(*db.value(), index.value()), std::vector<long long>(breaks.begin(), breaks.end()));
      for (int draw = 0; draw < 3; ++draw) {
        const int c = (draw + record) % 2;
        // All readings, or a run long enough for the pyramid.
        constexpr long long kRun = 150000;
        const long long first = draw < 1 ? 0 : static_cast<long long>(rng() % static_cast<unsigned>(rows - kRun));
        const long long points = draw < 1 ? rows : kRun + static_cast<long long>(rng() % (rows - first - kRun + 1));
        const double factor = std::pow(10.0, static_cast<int>(rng() % 5) - 2);
        SCOPED_TRACE(testing::Message() << "column " << c << " first " << first << " points " << points << " factor "
                                        << factor);
        const RecordChartMapping mapping{points - 1, factor};
        const TracedGraph traced = TraceRecordGraph(
            *db.value(), index.value(), c ? RecordColumn::Value2nd : RecordColumn::Value, first, points, mapping);
        ASSERT_TRUE(traced.status.ok()) << traced.status.error.toStdString();
        EXPECT_LT(traced.valuesRead, points / 2);
        const Rgb colour{255, 255, 0};
        RecordChartPicture picture;
        picture.graphs.push_back({colour, traced.lines});
        const auto begin = static_cast<size_t>(first), end = static_cast<size_t>(first + points);
        std::set<long long> drawBreaks;
        for (const long long b : breaks)
          if (b >= first && b < first + points) drawBreaks.insert(b - first);
        const QImage walked =
            FullWalk(std::vector<double>(values[c].begin() + begin, values[c].begin() + end),
                     std::vector<bool>(missing[c].begin() + begin, missing[c].begin() + end), mapping, colour,
                     drawBreaks);
        EXPECT_EQ(DifferentPixels(RenderRecordChart(picture, false), walked), 0);
      }
    }
  }
}

}  // namespace
}  // namespace merilog::ui
