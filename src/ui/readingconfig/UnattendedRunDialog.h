#pragma once
#include <QDialog>
#include <array>
#include <functional>

#include "core/readingconfig/UnattendedRun.h"

class QDateTimeEdit;
class QLineEdit;
class QRadioButton;

namespace merilog {
class Clock;
class Prompter;
}  // namespace merilog

namespace merilog::ui {

// The Stop and Limits dialog: how the next run stops (when stopped by hand,
// after a while, or at a time) and the high and low limits of each meter
// position. Its fields are read and checked by UnattendedRunForm; a wrong field
// is said through the prompter and keeps the dialog open.
class UnattendedRunDialog : public QDialog {
 public:
  UnattendedRunDialog(Prompter& prompter, const Clock& clock, QWidget* parent = nullptr);

  // Shows `settings` and runs modally; the settings chosen on OK, or nothing.
  std::optional<UnattendedRun> Run(const UnattendedRun& settings);
  // Fills the fields without the modal loop (screenshots, tests).
  void Show(const UnattendedRun& settings);
  const std::optional<UnattendedRun>& Result() const { return result_; }

  QRadioButton* AfterRadio() const { return after_; }
  QLineEdit* AfterField() const { return afterText_; }
  QLineEdit* HighField(int position) const { return high_[position]; }
  QLineEdit* LowField(int position) const { return low_[position]; }

 protected:
  void done(int result) override;

 private:
  UnattendedRunForm Form() const;

  Prompter& prompter_;
  const Clock& clock_;
  QRadioButton* byHand_ = nullptr;
  QRadioButton* after_ = nullptr;
  QRadioButton* at_ = nullptr;
  QLineEdit* afterText_ = nullptr;
  QDateTimeEdit* atTime_ = nullptr;
  std::array<QLineEdit*, kMeterPositions> high_{}, low_{};
  std::optional<UnattendedRun> result_;
};

}  // namespace merilog::ui
