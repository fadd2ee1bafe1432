#include "ui/recordview/RecordChartPainter.h"

#include <QLine>
#include <QPainter>
#include <vector>

#include "core/measure/ChartMapping.h"

namespace merilog::ui {

namespace {
QColor ToQColor(const Rgb& c) {
  return QColor(c.r, c.g, c.b);
}
}  // namespace

void PaintRecordChart(QPainter& painter, const RecordChartPicture& picture) {
  constexpr int w = RecordChartPicture::kWidth;
  constexpr int h = RecordChartPicture::kHeight;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillRect(QRect(0, 0, w, h), ToQColor(RecordChartPicture::kBackground));
  painter.setPen(QPen(ToQColor(RecordChartPicture::kGridColour), ChartGrid::kLineWidth));
  const ChartGrid grid = MakeChartGrid(w, h);
  for (double x : grid.columnsX) painter.drawLine(QPointF(x, 0), QPointF(x, h));
  for (double y : grid.rowsY) painter.drawLine(QPointF(0, y), QPointF(w, y));

  painter.setClipRect(0, 0, w, h);
  std::vector<QLine> lines;
  for (const ChartGraph& graph : picture.graphs) {
    // Width 0 is the one-pixel pen; its square cap draws both end pixels of a line.
    painter.setPen(QPen(ToQColor(graph.colour), 0, Qt::SolidLine, Qt::SquareCap));
    lines.clear();
    lines.reserve(graph.lines.size());
    for (const ChartLine& l : graph.lines) lines.emplace_back(l.x1, l.y1, l.x2, l.y2);
    painter.drawLines(lines.data(), static_cast<int>(lines.size()));
  }
  painter.restore();
}

void PaintChartMarker(QPainter& painter, const ChartMarker& marker) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(Qt::white, 0));
  painter.setBrush(Qt::black);
  // The outline runs on the rectangle's outer pixels; right and bottom are excluded.
  painter.drawRect(QRect(marker.left, marker.top, marker.right - marker.left - 1, marker.bottom - marker.top - 1));
  painter.restore();
}

QImage RenderRecordChart(const RecordChartPicture& picture, bool withMarker) {
  QImage image(RecordChartPicture::kWidth, RecordChartPicture::kHeight, QImage::Format_RGB32);
  QPainter painter(&image);
  PaintRecordChart(painter, picture);
  if (withMarker && picture.marker) PaintChartMarker(painter, *picture.marker);
  return image;
}

}  // namespace merilog::ui
