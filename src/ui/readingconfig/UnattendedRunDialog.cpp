#include "ui/readingconfig/UnattendedRunDialog.h"

#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/base/Clock.h"
#include "core/base/MessageTable.h"
#include "core/base/Prompter.h"

namespace merilog::ui {

UnattendedRunDialog::UnattendedRunDialog(Prompter& prompter, const Clock& clock, QWidget* parent)
    : QDialog(parent), prompter_(prompter), clock_(clock) {
  setWindowTitle(LookupMessage(u"1101", QStringLiteral("Stop and Limits...")).remove(QStringLiteral("...")));
  auto* layout = new QVBoxLayout(this);

  auto* stopBox = new QGroupBox(LookupMessage(u"1102", QStringLiteral("Stop the readings")), this);
  auto* stopGrid = new QGridLayout(stopBox);
  byHand_ = new QRadioButton(LookupMessage(u"1103", QStringLiteral("When stopped by hand")), stopBox);
  after_ = new QRadioButton(LookupMessage(u"1104", QStringLiteral("After")), stopBox);
  at_ = new QRadioButton(LookupMessage(u"1105", QStringLiteral("At")), stopBox);
  afterText_ = new QLineEdit(stopBox);
  afterText_->setPlaceholderText(QStringLiteral("30m, 2h, 1h30m, 2d"));
  atTime_ = new QDateTimeEdit(stopBox);
  atTime_->setDisplayFormat(QLatin1String(kStopTimeFormat));
  atTime_->setCalendarPopup(true);
  stopGrid->addWidget(byHand_, 0, 0, 1, 2);
  stopGrid->addWidget(after_, 1, 0);
  stopGrid->addWidget(afterText_, 1, 1);
  stopGrid->addWidget(at_, 2, 0);
  stopGrid->addWidget(atTime_, 2, 1);
  layout->addWidget(stopBox);
  // A field is usable with its own choice only.
  connect(after_, &QRadioButton::toggled, afterText_, &QWidget::setEnabled);
  connect(at_, &QRadioButton::toggled, atTime_, &QWidget::setEnabled);

  auto* limitBox = new QGroupBox(LookupMessage(u"1106", QStringLiteral("Limits")), this);
  auto* limitGrid = new QGridLayout(limitBox);
  limitGrid->addWidget(new QLabel(LookupMessage(u"1107", QStringLiteral("High")), limitBox), 0, 1);
  limitGrid->addWidget(new QLabel(LookupMessage(u"1108", QStringLiteral("Low")), limitBox), 0, 2);
  for (int d = 0; d < kMeterPositions; ++d) {
    limitGrid->addWidget(new QLabel(QString::number(d + 1), limitBox), d + 1, 0);
    high_[d] = new QLineEdit(limitBox);
    low_[d] = new QLineEdit(limitBox);
    limitGrid->addWidget(high_[d], d + 1, 1);
    limitGrid->addWidget(low_[d], d + 1, 2);
  }
  layout->addWidget(limitBox);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

void UnattendedRunDialog::Show(const UnattendedRun& settings) {
  const UnattendedRunForm f = UnattendedRunForm::From(settings);
  byHand_->setChecked(f.stop == UnattendedRun::Stop::WhenTold);
  after_->setChecked(f.stop == UnattendedRun::Stop::After);
  at_->setChecked(f.stop == UnattendedRun::Stop::At);
  afterText_->setEnabled(after_->isChecked());
  atTime_->setEnabled(at_->isChecked());
  afterText_->setText(f.afterText);
  // A new stop time starts an hour ahead, on the minute.
  QDateTime at = f.at;
  if (!at.isValid()) {
    at = clock_.Now().addSecs(3600);
    at.setTime(QTime(at.time().hour(), at.time().minute()));
  }
  atTime_->setDateTime(at);
  for (int d = 0; d < kMeterPositions; ++d) {
    high_[d]->setText(f.high[d]);
    low_[d]->setText(f.low[d]);
  }
  result_.reset();
}

std::optional<UnattendedRun> UnattendedRunDialog::Run(const UnattendedRun& settings) {
  Show(settings);
  exec();
  return result_;
}

UnattendedRunForm UnattendedRunDialog::Form() const {
  UnattendedRunForm f;
  f.stop = after_->isChecked() ? UnattendedRun::Stop::After
                               : (at_->isChecked() ? UnattendedRun::Stop::At : UnattendedRun::Stop::WhenTold);
  f.afterText = afterText_->text();
  f.at = atTime_->dateTime();
  for (int d = 0; d < kMeterPositions; ++d) {
    f.high[d] = high_[d]->text();
    f.low[d] = low_[d]->text();
  }
  return f;
}

void UnattendedRunDialog::done(int result) {
  if (result == QDialog::Accepted) {
    QString error;
    result_ = Form().Read(clock_.Now(), &error);
    if (!result_) {
      prompter_.Message(error, QString(), Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
      return;  // stays open for the correction
    }
  } else {
    result_.reset();
  }
  QDialog::done(result);
}

}  // namespace merilog::ui
