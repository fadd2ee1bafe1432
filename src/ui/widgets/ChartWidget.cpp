#include "ui/widgets/ChartWidget.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPointer>

namespace merilog::ui {

namespace {
const QColor kGridColour(192, 192, 192);
}

ChartWidget::ChartWidget(ChartModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  setFixedSize(ChartMapping::kWidth, ChartMapping::kHeight);
  setAttribute(Qt::WA_OpaquePaintEvent);  // the snapshot covers every pixel
  BuildGridBitmap();
  RecreatePens();
  // Guarded, so that neither the model nor the widget has to outlive the other.
  QPointer<ChartWidget> self(this);
  model_.onRedrawn = [self] {
    if (self) self->RenderSnapshot();
  };
  model_.onColoursChanged = [self] {
    if (self) self->RecreatePens();
  };
}

ChartWidget::~ChartWidget() = default;

void ChartWidget::BuildGridBitmap() {
  // At the screen's pixel density, so that lines stay sharp on high-density screens.
  const qreal ratio = devicePixelRatioF();
  grid_ = QPixmap(QSize(ChartMapping::kWidth, ChartMapping::kHeight) * ratio);
  grid_.setDevicePixelRatio(ratio);
  grid_.fill(Qt::white);
  QPainter painter(&grid_);
  painter.setPen(QPen(kGridColour, ChartGrid::kLineWidth));
  const ChartGrid grid = MakeChartGrid();
  for (double x : grid.columnsX) painter.drawLine(QPointF(x, 0), QPointF(x, ChartMapping::kHeight));
  for (double y : grid.rowsY) painter.drawLine(QPointF(0, y), QPointF(ChartMapping::kWidth, y));
}

void ChartWidget::RecreatePens() {
  const PlotColours& colours = model_.Colours();
  for (size_t i = 0; i < pens_.size(); ++i) {
    // Width 0: the thinnest line the device can draw, one pixel.
    pens_[i] = QPen(QColor(colours[i].r, colours[i].g, colours[i].b), 0, Qt::SolidLine);
  }
}

void ChartWidget::RenderSnapshot() {
  if (grid_.devicePixelRatio() != devicePixelRatioF()) BuildGridBitmap();  // moved to another screen
  if (snapshot_.isNull() || snapshot_.size() != grid_.size()) {
    snapshot_ = QPixmap(grid_.size());
    snapshot_.setDevicePixelRatio(grid_.devicePixelRatio());
  }
  QPainter painter(&snapshot_);
  painter.drawPixmap(0, 0, grid_);
  painter.setClipRect(0, 0, ChartMapping::kWidth, ChartMapping::kHeight);
  for (const ChartTracePath& path : model_.Paths()) {
    painter.setPen(pens_[static_cast<size_t>(path.colourSlot) % pens_.size()]);
    path.ForEachPiece([&](int first, int end) { painter.drawPolyline(path.points.data() + first, end - first); });
  }
  painter.end();
  update();
}

void ChartWidget::RestoreChart(QPainter& painter) {
  painter.drawPixmap(0, 0, model_.HasSnapshot() && !snapshot_.isNull() ? snapshot_ : grid_);
}

void ChartWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  RestoreChart(painter);
}

}  // namespace merilog::ui
