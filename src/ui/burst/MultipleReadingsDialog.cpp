#include "ui/burst/MultipleReadingsDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/burst/MultipleReadingsModel.h"
#include "ui/widgets/DialogParts.h"

namespace merilog::ui {

MultipleReadingsDialog::MultipleReadingsDialog(Prompter& prompter, const Clock& clock, QWidget* parent)
    : QDialog(parent), model_(std::make_unique<MultipleReadingsModel>(prompter, clock)) {
  Build();
  Connect();
  model_->onChanged = [this] { Render(); };
  Render();
}

MultipleReadingsDialog::~MultipleReadingsDialog() {
  model_->onChanged = nullptr;
}

void MultipleReadingsDialog::Build() {
  auto* top = new QVBoxLayout(this);
  deviceList_ = new QListWidget(this);
  deviceList_->setMinimumWidth(320);
  deviceList_->setMaximumHeight(110);
  top->addWidget(deviceList_);

  auto* fields = new QGridLayout;
  numberCaption_ = new QLabel(this);
  number_ = new QLineEdit(this);
  number_->setMaxLength(6);
  recordCaption_ = new QLabel(this);
  records_ = new QComboBox(this);
  records_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  fields->addWidget(numberCaption_, 0, 0);
  fields->addWidget(number_, 0, 1);
  fields->addWidget(recordCaption_, 1, 0);
  fields->addWidget(records_, 1, 1);
  top->addLayout(fields);

  progress_ = new QProgressBar(this);
  progress_->setTextVisible(false);
  progressText_ = new QLabel(this);
  top->addWidget(progress_);
  top->addWidget(progressText_);

  auto* buttons = new QHBoxLayout;
  start_ = new QPushButton(this);
  stop_ = new QPushButton(this);
  exit_ = new QPushButton(this);
  start_->setAutoDefault(false);
  stop_->setAutoDefault(false);
  exit_->setAutoDefault(false);
  buttons->addWidget(start_);
  buttons->addWidget(stop_);
  buttons->addStretch();
  buttons->addWidget(exit_);
  top->addLayout(buttons);
}

void MultipleReadingsDialog::Connect() {
  connect(deviceList_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!rendering_) model_->DeviceSelected(row);
  });
  connect(number_, &QLineEdit::textEdited, this, [this](const QString& text) {
    model_->NumberEdited(text);
    Render();
  });
  connect(records_, &QComboBox::activated, this, [this](int entry) { model_->RecordChosen(entry); });
  connect(start_, &QPushButton::clicked, this, [this] {
    model_->Start();
    Render();
  });
  connect(stop_, &QPushButton::clicked, this, [this] {
    model_->Stop();
    Render();
  });
  connect(exit_, &QPushButton::clicked, this, [this] {
    if (model_->Exit()) accept();
  });
}

void MultipleReadingsDialog::reject() {
  if (model_->Exit()) QDialog::reject();
}

void MultipleReadingsDialog::Open(const DeviceHandOver& devices) {
  model_->HandOverDevices(devices);
  model_->Opening();
  Render();
}

int MultipleReadingsDialog::Run(const DeviceHandOver& devices) {
  Open(devices);
  return exec();
}

void MultipleReadingsDialog::Render() {
  rendering_ = true;
  const MultipleReadingsView& v = model_->View();
  setWindowTitle(v.title);
  numberCaption_->setText(v.numberCaption);
  recordCaption_->setText(v.recordCaption);
  start_->setText(v.startText);
  stop_->setText(v.stopText);
  exit_->setText(v.exitText);

  QStringList lines;
  for (int i = 0; i < deviceList_->count(); ++i) lines << deviceList_->item(i)->text();
  if (lines != v.deviceLines) {
    deviceList_->clear();
    deviceList_->addItems(v.deviceLines);
  }
  deviceList_->setCurrentRow(v.selectedDevice);
  ApplyControlState(deviceList_, v.deviceList);

  // Set only when it differs, so typing keeps its cursor.
  if (number_->text() != v.numberText) number_->setText(v.numberText);
  ApplyControlState(number_, v.numberField);

  QStringList shown;
  for (int i = 0; i < records_->count(); ++i) shown << records_->itemText(i);
  if (shown != v.recordEntries) {
    records_->clear();
    records_->addItems(v.recordEntries);
    // The dialog widens for the longest dated label rather than cutting it.
    records_->setMinimumWidth(records_->sizeHint().width());
  }
  records_->setCurrentIndex(v.selectedRecord);
  ApplyControlState(records_, v.recordChoice);

  ApplyControlState(start_, v.startButton);
  ApplyControlState(stop_, v.stopButton);
  ApplyControlState(exit_, v.exitButton);

  // Always laid out, so the dialog keeps its size when a burst starts.
  progress_->setRange(0, static_cast<int>(std::max<long long>(v.total, 1)));
  progress_->setValue(v.progressShown ? static_cast<int>(v.done) : 0);
  progressText_->setText(v.progressShown ? v.progressText : QString());
  rendering_ = false;
}

}  // namespace merilog::ui
