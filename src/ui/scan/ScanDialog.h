#pragma once
#include <QDialog>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableView;
class QTimeEdit;
class QToolButton;

namespace merilog {
class ScanModel;
struct ControlState;
}  // namespace merilog

namespace merilog::ui {

// The scan dialog: renders ScanModel's state, forwards every click and edit to
// it, and shows the results grid in a table view over the model's grid.
class ScanDialog : public QDialog {
 public:
  explicit ScanDialog(ScanModel& model, QWidget* parent = nullptr);
  ~ScanDialog() override;

  // The opening (the dialog's own search), then the modal loop until Exit.
  int Run();
  // The opening alone, for code that drives the dialog without its loop.
  void Open();
  // Shows what the model holds; the model asks for it after every change.
  void Render();

  // The controls a user works, for the screenshot script and the tests.
  QListWidget* DeviceList() const { return devices_; }
  QComboBox* ChannelChooser() const { return channel_; }
  QComboBox* FunctionChooser() const { return function_; }
  QLineEdit* ShuntRField() const { return shuntR_; }
  QLineEdit* CurrentOffsetField() const { return offset_; }
  QLineEdit* TimerField() const { return timer_; }
  QLineEdit* ScanCountField() const { return scanCount_; }
  QCheckBox* PerScanBox() const { return perScan_; }
  QCheckBox* StopAfterNBox() const { return stopAfterN_; }
  QCheckBox* StopTimeBox() const { return stopTime_; }
  QLineEdit* NField() const { return n_; }
  QTimeEdit* IntervalPicker() const { return interval_; }
  QPushButton* StartButton() const { return start_; }
  QPushButton* StopButton() const { return stop_; }
  QPushButton* ExportButton() const { return export_; }
  QPushButton* ExitButton() const { return exit_; }
  QTableView* Grid() const { return grid_; }
  QLabel* Progress() const { return progress_; }
  QLabel* Status() const { return status_; }

 protected:
  void done(int result) override;

 private:
  void Build();
  void Connect();
  static void Apply(QWidget* widget, const ControlState& state);

  ScanModel& model_;
  QLabel *deviceLabel_ = nullptr, *channelLabel_ = nullptr, *functionLabel_ = nullptr;
  QLabel *timerLabel_ = nullptr, *scanCountLabel_ = nullptr, *shuntRLabel_ = nullptr, *offsetLabel_ = nullptr;
  QLabel *formula_ = nullptr, *progress_ = nullptr, *status_ = nullptr;
  QListWidget* devices_ = nullptr;
  QGroupBox* settings_ = nullptr;
  QComboBox *channel_ = nullptr, *function_ = nullptr, *mode_ = nullptr;
  QLineEdit *shuntR_ = nullptr, *offset_ = nullptr, *timer_ = nullptr, *scanCount_ = nullptr, *n_ = nullptr;
  QToolButton *nUp_ = nullptr, *nDown_ = nullptr;
  QCheckBox *atTime_ = nullptr, *stopTime_ = nullptr, *perScan_ = nullptr, *stopAfterN_ = nullptr;
  QDateTimeEdit *atTimePicker_ = nullptr, *stopTimePicker_ = nullptr;
  QTimeEdit* interval_ = nullptr;
  QPushButton *start_ = nullptr, *stop_ = nullptr, *export_ = nullptr, *exit_ = nullptr;
  QTableView* grid_ = nullptr;
  bool rendering_ = false;
  int shownRows_ = 0;
};

}  // namespace merilog::ui
