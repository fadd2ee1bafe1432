#pragma once
#include <QPointF>
#include <array>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/Prompter.h"
#include "core/measure/ChartBuffer.h"
#include "core/measure/ChartMapping.h"
#include "core/measure/PlotColours.h"

namespace merilog {

// Per-trace vertical state. traceOffset is the value drawn on the middle line
// and always equals shiftSteps * scaleValue + the data offset last entered.
struct ChartTraceState {
  int scaleIndex = 20;
  std::string scaleText = "1";
  double scaleValue = 1.0;
  int shiftSteps = 0;
  double traceOffset = 0.0;
};

// What the reading session tells the chart at each redraw.
struct ChartDrawInputs {
  bool multiDeviceMode = false;
  int meterCount = 1;               // meters of the reading set (1 in single-device mode)
  bool secondActive = false;        // any 2ND function is being read
  std::array<bool, 4> hasSecond{};  // per position (position 0 = the current meter in single-device mode)
};

// One drawn trace: polylines in device pixels, newest point first. The line
// breaks before each index in `breaks` (a gap where a lost meter gave no
// reading); positions without a reading have no point.
struct ChartTracePath {
  int trace = 0;
  int colourSlot = 0;
  Rgb colour;
  std::vector<QPointF> points;
  std::vector<int> breaks;  // ascending indices into points, each > 0
  // The pieces to draw as polylines: [first, end) index ranges of points.
  template <class F>
  void ForEachPiece(F&& draw) const {
    int first = 0;
    for (int b : breaks) {
      draw(first, b);
      first = b;
    }
    draw(first, static_cast<int>(points.size()));
  }
};

// The X-Max selector's items; XMax is an item's leading integer.
std::span<const char* const> XMaxItems();
constexpr int kDefaultXMaxItem = 1;  // "100 readings"

// Presentation model of the live strip chart: buffer, mapping, per-trace scale,
// offset and shift, trace selection, the Y-scale and data offset boxes, the
// X-Max caption, markers, lamps and colours, and the geometry of the last redraw.
//
// Trace numbers: in multi-device mode a meter at position d (0..3) draws trace d
// and its 2ND reading trace d + 4. In single-device mode the current meter always
// uses traces 0 and 4, whatever its device slot, so a meter in slot 5 or later
// still lands inside the eight traces and is governed by buttons "1" and "1_2".
// The acquisition cycle stores readings with MainTraceFor, which draws the same.
class ChartModel {
 public:
  static constexpr int kTraceCount = ChartBuffer::kTraceCount;
  static constexpr int kMaxScaleIndex = 40;  // "200 n": the finest step the live chart offers
  // Trace markers: 25 x 14 pixels at the left edge of the chart, their top edge in
  // chart pixels. They start level with the middle line and move one division
  // (33 pixels) per shift; four steps either way keep them beside the grid.
  static constexpr int kMarkerWidth = 25;
  static constexpr int kMarkerHeight = 14;
  static constexpr int kMarkerHomeTop = ChartMapping::kHeight / 2 - kMarkerHeight / 2;
  static constexpr int kMarkerStep = 33;
  static constexpr int kMarkerUpLimit = 47;     // Up moves while the top edge is below this
  static constexpr int kMarkerDownLimit = 277;  // Dn moves while the top edge is above this

  // The buffer belongs to the reading run that fills it; the chart draws it and
  // sets its XMax.
  explicit ChartModel(ChartBuffer& buffer);

  static int MainTraceFor(bool multiDeviceMode, int position);
  static int SecondTraceFor(bool multiDeviceMode, int position) { return MainTraceFor(multiDeviceMode, position) + 4; }

  ChartBuffer& Buffer() { return buffer_; }
  const ChartBuffer& Buffer() const { return buffer_; }

  // Start Reading: buffer values and PointCount cleared, mapping re-established.
  // Scale, offset, shift, selection and colours stay.
  void StartReset();

  void SetChartMapping();
  void RedrawChart(const ChartDrawInputs& inputs);
  // A snapshot exists once the chart has been drawn; the view repaints from it.
  bool HasSnapshot() const { return redrawCount_ > 0; }

  void SelectTrace(int trace);
  void ScaleUp();
  void ScaleDown();
  void ShiftUp();
  void ShiftDown();
  // The text is read as a number (validation and its messages are the panel's).
  void ApplyDataOffset(std::string_view offsetText);
  // The chosen X-Max item ("200 readings"); false (nothing changes) for an item
  // without an accepted leading integer.
  bool SetXMax(std::string_view item);
  // What the user has typed into the data offset box (read by scale and shift).
  void SetDataOffsetText(std::string text) { dataOffsetText_ = std::move(text); }
  // New colours from Reading Settings: pens and lamps follow.
  void SetPlotColours(const PlotColours& colours);

  const ChartMapping& Mapping() const { return mapping_; }
  const ChartTraceState& Trace(int trace) const;
  int SelectedTrace() const { return selectedTrace_; }
  int CurrentScaleIndex() const { return currentScaleIndex_; }
  const std::string& YScaleText() const { return yScaleText_; }
  const std::string& DataOffsetText() const { return dataOffsetText_; }
  const std::string& XMaxLabelText() const { return xMaxLabelText_; }
  int XMaxItemIndex() const { return xMaxItem_; }
  int MarkerTop(int trace) const;
  const PlotColours& Colours() const { return colours_; }
  // DrawLamps: the lamp of position d's main (second false) or 2ND reading.
  Rgb LampColour(int position, bool second) const;

  // Geometry of the last RedrawChart, in drawing order.
  std::span<const ChartTracePath> Paths() const { return {paths_.data(), static_cast<size_t>(pathCount_)}; }
  long RedrawCount() const { return redrawCount_; }

  // Called after RedrawChart (render the snapshot), after a control changed the
  // window (invalidate), and after the colours changed (pens and lamps).
  std::function<void()> onRedrawn;
  std::function<void()> onInvalidate;
  std::function<void()> onColoursChanged;

 private:
  ChartTraceState& Selected() { return traces_[selectedTrace_]; }
  void ApplyScaleStep();
  void Shift(int direction);
  void Invalidate();
  void BuildPath(int trace, int stateTrace, int colourSlot);

  ChartBuffer& buffer_;
  ChartMapping mapping_;
  std::array<ChartTraceState, kTraceCount> traces_;
  int selectedTrace_ = 0;
  int currentScaleIndex_ = 20;
  std::string yScaleText_ = "1";
  std::string dataOffsetText_ = "0";
  std::string xMaxLabelText_ = "100";
  int xMaxItem_ = kDefaultXMaxItem;
  PlotColours colours_;
  std::array<ChartTracePath, kTraceCount> paths_;
  int pathCount_ = 0;
  long redrawCount_ = 0;
};

}  // namespace merilog
