#pragma once
#include <QColor>
#include <QWidget>

namespace merilog::ui {

// A plot colour shown as a solid rectangle filling the control.
class ColourSwatch : public QWidget {
 public:
  explicit ColourSwatch(QWidget* parent = nullptr);
  void SetColour(const QColor& colour);
  QColor Colour() const { return colour_; }
  QSize sizeHint() const override { return {40, 20}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor colour_ = Qt::black;
};

}  // namespace merilog::ui
