#pragma once
#include <optional>
#include <vector>

#include "core/base/Prompter.h"

namespace merilog {

// A line between two pixel centres of the chart, both ends drawn.
struct ChartLine {
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  bool operator==(const ChartLine&) const = default;
};

// One Draw or 2ND Draw: its lines in the colour it was drawn with.
struct ChartGraph {
  Rgb colour;
  std::vector<ChartLine> lines;
};

// The cursor marker: a black rectangle with a white outline, its edges in
// pixels (right and bottom excluded).
struct ChartMarker {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const ChartMarker&) const = default;
};

// What the record chart shows: the black chart with its dark cyan grid, the
// graphs drawn since the last Clear (oldest first, each in its own colour) and
// the cursor marker.
struct RecordChartPicture {
  static constexpr int kWidth = 584;
  static constexpr int kHeight = 337;
  static constexpr Rgb kBackground{0, 0, 0};
  static constexpr Rgb kGridColour{0, 96, 96};

  std::vector<ChartGraph> graphs;
  std::optional<ChartMarker> marker;
};

}  // namespace merilog
