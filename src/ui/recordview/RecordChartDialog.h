#pragma once
#include <QPixmap>

#include "ui/recordview/ModelDialog.h"
#include "ui/recordview/WaitCursor.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSlider;

namespace merilog {
class RecordChartModel;
}

namespace merilog::ui {

class ColourSwatch;

// The chart area: the graphs are painted once into a snapshot when they
// change; a repaint copies the snapshot and puts the cursor marker on it.
class RecordChartView : public QWidget {
 public:
  explicit RecordChartView(const RecordChartModel& model, QWidget* parent = nullptr);
  QSize sizeHint() const override;
  const QPixmap& Snapshot() const { return snapshot_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const RecordChartModel& model_;
  QPixmap snapshot_;
  int snapshotVersion_ = -1;
};

// The record chart: renders RecordChartModel's state and forwards every
// click, key, edit and slider move to it. The main window keeps one for the
// whole run.
class RecordChartDialog : public ModelDialog<RecordChartModel> {
 public:
  explicit RecordChartDialog(RecordChartModel& model, QWidget* parent = nullptr);
  ~RecordChartDialog() override;

  void Render() override;

  // For the screenshot script and tests.
  QComboBox* RecordChoice() const { return records_; }
  QPushButton* DrawButton() const { return draw_; }
  QPushButton* Draw2ndButton() const { return draw2nd_; }
  QSlider* Slider() const { return slider_; }
  RecordChartView* ChartView() const { return chart_; }
  QLabel* CursorValue() const { return cursorValue_; }

 protected:
  void Enter(const QWidget* focus) override;

 private:
  void Build();
  void Connect();

  QGroupBox* settings_ = nullptr;
  QComboBox* records_ = nullptr;
  QLabel *countCaption_ = nullptr, *count_ = nullptr;
  QRadioButton *all_ = nullptr, *range_ = nullptr;
  QButtonGroup* modes_ = nullptr;
  QLineEdit *from_ = nullptr, *to_ = nullptr;
  QLabel *toCaption_ = nullptr, *after_ = nullptr;
  QLabel* scaleCaption_ = nullptr;
  QComboBox* scales_ = nullptr;
  QLabel* colourCaption_ = nullptr;
  ColourSwatch* swatch_ = nullptr;
  QPushButton *colour_ = nullptr, *draw_ = nullptr, *draw2nd_ = nullptr, *clear_ = nullptr, *exit_ = nullptr;
  RecordChartView* chart_ = nullptr;
  QSlider* slider_ = nullptr;
  QLabel *cursorNumber_ = nullptr, *cursorValue_ = nullptr, *cursorDate_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* cancel_ = nullptr;
  bool rendering_ = false;
  WaitCursor waitCursor_;
  int toFocusRequests_ = 0;
};

}  // namespace merilog::ui
