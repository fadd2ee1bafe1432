#include "core/measure/ChartMapping.h"

namespace merilog {

QPointF ChartMapping::Map(double logicalX, double logicalY) const {
  const double unitsPerHeight = 10.0 * kUnitsPerDivision;
  return {logicalX * width / xMax, height / 2.0 - logicalY * height / unitsPerHeight};
}

ChartGrid MakeChartGrid(int width, int height) {
  ChartGrid grid;
  for (int i = 0; i <= ChartMapping::kDivisions; ++i) {
    grid.columnsX.push_back(static_cast<double>(width) * i / ChartMapping::kDivisions);
    grid.rowsY.push_back(static_cast<double>(height) * i / ChartMapping::kDivisions);
  }
  return grid;
}

}  // namespace merilog
