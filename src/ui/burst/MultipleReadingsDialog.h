#pragma once
#include <QDialog>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace merilog {
class Clock;
class MultipleReadingsModel;
class Prompter;
struct DeviceHandOver;
}  // namespace merilog

namespace merilog::ui {

// The Multiple Readings dialog: renders MultipleReadingsModel's state and
// forwards every click to it. The main window keeps one for the whole run.
class MultipleReadingsDialog : public QDialog {
 public:
  MultipleReadingsDialog(Prompter& prompter, const Clock& clock, QWidget* parent = nullptr);
  ~MultipleReadingsDialog() override;

  // The opening with the meters of the latest discovery, then the modal loop.
  int Run(const DeviceHandOver& devices);
  // The opening without the modal loop (screenshots, tests).
  void Open(const DeviceHandOver& devices);
  void Render();

  MultipleReadingsModel& Model() { return *model_; }
  // For the screenshot script and tests.
  QListWidget* DeviceList() const { return deviceList_; }
  QLineEdit* NumberField() const { return number_; }
  QComboBox* RecordChoice() const { return records_; }
  QPushButton* StartButton() const { return start_; }
  QPushButton* StopButton() const { return stop_; }
  QPushButton* ExitButton() const { return exit_; }
  QProgressBar* Progress() const { return progress_; }
  QLabel* ProgressText() const { return progressText_; }

  // Esc and the close box leave like Exit, which waits while a burst runs.
  void reject() override;

 private:
  void Build();
  void Connect();

  std::unique_ptr<MultipleReadingsModel> model_;
  QListWidget* deviceList_ = nullptr;
  QLabel *numberCaption_ = nullptr, *recordCaption_ = nullptr;
  QLineEdit* number_ = nullptr;
  QComboBox* records_ = nullptr;
  QPushButton *start_ = nullptr, *stop_ = nullptr, *exit_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* progressText_ = nullptr;
  bool rendering_ = false;
};

}  // namespace merilog::ui
