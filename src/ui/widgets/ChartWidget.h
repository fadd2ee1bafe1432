#pragma once
#include <QPen>
#include <QPixmap>
#include <QWidget>
#include <array>

#include "core/measure/ChartModel.h"

namespace merilog::ui {

// The live chart's drawing surface. Each RedrawChart of the model is painted
// once into an off-screen snapshot (grid, then every trace in its pen); a
// window repaint only copies the snapshot (RestoreChart), or the bare grid
// before the first redraw. The widget takes the model's onRedrawn and
// onColoursChanged hooks for as long as it lives.
class ChartWidget : public QWidget {
  Q_OBJECT
 public:
  explicit ChartWidget(ChartModel& model, QWidget* parent = nullptr);
  ~ChartWidget() override;

  // Paints the model's last redraw into the snapshot and schedules a repaint.
  void RenderSnapshot();
  // The nine pens, recreated from the model's colours.
  void RecreatePens();

  const QPixmap& Snapshot() const { return snapshot_; }
  QSize sizeHint() const override { return {ChartMapping::kWidth, ChartMapping::kHeight}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void RestoreChart(QPainter& painter);
  void BuildGridBitmap();

  ChartModel& model_;
  QPixmap grid_;      // white surface with the light grey grid, drawn once
  QPixmap snapshot_;  // the last redraw; created with the first one
  std::array<QPen, kPlotColourCount> pens_;
};

}  // namespace merilog::ui
