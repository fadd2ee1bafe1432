#include "ui/readingconfig/ReadingSettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "core/readingconfig/ReadingSettingsModel.h"
#include "ui/readingconfig/ColourSwatch.h"
#include "ui/widgets/DialogParts.h"

namespace merilog::ui {

namespace {

QColor ToQColor(const Rgb& c) {
  return QColor(c.r, c.g, c.b);
}

}  // namespace

ReadingSettingsDialog::ReadingSettingsDialog(ReadingSettingsModel& model, QWidget* parent)
    : QDialog(parent), model_(model) {
  Build();
  Connect();
  Render();
  model_.onChanged = [this] { Render(); };
}

ReadingSettingsDialog::~ReadingSettingsDialog() {
  model_.onChanged = nullptr;
}

void ReadingSettingsDialog::Build() {
  auto* top = new QVBoxLayout(this);
  // The dialog follows its contents as the mode shows one set of controls or the other.
  top->setSizeConstraint(QLayout::SetFixedSize);

  explanation_ = new QLabel(this);
  explanation_->setWordWrap(true);
  explanation_->setMinimumWidth(360);
  top->addWidget(explanation_);

  modeFrame_ = new QGroupBox(this);
  auto* modeLayout = new QHBoxLayout(modeFrame_);
  singleRadio_ = new QRadioButton(modeFrame_);
  multiRadio_ = new QRadioButton(modeFrame_);
  modeLayout->addWidget(singleRadio_);
  modeLayout->addWidget(multiRadio_);
  modeLayout->addStretch();
  top->addWidget(modeFrame_);

  dualMeasure_ = new QCheckBox(this);
  top->addWidget(dualMeasure_);

  // Single-device controls.
  singleGroup_ = new QWidget(this);
  auto* single = new QGridLayout(singleGroup_);
  single->setContentsMargins(0, 0, 0, 0);
  singleColourCaption_ = new QLabel(singleGroup_);
  singleSwatch_ = new ColourSwatch(singleGroup_);
  singleColour_ = new QPushButton(singleGroup_);
  singleSecondSwatch_ = new ColourSwatch(singleGroup_);
  singleSecondColour_ = new QPushButton(singleGroup_);
  singleSave_ = new QCheckBox(singleGroup_);
  singleRecords_ = new QComboBox(singleGroup_);
  singleRecords_->setMinimumContentsLength(28);
  single->addWidget(singleColourCaption_, 0, 0);
  single->addWidget(singleSwatch_, 0, 1);
  single->addWidget(singleColour_, 0, 2);
  single->addWidget(singleSecondSwatch_, 1, 1);
  single->addWidget(singleSecondColour_, 1, 2);
  single->addWidget(singleSave_, 2, 0);
  single->addWidget(singleRecords_, 2, 1, 1, 2);
  single->setColumnStretch(3, 1);
  top->addWidget(singleGroup_);

  // Multi-device controls.
  multiGroup_ = new QGroupBox(this);
  auto* multi = new QGridLayout(multiGroup_);
  deviceList_ = new QListWidget(multiGroup_);
  deviceList_->setSelectionMode(QAbstractItemView::MultiSelection);
  // Room for the eight meters discovery can list, without a long empty well.
  deviceList_->setFixedHeight(deviceList_->fontMetrics().height() * 8 + 2 * deviceList_->frameWidth() + 4);
  select_ = new QPushButton(multiGroup_);
  deviceCaption_ = new QLabel(multiGroup_);
  previous_ = new QPushButton(QStringLiteral("<<"), multiGroup_);
  next_ = new QPushButton(QStringLiteral(">>"), multiGroup_);
  for (QPushButton* b : {previous_, next_}) b->setMaximumWidth(40);
  deviceName_ = new QLabel(multiGroup_);
  deviceName_->setAlignment(Qt::AlignCenter);
  deviceName_->setMinimumWidth(220);
  deviceName_->setFrameShape(QFrame::StyledPanel);
  multiColourCaption_ = new QLabel(multiGroup_);
  multiSwatch_ = new ColourSwatch(multiGroup_);
  multiColour_ = new QPushButton(multiGroup_);
  multiSecondSwatch_ = new ColourSwatch(multiGroup_);
  multiSecondColour_ = new QPushButton(multiGroup_);
  multiSave_ = new QCheckBox(multiGroup_);
  multiRecords_ = new QComboBox(multiGroup_);
  multiRecords_->setMinimumContentsLength(28);

  multi->addWidget(deviceList_, 0, 0, 1, 4);
  multi->addWidget(select_, 0, 4, Qt::AlignTop);
  multi->addWidget(deviceCaption_, 1, 0);
  auto* stepRow = new QHBoxLayout;
  stepRow->addWidget(previous_);
  stepRow->addWidget(deviceName_, 1);
  stepRow->addWidget(next_);
  multi->addLayout(stepRow, 1, 1, 1, 4);
  multi->addWidget(multiColourCaption_, 2, 0);
  multi->addWidget(multiSwatch_, 2, 1);
  multi->addWidget(multiColour_, 2, 2);
  multi->addWidget(multiSecondSwatch_, 3, 1);
  multi->addWidget(multiSecondColour_, 3, 2);
  multi->addWidget(multiSave_, 4, 0);
  multi->addWidget(multiRecords_, 4, 1, 1, 4);
  top->addWidget(multiGroup_);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  ok_ = new QPushButton(this);
  ok_->setDefault(true);
  cancel_ = new QPushButton(this);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  top->addLayout(buttons);
}

void ReadingSettingsDialog::Connect() {
  // Every handler changes the model, then the whole dialog is drawn again from it.
  auto forward = [this](auto handler) {
    return [this, handler](auto&&... args) {
      if (rendering_) return;
      handler(std::forward<decltype(args)>(args)...);
      Render();
    };
  };
  connect(singleRadio_, &QRadioButton::clicked, this, forward([this](bool) { model_.SingleDeviceChosen(); }));
  connect(multiRadio_, &QRadioButton::clicked, this, forward([this](bool) { model_.MultiDeviceChosen(); }));
  connect(dualMeasure_, &QCheckBox::toggled, this, forward([this](bool on) { model_.DualMeasureToggled(on); }));
  connect(singleSave_, &QCheckBox::toggled, this, forward([this](bool on) { model_.SingleSaveToggled(on); }));
  connect(multiSave_, &QCheckBox::toggled, this, forward([this](bool on) { model_.MultiSaveToggled(on); }));
  connect(singleRecords_, &QComboBox::activated, this, forward([this](int i) { model_.SingleRecordChosen(i); }));
  connect(multiRecords_, &QComboBox::activated, this, forward([this](int i) { model_.MultiRecordChosen(i); }));
  connect(singleColour_, &QPushButton::clicked, this,
          forward([this](bool) { model_.ChangeColour(ColourButton::SingleMain); }));
  connect(singleSecondColour_, &QPushButton::clicked, this,
          forward([this](bool) { model_.ChangeColour(ColourButton::SingleSecond); }));
  connect(multiColour_, &QPushButton::clicked, this,
          forward([this](bool) { model_.ChangeColour(ColourButton::MultiMain); }));
  connect(multiSecondColour_, &QPushButton::clicked, this,
          forward([this](bool) { model_.ChangeColour(ColourButton::MultiSecond); }));
  connect(previous_, &QPushButton::clicked, this, forward([this](bool) { model_.Previous(); }));
  connect(next_, &QPushButton::clicked, this, forward([this](bool) { model_.Next(); }));
  connect(select_, &QPushButton::clicked, this, forward([this](bool) { model_.Select(); }));
  connect(deviceList_, &QListWidget::itemSelectionChanged, this, [this] {
    if (rendering_) return;
    std::vector<int> lines;
    for (int i = 0; i < deviceList_->count(); ++i)
      if (deviceList_->item(i)->isSelected()) lines.push_back(i);
    model_.DeviceListSelectionChanged(std::move(lines));
  });
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void ReadingSettingsDialog::FillRecords(QComboBox* combo, const RecordChooserState& state) {
  SetItems(combo, state.entries);
  combo->setPlaceholderText(state.placeholder);
  combo->setCurrentIndex(state.selected);
  ApplyControlState(combo, state.control);
}

void ReadingSettingsDialog::Render() {
  rendering_ = true;
  const ReadingSettingsViewState& v = model_.View();
  const ReadingSettings& s = model_.Settings();

  setWindowTitle(v.title);
  explanation_->setText(v.explanation);
  modeFrame_->setTitle(v.modeFrame);
  singleRadio_->setText(v.singleRadioText);
  multiRadio_->setText(v.multiRadioText);
  dualMeasure_->setText(v.dualMeasureText);
  for (QLabel* l : {singleColourCaption_, multiColourCaption_}) l->setText(v.colourCaption);
  for (QPushButton* b : {singleColour_, multiColour_}) b->setText(v.changeColourText);
  for (QPushButton* b : {singleSecondColour_, multiSecondColour_}) b->setText(v.secondChangeColourText);
  for (QCheckBox* c : {singleSave_, multiSave_}) c->setText(v.saveText);
  multiGroup_->setTitle(v.settingsFrame);
  deviceCaption_->setText(v.deviceCaption);
  select_->setText(v.selectText);
  ok_->setText(v.okText);
  cancel_->setText(v.cancelText);

  ApplyControlState(singleRadio_, v.singleRadio);
  ApplyControlState(multiRadio_, v.multiRadio);
  singleRadio_->setChecked(v.singleChecked);
  multiRadio_->setChecked(!v.singleChecked);
  ApplyControlState(dualMeasure_, v.dualMeasureBox);
  dualMeasure_->setChecked(v.dualMeasureChecked);
  ApplyControlState(ok_, v.okButton);

  ApplyControlState(singleGroup_, v.singleGroup);
  ApplyControlState(singleSwatch_, v.singleSwatch);
  ApplyControlState(singleColour_, v.singleChangeColour);
  ApplyControlState(singleSecondSwatch_, v.singleSecondSwatch);
  ApplyControlState(singleSecondColour_, v.singleSecondChangeColour);
  ApplyControlState(singleSave_, v.singleSaveBox);
  singleSave_->setChecked(v.singleSaveChecked);
  FillRecords(singleRecords_, v.singleRecords);
  singleSwatch_->SetColour(ToQColor(v.singleSwatchColour));
  singleSecondSwatch_->SetColour(ToQColor(v.singleSecondSwatchColour));

  ApplyControlState(multiGroup_, v.multiGroup);
  ApplyControlState(deviceList_, v.deviceList);
  ApplyControlState(select_, v.selectButton);
  QStringList names;
  for (int i = 0; i < deviceList_->count(); ++i) names << deviceList_->item(i)->text();
  if (names != v.deviceNames) {
    deviceList_->clear();
    deviceList_->addItems(v.deviceNames);
  }
  for (int i = 0; i < deviceList_->count(); ++i)
    deviceList_->item(i)->setSelected(std::find(v.deviceSelection.begin(), v.deviceSelection.end(), i) !=
                                      v.deviceSelection.end());
  ApplyControlState(previous_, v.previousButton);
  ApplyControlState(next_, v.nextButton);
  ApplyControlState(deviceName_, v.deviceName);
  deviceName_->setText(QString::fromStdString(s.deviceNameText));
  ApplyControlState(multiSwatch_, v.multiSwatch);
  ApplyControlState(multiColour_, v.multiChangeColour);
  ApplyControlState(multiSecondSwatch_, v.multiSecondSwatch);
  ApplyControlState(multiSecondColour_, v.multiSecondChangeColour);
  ApplyControlState(multiSave_, v.multiSaveBox);
  multiSave_->setChecked(v.multiSaveChecked);
  FillRecords(multiRecords_, v.multiRecords);
  multiSwatch_->SetColour(ToQColor(v.multiSwatchColour));
  multiSecondSwatch_->SetColour(ToQColor(v.multiSecondSwatchColour));
  rendering_ = false;
}

void ReadingSettingsDialog::Open() {
  model_.Opening();
  Render();
}

int ReadingSettingsDialog::Run() {
  Open();
  return exec();
}

void ReadingSettingsDialog::done(int result) {
  if (result == QDialog::Accepted) {
    const bool mayClose = model_.Ok();
    Render();
    if (!mayClose) return;
  } else {
    model_.Cancel();
  }
  QDialog::done(result);
}

}  // namespace merilog::ui
