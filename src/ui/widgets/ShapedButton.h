#pragma once
#include <QPolygon>
#include <QPushButton>

namespace merilog::ui {

// A push button whose window is clipped to a rectangle, a rounded rectangle or
// a polygon, painted with a bevelled frame (raised, sunken while pressed) and
// its caption. It behaves exactly like a QPushButton otherwise.
class ShapedButton : public QPushButton {
  Q_OBJECT
 public:
  enum class Shape { Rectangle, RoundedRectangle, Polygon };

  explicit ShapedButton(const QString& text = {}, QWidget* parent = nullptr);

  void SetRectangle();
  void SetRoundedRectangle(int radius = 8);
  // Points in widget coordinates; fewer than three points fall back to the rectangle.
  void SetPolygon(const QPolygon& outline);

  Shape CurrentShape() const { return shape_; }
  // The outline the button is clipped to, at its current size.
  QPainterPath Outline() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void UpdateMask();

  Shape shape_ = Shape::Rectangle;
  int radius_ = 8;
  QPolygon polygon_;
};

}  // namespace merilog::ui
