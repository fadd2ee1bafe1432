#pragma once
#include <QDialog>
#include <array>

#include "core/meterconfig/CoefficientPanel.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace merilog {
class DeviceSettingsModel;
struct ChoiceBoxState;
}  // namespace merilog

namespace merilog::ui {

// The Device Settings dialog: renders DeviceSettingsModel's state and forwards
// every choice to it. While the model waits for the meter the choices are
// disabled and a bar runs; Exit always works.
class DeviceSettingsDialog : public QDialog {
 public:
  explicit DeviceSettingsDialog(DeviceSettingsModel& model, QWidget* parent = nullptr);

  // Runs the opening and shows the dialog modally.
  int Run();
  // The opening without the modal loop (screenshots, tests).
  void Open();
  void Render();

  // For the screenshot script and tests.
  QListWidget* DeviceList() const { return deviceList_; }
  QListWidget* FunctionList() const { return functionList_; }
  QComboBox* RangeBox() const { return boxes_[kRange].combo; }
  QComboBox* SecondFunctionBox() const { return boxes_[kSecondFunction].combo; }
  QComboBox* SecondRangeBox() const { return boxes_[kSecondRange].combo; }
  QLineEdit* CoefficientField(int slot) const { return fields_[static_cast<std::size_t>(slot)].edit; }
  QPushButton* SetButton() const { return set_; }
  QPushButton* ExitButton() const { return exit_; }
  QProgressBar* BusyBar() const { return busy_; }

 protected:
  void done(int result) override;

 private:
  enum Box { kRange, kSecond, kTransducer, kSecondFunction, kSecondRange, kSecondChoice, kSecondTransducer, kBoxes };
  struct BoxWidgets {
    QLabel* caption = nullptr;
    QComboBox* combo = nullptr;
  };
  struct FieldWidgets {
    QLabel* label = nullptr;
    QLineEdit* edit = nullptr;
  };
  void Build();
  void Connect();
  const ChoiceBoxState& State(Box box) const;
  void RenderBox(Box box, bool busy);

  DeviceSettingsModel& model_;
  QLabel* deviceCaption_ = nullptr;
  QListWidget* deviceList_ = nullptr;
  QGroupBox* settingsFrame_ = nullptr;
  QLabel* functionCaption_ = nullptr;
  QListWidget* functionList_ = nullptr;
  std::array<BoxWidgets, kBoxes> boxes_;
  std::array<FieldWidgets, kCoefficientSlots> fields_;
  QProgressBar* busy_ = nullptr;
  QPushButton *set_ = nullptr, *get_ = nullptr, *exit_ = nullptr;
  bool rendering_ = false;
};

}  // namespace merilog::ui
