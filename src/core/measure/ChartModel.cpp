#include "core/measure/ChartModel.h"

#include <algorithm>
#include <cmath>

#include "core/measure/ChartNumberText.h"
#include "core/measure/ScaleStep.h"

namespace merilog {

namespace {

// Far outside the chart (a hundred heights) yet safely inside int: a reading
// thousands of divisions off scale is drawn as a line leaving the chart.
constexpr double kLogicalYLimit = 100000.0;

constexpr const char* kXMaxItems[] = {"50 readings",  "100 readings",  "200 readings",
                                      "500 readings", "1000 readings", "2000 readings"};

}  // namespace

std::span<const char* const> XMaxItems() {
  return kXMaxItems;
}

ChartModel::ChartModel(ChartBuffer& buffer) : buffer_(buffer), colours_(DefaultPlotColours()) {
  for (auto& path : paths_) path.points.reserve(ChartBuffer::kCapacity);
  SetChartMapping();
}

int ChartModel::MainTraceFor(bool multiDeviceMode, int position) {
  if (!multiDeviceMode) return 0;
  return std::clamp(position, 0, 3);
}

void ChartModel::StartReset() {
  buffer_.Reset();
  SetChartMapping();
}

void ChartModel::SetChartMapping() {
  mapping_.xMax = buffer_.XMax();
  mapping_.width = ChartMapping::kWidth;
  mapping_.height = ChartMapping::kHeight;
}

void ChartModel::RedrawChart(const ChartDrawInputs& inputs) {
  pathCount_ = 0;
  const bool multi = inputs.multiDeviceMode;
  const int meters = multi ? std::clamp(inputs.meterCount, 0, 4) : 1;
  for (int d = 0; d < meters; ++d) {
    const int t = MainTraceFor(multi, d);
    // Single-device mode: buttons "1" and "1_2" and colour slots 0 and 4 govern the current meter.
    BuildPath(t, multi ? t : 0, multi ? t : 0);
    if (inputs.secondActive && inputs.hasSecond[d]) BuildPath(t + 4, multi ? t + 4 : 4, multi ? t + 4 : 4);
  }
  ++redrawCount_;
  if (onRedrawn) onRedrawn();
}

void ChartModel::BuildPath(int trace, int stateTrace, int colourSlot) {
  if (trace != stateTrace) {
    traces_[trace].traceOffset = traces_[stateTrace].traceOffset;
    traces_[trace].scaleIndex = traces_[stateTrace].scaleIndex;
  }
  const int count = std::min(buffer_.PointCount(), ChartBuffer::kCapacity);
  if (count < 1) return;
  const std::span<const double> values = buffer_.Trace(trace);
  // A newest reading of exactly zero means nothing was written there (a real zero is buffered as 1e-25).
  // A lost meter's newest positions hold no reading at all: its last reading before them decides.
  int newest = count;
  if (buffer_.HasGaps(trace))
    while (newest > 0 && buffer_.IsGap(trace, newest)) --newest;
  if (newest == 0 || values[newest] == 0.0) return;
  if (count < 2) return;

  ChartTracePath& path = paths_[pathCount_++];
  path.trace = trace;
  path.colourSlot = colourSlot;
  path.colour = colours_[colourSlot];
  path.points.clear();
  path.breaks.clear();
  const ChartTraceState& state = traces_[trace];
  const double factor = ScaleStep(state.scaleIndex).factor * ChartMapping::kUnitsPerDivision;
  const int xMax = buffer_.XMax();
  const bool gaps = buffer_.HasGaps(trace);
  bool broken = false;
  for (int k = 0; k < count; ++k) {
    if (gaps && buffer_.IsGap(trace, count - k)) {
      // No reading here: the line stops and starts again after the gap.
      broken = !path.points.empty();
      continue;
    }
    if (broken) path.breaks.push_back(static_cast<int>(path.points.size()));
    broken = false;
    double y = (values[count - k] - state.traceOffset) * factor;
    if (std::isnan(y)) y = 0.0;
    y = std::trunc(std::clamp(y, -kLogicalYLimit, kLogicalYLimit));
    path.points.push_back(mapping_.Map(xMax - k, y));
  }
}

const ChartTraceState& ChartModel::Trace(int trace) const {
  return traces_[std::clamp(trace, 0, kTraceCount - 1)];
}

int ChartModel::MarkerTop(int trace) const {
  return kMarkerHomeTop + kMarkerStep * Trace(trace).shiftSteps;
}

Rgb ChartModel::LampColour(int position, bool second) const {
  return colours_[std::clamp(position, 0, 3) + (second ? 4 : 0)];
}

void ChartModel::SelectTrace(int trace) {
  if (trace < 0 || trace >= kTraceCount) return;
  selectedTrace_ = trace;
  const ChartTraceState& state = traces_[trace];
  currentScaleIndex_ = state.scaleIndex;
  yScaleText_ = ScaleStep(currentScaleIndex_).label;
  dataOffsetText_ = TrimmedNumberText(state.traceOffset - state.shiftSteps * state.scaleValue);
  Invalidate();
}

void ChartModel::ScaleUp() {
  if (currentScaleIndex_ > 0) --currentScaleIndex_;
  ApplyScaleStep();
}

void ChartModel::ScaleDown() {
  if (currentScaleIndex_ < kMaxScaleIndex) ++currentScaleIndex_;
  ApplyScaleStep();
}

void ChartModel::ApplyScaleStep() {
  const double offset = LeadingNumber(dataOffsetText_);
  yScaleText_ = ScaleStep(currentScaleIndex_).label;
  ChartTraceState& state = Selected();
  state.scaleIndex = currentScaleIndex_;
  state.scaleText = yScaleText_;
  state.scaleValue = ScaleLabelValue(yScaleText_);
  state.traceOffset = state.shiftSteps * state.scaleValue + offset;
  Invalidate();
}

void ChartModel::ShiftUp() {
  Shift(-1);
}

void ChartModel::ShiftDown() {
  Shift(+1);
}

void ChartModel::Shift(int direction) {
  const int top = MarkerTop(selectedTrace_);
  const bool canMove = direction < 0 ? top > kMarkerUpLimit : top < kMarkerDownLimit;
  if (canMove) {
    ChartTraceState& state = Selected();
    state.scaleValue = ScaleLabelValue(yScaleText_);
    state.shiftSteps += direction;
    state.traceOffset = state.shiftSteps * state.scaleValue + LeadingNumber(dataOffsetText_);
  }
  Invalidate();
}

void ChartModel::ApplyDataOffset(std::string_view offsetText) {
  const double offset = LeadingNumber(offsetText);
  ChartTraceState& state = Selected();
  state.scaleValue = ScaleLabelValue(yScaleText_);
  state.traceOffset = state.shiftSteps * state.scaleValue + offset;
  dataOffsetText_ = TrimmedNumberText(offset);
  Invalidate();
}

bool ChartModel::SetXMax(std::string_view item) {
  const double leading = LeadingNumber(item);
  const auto items = XMaxItems();
  for (size_t i = 0; i < items.size(); ++i) {
    if (LeadingNumber(items[i]) != leading) continue;
    buffer_.SetXMax(static_cast<int>(leading));
    xMaxItem_ = static_cast<int>(i);
    xMaxLabelText_ = std::string(item);
    SetChartMapping();
    Invalidate();
    return true;
  }
  return false;
}

void ChartModel::SetPlotColours(const PlotColours& colours) {
  colours_ = colours;
  if (onColoursChanged) onColoursChanged();
}

void ChartModel::Invalidate() {
  if (onInvalidate) onInvalidate();
}

}  // namespace merilog
