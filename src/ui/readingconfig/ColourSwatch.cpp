#include "ui/readingconfig/ColourSwatch.h"

#include <QPainter>

namespace merilog::ui {

ColourSwatch::ColourSwatch(QWidget* parent) : QWidget(parent) {
  setMinimumSize(30, 16);
}

void ColourSwatch::SetColour(const QColor& colour) {
  if (colour == colour_) return;
  colour_ = colour;
  update();
}

void ColourSwatch::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), colour_);
  p.setPen(palette().color(QPalette::Mid));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace merilog::ui
