#include "ui/widgets/ShapedButton.h"

#include <gtest/gtest.h>

#include <QImage>

#include "WidgetTestApp.h"

namespace merilog::ui {
namespace {

TEST(ShapedButton, MaskFollowsTheOutlineAndItsSize) {
  test::App();
  ShapedButton button("DCV");
  button.resize(80, 30);
  button.show();                         // a hidden widget gets its resize events only when shown
  EXPECT_TRUE(button.mask().isEmpty());  // rectangle: the whole window

  button.SetRoundedRectangle(10);
  EXPECT_FALSE(button.mask().contains(QPoint(0, 0)));
  EXPECT_TRUE(button.mask().contains(QPoint(40, 1)));
  button.resize(120, 40);
  EXPECT_TRUE(button.mask().contains(QPoint(110, 20)));

  button.SetPolygon(QPolygon({QPoint(0, 0), QPoint(119, 20), QPoint(0, 39)}));
  EXPECT_EQ(button.CurrentShape(), ShapedButton::Shape::Polygon);
  EXPECT_TRUE(button.mask().contains(QPoint(10, 20)));
  EXPECT_FALSE(button.mask().contains(QPoint(110, 2)));

  button.SetPolygon(QPolygon({QPoint(0, 0), QPoint(5, 5)}));
  EXPECT_EQ(button.CurrentShape(), ShapedButton::Shape::Rectangle);
  EXPECT_TRUE(button.mask().isEmpty());
}

TEST(ShapedButton, PaintsItsFrameAndCaptionAndSunkenWhilePressed) {
  test::App();
  ShapedButton button("CAP");
  button.resize(80, 30);
  button.SetRoundedRectangle(6);
  const QImage raised = button.grab().toImage();
  button.setDown(true);
  const QImage sunken = button.grab().toImage();
  button.setDown(false);
  EXPECT_NE(raised, sunken);
  const QColor face = raised.pixelColor(40, 8);
  EXPECT_NE(raised.pixelColor(40, 0), face);  // the frame
  int captionPixels = 0;
  for (int y = 5; y < 25; ++y)
    for (int x = 20; x < 60; ++x)
      if (raised.pixelColor(x, y).lightness() < face.lightness() - 80) ++captionPixels;
  EXPECT_GT(captionPixels, 10);
}

}  // namespace
}  // namespace merilog::ui
