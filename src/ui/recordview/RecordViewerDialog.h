#pragma once
#include "ui/recordview/ModelDialog.h"
#include "ui/recordview/WaitCursor.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressDialog;
class QPushButton;
class QTableView;

namespace merilog {
class RecordViewerModel;
}

namespace merilog::ui {

// The record viewer: renders RecordViewerModel's state and forwards every
// click, key and edit to it. The grid is a table view over the model's grid,
// which fetches the rows the view shows. The main window keeps one for the
// whole run.
class RecordViewerDialog : public ModelDialog<RecordViewerModel> {
 public:
  explicit RecordViewerDialog(RecordViewerModel& model, QWidget* parent = nullptr);
  ~RecordViewerDialog() override;

  void Render() override;

  // For the screenshot script and tests.
  QListWidget* RecordList() const { return records_; }
  QComboBox* PageList() const { return pages_; }
  QTableView* Grid() const { return grid_; }
  QLineEdit* HighField() const { return high_; }
  QLineEdit* LowField() const { return low_; }
  QPushButton* SearchButton() const { return search_; }
  QLabel* CountText() const { return count_; }
  QLabel* SecondMaxText() const { return secondMax_; }

 protected:
  void Enter(const QWidget* focus) override;
  void done(int result) override;

 private:
  void Build();
  void Connect();
  void RenderProgress();

  QLabel* listCaption_ = nullptr;
  QListWidget* records_ = nullptr;
  QPushButton *refresh_ = nullptr, *delete_ = nullptr, *csv_ = nullptr, *exit_ = nullptr;
  QGroupBox* contents_ = nullptr;
  QLabel *countCaption_ = nullptr, *maxCaption_ = nullptr, *minCaption_ = nullptr, *avgCaption_ = nullptr;
  QLabel *count_ = nullptr, *max_ = nullptr, *min_ = nullptr, *avg_ = nullptr;
  QLabel *secondMaxCaption_ = nullptr, *secondMinCaption_ = nullptr, *secondAvgCaption_ = nullptr;
  QLabel *secondMax_ = nullptr, *secondMin_ = nullptr, *secondAvg_ = nullptr;
  QLabel* gaps_ = nullptr;
  QLabel* pageCaption_ = nullptr;
  QComboBox* pages_ = nullptr;
  QTableView* grid_ = nullptr;
  QGroupBox* band_ = nullptr;
  QLabel *highCaption_ = nullptr, *lowCaption_ = nullptr, *matchCaption_ = nullptr, *match_ = nullptr;
  QLineEdit *high_ = nullptr, *low_ = nullptr;
  QPushButton* search_ = nullptr;
  QProgressDialog* progress_ = nullptr;
  bool rendering_ = false;
  WaitCursor waitCursor_;
  int lowFocusRequests_ = 0;
};

}  // namespace merilog::ui
