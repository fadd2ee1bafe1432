#include "ui/widgets/ShapedButton.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QResizeEvent>

namespace merilog::ui {

ShapedButton::ShapedButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {}

void ShapedButton::SetRectangle() {
  shape_ = Shape::Rectangle;
  UpdateMask();
}

void ShapedButton::SetRoundedRectangle(int radius) {
  shape_ = Shape::RoundedRectangle;
  radius_ = std::max(0, radius);
  UpdateMask();
}

void ShapedButton::SetPolygon(const QPolygon& outline) {
  polygon_ = outline;
  shape_ = outline.size() >= 3 ? Shape::Polygon : Shape::Rectangle;
  UpdateMask();
}

QPainterPath ShapedButton::Outline() const {
  QPainterPath path;
  const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  switch (shape_) {
    case Shape::Rectangle:
      path.addRect(r);
      break;
    case Shape::RoundedRectangle:
      path.addRoundedRect(r, radius_, radius_);
      break;
    case Shape::Polygon:
      path.addPolygon(QPolygonF(polygon_));
      path.closeSubpath();
      break;
  }
  return path;
}

void ShapedButton::UpdateMask() {
  if (shape_ == Shape::Rectangle) {
    clearMask();
  } else {
    // The window itself takes the outline: clicks outside it go to what lies beneath.
    setMask(QRegion(Outline().toFillPolygon().toPolygon()));
  }
  update();
}

void ShapedButton::resizeEvent(QResizeEvent* event) {
  QPushButton::resizeEvent(event);
  UpdateMask();
}

void ShapedButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QPalette& pal = palette();
  const bool sunken = isDown() || isChecked();
  const QPainterPath outline = Outline();

  QColor face = pal.color(QPalette::Button);
  if (sunken) face = face.darker(115);
  painter.fillPath(outline, face);

  // Bevel: light from the top left, shadow at the bottom right; swapped while pressed.
  QColor light = pal.color(QPalette::Light), dark = pal.color(QPalette::Dark);
  if (sunken) std::swap(light, dark);
  const QRectF bounds = outline.boundingRect();
  QLinearGradient bevel(bounds.topLeft(), bounds.bottomRight());
  bevel.setColorAt(0.0, light);
  bevel.setColorAt(0.45, light);
  bevel.setColorAt(0.55, dark);
  bevel.setColorAt(1.0, dark);
  painter.strokePath(outline, QPen(QBrush(bevel), 2.0));
  painter.strokePath(outline, QPen(pal.color(QPalette::Shadow), 1.0));

  painter.setPen(pal.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  const QRect textRect = sunken ? rect().translated(1, 1) : rect();
  painter.drawText(textRect, Qt::AlignCenter | Qt::TextShowMnemonic, text());

  if (hasFocus()) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(pal.color(QPalette::ButtonText), 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(outline.boundingRect().toRect().adjusted(4, 4, -5, -5));
  }
}

}  // namespace merilog::ui
