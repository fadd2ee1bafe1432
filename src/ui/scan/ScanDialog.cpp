#include "ui/scan/ScanDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QTableView>
#include <QTimeEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/scan/ScanModel.h"
#include "ui/widgets/DialogParts.h"

namespace merilog::ui {

namespace {

// The grid's widths are given in twips; a screen pixel is 15 of them at 96 dots per inch.
constexpr int kTwipsPerPixel = 15;
const QString kPickerFormat = QStringLiteral("yyyy/MM/dd HH:mm:ss");

}  // namespace

ScanDialog::ScanDialog(ScanModel& model, QWidget* parent) : QDialog(parent), model_(model) {
  Build();
  Connect();
  model_.onChanged = [this] { Render(); };
  Render();
}

ScanDialog::~ScanDialog() {
  model_.onChanged = nullptr;
}

void ScanDialog::Apply(QWidget* widget, const ControlState& state) {
  widget->setVisible(state.shown);
  widget->setEnabled(state.enabled);
}

void ScanDialog::Build() {
  auto* top = new QHBoxLayout(this);
  auto* left = new QVBoxLayout;
  top->addLayout(left);

  deviceLabel_ = new QLabel(this);
  devices_ = new QListWidget(this);
  devices_->setMaximumHeight(90);
  left->addWidget(deviceLabel_);
  left->addWidget(devices_);

  settings_ = new QGroupBox(this);
  auto* grid = new QGridLayout(settings_);
  int row = 0;
  // Two labelled fields side by side on a row of the settings.
  auto pair = [&](QLabel** l1, QWidget* w1, QLabel** l2, QWidget* w2) {
    *l1 = new QLabel(settings_);
    *l2 = new QLabel(settings_);
    grid->addWidget(*l1, row, 0);
    grid->addWidget(w1, row, 1);
    grid->addWidget(*l2, row, 2);
    grid->addWidget(w2, row++, 3);
  };
  channel_ = new QComboBox(settings_);
  function_ = new QComboBox(settings_);
  pair(&channelLabel_, channel_, &functionLabel_, function_);
  shuntR_ = new QLineEdit(settings_);
  offset_ = new QLineEdit(settings_);
  pair(&shuntRLabel_, shuntR_, &offsetLabel_, offset_);
  formula_ = new QLabel(settings_);
  grid->addWidget(formula_, row++, 0, 1, 4);
  timer_ = new QLineEdit(settings_);
  scanCount_ = new QLineEdit(settings_);
  scanCount_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), scanCount_));
  pair(&timerLabel_, timer_, &scanCountLabel_, scanCount_);
  mode_ = new QComboBox(settings_);
  grid->addWidget(mode_, row++, 1);

  atTime_ = new QCheckBox(settings_);
  atTimePicker_ = new QDateTimeEdit(settings_);
  atTimePicker_->setDisplayFormat(kPickerFormat);
  grid->addWidget(atTime_, row, 0, 1, 2);
  grid->addWidget(atTimePicker_, row++, 2, 1, 2);
  stopTime_ = new QCheckBox(settings_);
  stopTimePicker_ = new QDateTimeEdit(settings_);
  stopTimePicker_->setDisplayFormat(kPickerFormat);
  grid->addWidget(stopTime_, row, 0, 1, 2);
  grid->addWidget(stopTimePicker_, row++, 2, 1, 2);
  perScan_ = new QCheckBox(settings_);
  interval_ = new QTimeEdit(settings_);
  interval_->setDisplayFormat(QStringLiteral("HH:mm:ss"));
  grid->addWidget(perScan_, row, 0, 1, 2);
  grid->addWidget(interval_, row++, 2, 1, 2);
  stopAfterN_ = new QCheckBox(settings_);
  auto* nBox = new QHBoxLayout;
  n_ = new QLineEdit(settings_);
  n_->setMaximumWidth(60);
  nUp_ = new QToolButton(settings_);
  nUp_->setArrowType(Qt::UpArrow);
  nDown_ = new QToolButton(settings_);
  nDown_->setArrowType(Qt::DownArrow);
  nBox->addWidget(n_);
  nBox->addWidget(nUp_);
  nBox->addWidget(nDown_);
  nBox->addStretch();
  grid->addWidget(stopAfterN_, row, 0, 1, 2);
  grid->addLayout(nBox, row++, 2, 1, 2);
  left->addWidget(settings_);

  auto* buttons = new QHBoxLayout;
  start_ = new QPushButton(this);
  stop_ = new QPushButton(this);
  export_ = new QPushButton(this);
  exit_ = new QPushButton(this);
  progress_ = new QLabel(this);
  progress_->setMinimumWidth(80);
  buttons->addWidget(start_);
  buttons->addWidget(stop_);
  buttons->addWidget(export_);
  buttons->addWidget(exit_);
  buttons->addWidget(progress_);
  buttons->addStretch();
  left->addLayout(buttons);
  status_ = new QLabel(this);
  status_->setWordWrap(true);
  left->addWidget(status_);
  left->addStretch();

  grid_ = new QTableView(this);
  grid_->setModel(&model_.Grid());
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->verticalHeader()->setMinimumWidth(600 / kTwipsPerPixel);
  grid_->setMinimumWidth(560);
  top->addWidget(grid_, 1);
  resize(1100, 560);
}

void ScanDialog::Connect() {
  ScanModel& m = model_;
  connect(devices_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!rendering_ && row >= 0) model_.ScanDeviceChosen(row);
  });
  connect(channel_, &QComboBox::activated, this, [&m](int i) { m.ScanChannelChosen(i); });
  connect(function_, &QComboBox::activated, this, [&m](int i) { m.ScanFunctionChosen(i); });
  connect(mode_, &QComboBox::activated, this, [&m](int i) { m.ScanModeChosen(i); });
  connect(shuntR_, &QLineEdit::textEdited, this, [&m](const QString& t) { m.ShuntREdited(t); });
  connect(offset_, &QLineEdit::textEdited, this, [&m](const QString& t) { m.CurrentOffsetEdited(t); });
  connect(timer_, &QLineEdit::textEdited, this, [&m](const QString& t) { m.TimerEdited(t); });
  connect(scanCount_, &QLineEdit::textEdited, this, [&m](const QString& t) { m.ScanCountEdited(t); });
  connect(n_, &QLineEdit::textEdited, this, [&m](const QString& t) { m.NEdited(t); });
  connect(nUp_, &QToolButton::clicked, this, [&m] { m.StepN(1); });
  connect(nDown_, &QToolButton::clicked, this, [&m] { m.StepN(-1); });
  connect(atTime_, &QCheckBox::clicked, this, [&m](bool on) { m.AtTimeToggled(on); });
  connect(stopTime_, &QCheckBox::clicked, this, [&m](bool on) { m.StopTimeToggled(on); });
  connect(perScan_, &QCheckBox::clicked, this, [&m](bool on) { m.PerScanIntervalToggled(on); });
  connect(stopAfterN_, &QCheckBox::clicked, this, [&m](bool on) { m.StopAfterNToggled(on); });
  connect(atTimePicker_, &QDateTimeEdit::dateTimeChanged, this, [this](const QDateTime& t) {
    if (!rendering_) model_.PickerChanged(ScanPicker::AtTime, t);
  });
  connect(stopTimePicker_, &QDateTimeEdit::dateTimeChanged, this, [this](const QDateTime& t) {
    if (!rendering_) model_.PickerChanged(ScanPicker::StopTime, t);
  });
  connect(interval_, &QTimeEdit::timeChanged, this, [this](const QTime& t) {
    if (!rendering_) model_.IntervalChanged(t);
  });
  connect(start_, &QPushButton::clicked, this, [&m] { m.StartScan(); });
  connect(stop_, &QPushButton::clicked, this, [&m] { m.StopScan(); });
  connect(export_, &QPushButton::clicked, this, [&m] { m.ExportToSpreadsheet(); });
  connect(exit_, &QPushButton::clicked, this, &QDialog::accept);
}

int ScanDialog::Run() {
  Open();
  return exec();
}

void ScanDialog::Open() {
  model_.OpenScanDialog();
}

void ScanDialog::done(int result) {
  // Exit, Esc and the close box all stop a run and close the dialog's meters.
  model_.Exit();
  QDialog::done(result);
}

void ScanDialog::Render() {
  if (rendering_) return;
  rendering_ = true;
  const ScanViewState v = model_.View();
  setWindowTitle(v.title);
  deviceLabel_->setText(v.deviceListLabel);
  settings_->setTitle(v.settingsLabel);
  channelLabel_->setText(v.channelLabel);
  functionLabel_->setText(v.functionLabel);
  timerLabel_->setText(v.timerLabel);
  scanCountLabel_->setText(v.scanCountLabel);
  shuntRLabel_->setText(v.shuntRLabel);
  offsetLabel_->setText(v.currentOffsetLabel);
  formula_->setText(v.formula);
  start_->setText(v.startText);
  stop_->setText(v.stopText);
  export_->setText(v.exportText);
  exit_->setText(v.exitText);
  atTime_->setText(v.atTimeText);
  stopTime_->setText(v.stopTimeText);
  perScan_->setText(v.perScanText);
  stopAfterN_->setText(v.stopAfterNText);
  progress_->setText(v.progressText);
  status_->setText(v.statusText);

  {
    const QSignalBlocker block(devices_);
    QStringList shown;
    for (int i = 0; i < devices_->count(); ++i) shown << devices_->item(i)->text();
    if (shown != v.deviceNames) {
      devices_->clear();
      devices_->addItems(v.deviceNames);
    }
    devices_->setCurrentRow(v.deviceSelected);
  }
  SetItems(channel_, v.channelItems, v.channelSelected);
  SetItems(function_, v.functionItems, v.functionSelected);
  SetItems(mode_, v.modeItems, v.modeSelected);
  SetText(shuntR_, v.shuntRText);
  SetText(offset_, v.currentOffsetText);
  SetText(timer_, v.timerText);
  SetText(scanCount_, v.scanCountText);
  SetText(n_, v.nText);
  atTime_->setChecked(v.atTimeChecked);
  stopTime_->setChecked(v.stopTimeChecked);
  perScan_->setChecked(v.perScanChecked);
  stopAfterN_->setChecked(v.stopAfterNChecked);
  if (atTimePicker_->dateTime() != v.atTime) atTimePicker_->setDateTime(v.atTime);
  if (stopTimePicker_->dateTime() != v.stopTime) stopTimePicker_->setDateTime(v.stopTime);
  if (interval_->time() != v.interval) interval_->setTime(v.interval);

  Apply(devices_, v.deviceList);
  Apply(settings_, v.settingsGroup);
  for (QWidget* w : {static_cast<QWidget*>(channelLabel_), static_cast<QWidget*>(functionLabel_)})
    Apply(w, v.channelLabels);
  Apply(channel_, v.channelChooser);
  Apply(function_, v.functionChooser);
  for (QWidget* w :
       {static_cast<QWidget*>(shuntR_), static_cast<QWidget*>(offset_), static_cast<QWidget*>(shuntRLabel_),
        static_cast<QWidget*>(offsetLabel_), static_cast<QWidget*>(formula_)})
    Apply(w, v.currentFields);
  Apply(timer_, v.timerField);
  Apply(scanCount_, v.scanCountField);
  Apply(mode_, v.modeChooser);
  Apply(start_, v.startButton);
  Apply(stop_, v.stopButton);
  Apply(atTime_, v.atTimeBox);
  Apply(atTimePicker_, v.atTimePicker);
  Apply(stopTime_, v.stopTimeBox);
  Apply(stopTimePicker_, v.stopTimePicker);
  Apply(perScan_, v.perScanBox);
  Apply(interval_, v.intervalPicker);
  Apply(stopAfterN_, v.stopAfterNBox);
  for (QWidget* w : {static_cast<QWidget*>(n_), static_cast<QWidget*>(nUp_), static_cast<QWidget*>(nDown_)})
    Apply(w, v.nField);
  Apply(export_, v.exportButton);

  const ScanResultsGrid& g = model_.Grid();
  for (int c = 1; c < g.Columns(); ++c)
    grid_->setColumnWidth(c - 1, ScanResultsGrid::ColumnWidthTwips(c) / kTwipsPerPixel);
  // New scans appear at the bottom: keep them in sight.
  if (g.Rows() > shownRows_) grid_->scrollToBottom();
  shownRows_ = g.Rows();
  setCursor(v.busy ? Qt::WaitCursor : Qt::ArrowCursor);
  rendering_ = false;
}

}  // namespace merilog::ui
