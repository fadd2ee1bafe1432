#include "core/measure/PlotColours.h"

namespace merilog {

PlotColours DefaultPlotColours() {
  PlotColours c{};  // black unless named below
  c[0] = {0, 0, 255};
  c[1] = {0, 255, 0};
  c[2] = {255, 0, 0};
  c[4] = {0, 0, 255};
  return c;
}

}  // namespace merilog
