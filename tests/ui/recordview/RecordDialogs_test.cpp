#include <gtest/gtest.h>

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTableView>

#include "../widgets/WidgetTestApp.h"
#include "core/records/RecordFolder.h"
#include "core/recordview/RecordChartModel.h"
#include "core/recordview/RecordViewerModel.h"
#include "support/RecordFiles.h"
#include "support/ScriptedPrompter.h"
#include "support/TestSupport.h"
#include "ui/recordview/RecordChartDialog.h"
#include "ui/recordview/RecordViewerDialog.h"

namespace merilog::ui {
namespace {

std::vector<merilog::test::Reading> Readings(int n) {
  std::vector<merilog::test::Reading> r;
  for (int i = 0; i < n; ++i) r.push_back({0.5 + (i % 100) / 100.0, 0.25});
  return r;
}

void PressEnter(QWidget* target) {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(target, &press);
}

// The grid asks only for the rows the table view shows; Enter in the upper
// limit moves to the lower one and leaves the dialog open.
TEST(RecordDialogs, ViewerShowsTheRowsOnScreen) {
  test::App();
  merilog::test::TempFolder dir;
  merilog::test::WriteRecord(RecordFilePath(RecordFileKind::Record, dir.Path(), 1), Readings(25000), "DCV", "ACV");
  merilog::test::ScriptedPrompter prompter;
  RecordViewerModel model(prompter, [&](Prompter&) { return std::optional(dir.Path()); });
  RecordViewerDialog dialog(model);
  dialog.Open();
  dialog.show();
  ASSERT_TRUE(merilog::test::RunUntil([&] { return dialog.RecordList()->count() == 1; }));
  dialog.RecordList()->setCurrentRow(0);
  ASSERT_TRUE(merilog::test::RunUntil([&] { return !model.Busy() && model.Grid().RowReady(0); }));
  EXPECT_EQ(dialog.CountText()->text(), "25000");
  EXPECT_TRUE(dialog.SecondMaxText()->isVisible());
  EXPECT_EQ(dialog.PageList()->count(), 3);
  EXPECT_EQ(dialog.Grid()->model()->rowCount(), 10000);
  EXPECT_FALSE(model.Grid().RowReady(9000));
  dialog.Grid()->scrollTo(model.Grid().index(9000, 1));
  ASSERT_TRUE(merilog::test::RunUntil([&] { return model.Grid().RowReady(9000); }));
  EXPECT_EQ(model.Grid().Row(9000).value, "0.500000000000");

  dialog.HighField()->setFocus();
  dialog.HighField()->setText("1.5");
  emit dialog.HighField()->textEdited("1.5");
  PressEnter(dialog.HighField());
  EXPECT_EQ(dialog.HighField()->text(), "1.500000000000");
  EXPECT_EQ(QApplication::focusWidget(), dialog.LowField());
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_TRUE(prompter.shown.empty());

  // Opened again, the list taking the focus chooses no record: the band fields stay disabled.
  dialog.accept();
  dialog.Open();
  dialog.show();
  ASSERT_TRUE(merilog::test::RunUntil([&] { return dialog.RecordList()->count() == 1 && !model.Busy(); }));
  dialog.activateWindow();
  dialog.RecordList()->setFocus();
  QApplication::processEvents();
  EXPECT_EQ(model.View().selectedRecord, -1);
  EXPECT_FALSE(dialog.HighField()->isEnabled());
  EXPECT_EQ(dialog.CountText()->text(), "0");
}

int PixelsOf(const QImage& image, QColor colour) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixelColor(x, y) == colour) ++n;
  return n;
}

// A draw reaches the chart area in the line colour; the cursor's marker sits on it.
TEST(RecordDialogs, ChartDrawsAndMarks) {
  test::App();
  merilog::test::TempFolder dir;
  merilog::test::WriteRecord(RecordFilePath(RecordFileKind::Record, dir.Path(), 4), Readings(3000), "DCV", "ACV");
  merilog::test::ScriptedPrompter prompter;
  RecordChartModel model(prompter, [&](Prompter&) { return std::optional(dir.Path()); });
  RecordChartDialog dialog(model);
  dialog.Open();
  dialog.show();
  ASSERT_TRUE(merilog::test::RunUntil([&] { return dialog.RecordChoice()->count() == 1; }));
  dialog.RecordChoice()->setCurrentIndex(0);
  emit dialog.RecordChoice()->activated(0);
  ASSERT_TRUE(merilog::test::RunUntil([&] { return dialog.DrawButton()->isEnabled(); }));
  const QImage empty = dialog.ChartView()->grab().toImage();
  EXPECT_EQ(PixelsOf(empty, QColor(0, 255, 255)), 0);
  dialog.DrawButton()->click();
  ASSERT_TRUE(merilog::test::RunUntil([&] { return model.Drawn() && !model.Busy(); }));
  EXPECT_GT(PixelsOf(dialog.ChartView()->grab().toImage(), QColor(0, 255, 255)), 500);
  EXPECT_EQ(dialog.Slider()->maximum(), 2999);
  dialog.Slider()->setValue(1500);
  ASSERT_TRUE(
      merilog::test::RunUntil([&] { return !model.Busy() && dialog.CursorValue()->text() == "0.500000000000000"; }));
  const QImage marked = dialog.ChartView()->grab().toImage();
  ASSERT_TRUE(model.Picture().marker.has_value());
  const ChartMarker m = *model.Picture().marker;
  EXPECT_EQ(marked.pixelColor(m.left, m.top), QColor(Qt::white));
  EXPECT_EQ(marked.pixelColor((m.left + m.right) / 2, (m.top + m.bottom) / 2), QColor(Qt::black));
}

}  // namespace
}  // namespace merilog::ui
