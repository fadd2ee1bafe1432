#pragma once
#include <QImage>

#include "core/recordview/RecordChartPicture.h"

class QPainter;

namespace merilog::ui {

// The one painter of the record chart, for the dialog and for merilog-cli's
// picture alike: the black chart with its dark cyan grid, then each graph in
// its colour with the thinnest pen, each line with both its end pixels.
void PaintRecordChart(QPainter& painter, const RecordChartPicture& picture);
// The cursor marker: filled black with a white outline one pixel wide.
void PaintChartMarker(QPainter& painter, const ChartMarker& marker);

// The chart at its size, with the marker when the picture has one and `withMarker` is set.
QImage RenderRecordChart(const RecordChartPicture& picture, bool withMarker = true);

}  // namespace merilog::ui
