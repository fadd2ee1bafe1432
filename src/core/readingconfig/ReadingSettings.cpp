#include "core/readingconfig/ReadingSettings.h"

namespace merilog {

std::array<Rgb, kPlotColourCount> DefaultPlotColours() {
  std::array<Rgb, kPlotColourCount> c{};  // black unless named below
  c[0] = {0, 0, 255};
  c[1] = {0, 255, 0};
  c[2] = {255, 0, 0};
  c[4] = {0, 0, 255};
  return c;
}

}  // namespace merilog
