#pragma once
#include <QPointF>
#include <vector>

namespace merilog {

// The live chart's drawing surface and its coordinate mapping. Logical x runs
// from 0 at the left edge to XMax at the right (one unit per reading); logical
// y = 0 is the middle line, y grows upwards and 1000 logical units span the
// chart height, so one grid division (of ten) is 100 units.
struct ChartMapping {
  static constexpr int kWidth = 584;
  static constexpr int kHeight = 338;
  static constexpr int kDivisions = 10;
  static constexpr int kUnitsPerDivision = 100;

  int xMax = 100;
  int width = kWidth;
  int height = kHeight;

  // Logical coordinates to device pixels (0,0 top left).
  QPointF Map(double logicalX, double logicalY) const;
};

// The grid bitmap: positions of the inner and outer grid lines in device pixels
// (vertical lines at x, horizontal lines at y), kDivisions + 1 each.
struct ChartGrid {
  static constexpr int kLineWidth = 2;
  std::vector<double> columnsX;
  std::vector<double> rowsY;
};
ChartGrid MakeChartGrid(int width = ChartMapping::kWidth, int height = ChartMapping::kHeight);

}  // namespace merilog
