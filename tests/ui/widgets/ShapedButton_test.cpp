#include "ui/widgets/ShapedButton.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace merilog::ui
