#include "ui/meterconfig/DeviceSettingsDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/meterconfig/DeviceSettingsModel.h"
#include "ui/widgets/DialogParts.h"

namespace merilog::ui {

namespace {

void Apply(QWidget* widget, const ControlState& state, bool busy = false) {
  ApplyControlState(widget, state);
  if (busy) widget->setEnabled(false);
}

// A caption over a list, as one column of the layout.
QListWidget* AddListColumn(QBoxLayout* into, QWidget* parent, QLabel** caption, int minimumWidth) {
  auto* column = new QVBoxLayout;
  *caption = new QLabel(parent);
  auto* list = new QListWidget(parent);
  list->setMinimumWidth(minimumWidth);
  column->addWidget(*caption);
  column->addWidget(list);
  into->addLayout(column);
  return list;
}

}  // namespace

DeviceSettingsDialog::DeviceSettingsDialog(DeviceSettingsModel& model, QWidget* parent)
    : QDialog(parent), model_(model) {
  Build();
  Connect();
  // The model may outlive the window (or go first, when both belong to the main window).
  model_.onChanged = [self = QPointer<DeviceSettingsDialog>(this)] {
    if (self) self->Render();
  };
  Render();
}

void DeviceSettingsDialog::Build() {
  auto* top = new QVBoxLayout(this);
  auto* columns = new QHBoxLayout;
  top->addLayout(columns);

  deviceList_ = AddListColumn(columns, this, &deviceCaption_, 220);
  settingsFrame_ = new QGroupBox(this);
  auto* frame = new QHBoxLayout(settingsFrame_);
  functionList_ = AddListColumn(frame, settingsFrame_, &functionCaption_, 140);

  auto* choices = new QGridLayout;
  int row = 0;
  // The primary boxes, the coefficient panel's three rows of two, then the 2ND boxes.
  const Box order[] = {kRange, kSecond, kTransducer, kSecondFunction, kSecondRange, kSecondChoice, kSecondTransducer};
  for (Box b : order) {
    if (b == kSecondFunction) {
      for (int slot = 0; slot < kCoefficientSlots; ++slot) {
        FieldWidgets& f = fields_[static_cast<std::size_t>(slot)];
        f.label = new QLabel(settingsFrame_);
        f.edit = new QLineEdit(settingsFrame_);
        f.edit->setMaximumWidth(110);
        const int column = (slot % 2) * 2;
        choices->addWidget(f.label, row + slot / 2, column);
        choices->addWidget(f.edit, row + slot / 2, column + 1);
      }
      row += kCoefficientSlots / 2;
    }
    boxes_[b].caption = new QLabel(settingsFrame_);
    boxes_[b].combo = new QComboBox(settingsFrame_);
    boxes_[b].combo->setMinimumContentsLength(14);
    choices->addWidget(boxes_[b].caption, row, 0);
    choices->addWidget(boxes_[b].combo, row, 1, 1, 3);
    ++row;
  }
  choices->setRowStretch(row, 1);
  frame->addLayout(choices);
  columns->addWidget(settingsFrame_, 1);

  auto* buttons = new QHBoxLayout;
  busy_ = new QProgressBar(this);
  busy_->setRange(0, 0);  // runs without a known end while the meter is asked
  busy_->setTextVisible(false);
  busy_->setMaximumWidth(160);
  set_ = new QPushButton(this);
  get_ = new QPushButton(this);
  exit_ = new QPushButton(this);
  // No button is the default: Enter in a coefficient field neither sends the
  // settings to the meter nor closes the dialog and throws the typing away.
  for (QPushButton* b : {set_, get_, exit_}) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }
  buttons->addWidget(busy_);
  buttons->addStretch();
  buttons->addWidget(get_);
  buttons->addWidget(set_);
  buttons->addWidget(exit_);
  top->addLayout(buttons);
}

void DeviceSettingsDialog::Connect() {
  connect(deviceList_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!rendering_ && row >= 0) model_.OnSettingsDeviceSelected(row);
  });
  connect(functionList_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!rendering_ && row >= 0) model_.OnFunctionSelected(row);
  });
  using Handler = void (DeviceSettingsModel::*)(int);
  const std::pair<Box, Handler> handlers[] = {
      {kRange, &DeviceSettingsModel::OnSensorSelected},
      {kSecond, &DeviceSettingsModel::SecondChoiceSelected},
      {kTransducer, &DeviceSettingsModel::TransducerSelected},
      {kSecondFunction, &DeviceSettingsModel::OnSecondFunctionSelected},
      {kSecondRange, &DeviceSettingsModel::SecondRangeSelected},
      {kSecondChoice, &DeviceSettingsModel::SecondSettingSelected},
      {kSecondTransducer, &DeviceSettingsModel::SecondTransducerSelected},
  };
  for (const auto& [box, handler] : handlers) {
    connect(boxes_[box].combo, &QComboBox::activated, this, [this, handler](int index) {
      if (!rendering_) (model_.*handler)(index);
    });
  }
  for (int slot = 0; slot < kCoefficientSlots; ++slot) {
    connect(fields_[static_cast<std::size_t>(slot)].edit, &QLineEdit::textEdited, this,
            [this, slot](const QString& text) { model_.CoefficientEdited(slot, text); });
  }
  connect(set_, &QPushButton::clicked, this, [this] { model_.ApplySettings(); });
  connect(get_, &QPushButton::clicked, this, [this] { model_.GetMultimeterSetting(); });
  connect(exit_, &QPushButton::clicked, this, [this] { accept(); });
}

const ChoiceBoxState& DeviceSettingsDialog::State(Box box) const {
  const DeviceSettingsViewState& v = model_.View();
  const ChoiceBoxState* states[] = {&v.range,       &v.second,       &v.transducer,      &v.secondFunction,
                                    &v.secondRange, &v.secondChoice, &v.secondTransducer};
  return *states[box];
}

void DeviceSettingsDialog::RenderBox(Box box, bool busy) {
  const ChoiceBoxState& s = State(box);
  BoxWidgets& w = boxes_[box];
  w.caption->setText(s.caption);
  QStringList present;
  for (int i = 0; i < w.combo->count(); ++i) present << w.combo->itemText(i);
  if (present != s.items) {
    w.combo->clear();
    w.combo->addItems(s.items);
  }
  w.combo->setPlaceholderText(s.placeholder);
  w.combo->setCurrentIndex(s.selected);
  Apply(w.caption, s.control);
  Apply(w.combo, s.control, busy);
}

void DeviceSettingsDialog::Render() {
  rendering_ = true;
  const DeviceSettingsViewState& v = model_.View();
  const bool busy = model_.Busy();
  setWindowTitle(v.title);
  deviceCaption_->setText(v.deviceListCaption);
  settingsFrame_->setTitle(v.settingsFrameText);
  functionCaption_->setText(v.functionCaption);
  set_->setText(v.setText);
  get_->setText(v.getText);
  exit_->setText(v.exitText);

  SetItems(deviceList_, v.devices, v.deviceSelected);
  Apply(deviceList_, v.deviceList, busy);
  SetItems(functionList_, v.functions, v.functionSelected);
  Apply(functionList_, v.functionList, busy);
  Apply(functionCaption_, v.functionList);
  settingsFrame_->setEnabled(v.settingsFrame.enabled);
  for (int b = 0; b < kBoxes; ++b) RenderBox(static_cast<Box>(b), busy);
  for (int slot = 0; slot < kCoefficientSlots; ++slot) {
    const CoefficientFieldState& s = v.coefficients[static_cast<std::size_t>(slot)];
    FieldWidgets& w = fields_[static_cast<std::size_t>(slot)];
    w.label->setText(s.label);
    if (w.edit->text() != s.text) w.edit->setText(s.text);
    w.label->setVisible(s.shown);
    w.edit->setVisible(s.shown);
    w.edit->setEnabled(!busy);
  }
  Apply(set_, v.setButton, busy);
  Apply(get_, v.getButton, busy);
  Apply(exit_, v.exitButton);
  busy_->setVisible(busy);
  if (busy)
    setCursor(Qt::BusyCursor);
  else
    unsetCursor();
  rendering_ = false;
}

void DeviceSettingsDialog::Open() {
  model_.OpenDialog();
  Render();
}

int DeviceSettingsDialog::Run() {
  Open();
  return exec();
}

void DeviceSettingsDialog::done(int result) {
  // Closing sends nothing; an exchange under way is forgotten, never waited for.
  model_.Close();
  QDialog::done(result);
}

}  // namespace merilog::ui
