#pragma once
#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace merilog {
class ReadingSettingsModel;
struct ControlState;
struct RecordChooserState;
}  // namespace merilog

namespace merilog::ui {

class ColourSwatch;

// The Reading Settings dialog: renders ReadingSettingsModel's state and
// forwards every click to it. The main window keeps one for the whole run.
class ReadingSettingsDialog : public QDialog {
 public:
  explicit ReadingSettingsDialog(ReadingSettingsModel& model, QWidget* parent = nullptr);
  ~ReadingSettingsDialog() override;

  // Runs the opening and shows the dialog modally. Whichever button closes it,
  // the model's settings hold every change made.
  int Run();
  // The opening without the modal loop (screenshots, tests).
  void Open();
  void Render();

  // For the screenshot script and tests.
  QRadioButton* SingleRadio() const { return singleRadio_; }
  QRadioButton* MultiRadio() const { return multiRadio_; }
  QCheckBox* DualMeasureBox() const { return dualMeasure_; }
  QListWidget* DeviceList() const { return deviceList_; }
  QPushButton* SelectButton() const { return select_; }
  QPushButton* NextButton() const { return next_; }
  QPushButton* OkButton() const { return ok_; }
  QCheckBox* SingleSaveBox() const { return singleSave_; }
  QComboBox* SingleRecordList() const { return singleRecords_; }
  QCheckBox* MultiSaveBox() const { return multiSave_; }
  QComboBox* MultiRecordList() const { return multiRecords_; }
  QLabel* DeviceNameLabel() const { return deviceName_; }
  QPushButton* MultiSecondColourButton() const { return multiSecondColour_; }

 protected:
  void done(int result) override;

 private:
  void Build();
  void Connect();
  static void FillRecords(QComboBox* combo, const RecordChooserState& state);

  ReadingSettingsModel& model_;
  QLabel* explanation_ = nullptr;
  QGroupBox* modeFrame_ = nullptr;
  QRadioButton *singleRadio_ = nullptr, *multiRadio_ = nullptr;
  QCheckBox* dualMeasure_ = nullptr;

  QWidget* singleGroup_ = nullptr;
  QLabel* singleColourCaption_ = nullptr;
  ColourSwatch *singleSwatch_ = nullptr, *singleSecondSwatch_ = nullptr;
  QPushButton *singleColour_ = nullptr, *singleSecondColour_ = nullptr;
  QCheckBox* singleSave_ = nullptr;
  QComboBox* singleRecords_ = nullptr;

  QGroupBox* multiGroup_ = nullptr;
  QListWidget* deviceList_ = nullptr;
  QPushButton* select_ = nullptr;
  QLabel* deviceCaption_ = nullptr;
  QPushButton *previous_ = nullptr, *next_ = nullptr;
  QLabel* deviceName_ = nullptr;
  QLabel* multiColourCaption_ = nullptr;
  ColourSwatch *multiSwatch_ = nullptr, *multiSecondSwatch_ = nullptr;
  QPushButton *multiColour_ = nullptr, *multiSecondColour_ = nullptr;
  QCheckBox* multiSave_ = nullptr;
  QComboBox* multiRecords_ = nullptr;

  QPushButton *ok_ = nullptr, *cancel_ = nullptr;
  bool rendering_ = false;
};

}  // namespace merilog::ui
