#include "ui/recordview/RecordChartDialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>
#include <climits>

#include "core/recordview/RecordChartModel.h"
#include "ui/readingconfig/ColourSwatch.h"
#include "ui/recordview/RecordChartPainter.h"
#include "ui/widgets/DialogParts.h"

namespace merilog::ui {

RecordChartView::RecordChartView(const RecordChartModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  setFixedSize(RecordChartPicture::kWidth, RecordChartPicture::kHeight);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize RecordChartView::sizeHint() const {
  return {RecordChartPicture::kWidth, RecordChartPicture::kHeight};
}

void RecordChartView::paintEvent(QPaintEvent*) {
  const int version = model_.View().pictureVersion;
  if (version != snapshotVersion_ || snapshot_.isNull()) {
    // At the screen's density, so the lines stay one device pixel wide and sharp.
    const qreal ratio = devicePixelRatioF();
    snapshot_ = QPixmap(size() * ratio);
    snapshot_.setDevicePixelRatio(ratio);
    QPainter painter(&snapshot_);
    PaintRecordChart(painter, model_.Picture());
    snapshotVersion_ = version;
  }
  QPainter painter(this);
  painter.drawPixmap(0, 0, snapshot_);
  if (model_.Picture().marker) PaintChartMarker(painter, *model_.Picture().marker);
}

RecordChartDialog::RecordChartDialog(RecordChartModel& model, QWidget* parent) : ModelDialog(model, parent) {
  Build();
  Connect();
  Render();
}

RecordChartDialog::~RecordChartDialog() = default;

void RecordChartDialog::Build() {
  auto* top = new QVBoxLayout(this);
  top->setSizeConstraint(QLayout::SetFixedSize);

  settings_ = new QGroupBox(this);
  auto* grid = new QGridLayout(settings_);
  records_ = new QComboBox(settings_);
  records_->setMinimumContentsLength(44);
  countCaption_ = new QLabel(settings_);
  count_ = ReadoutLabel(settings_, QStringLiteral("000000000000"));
  grid->addWidget(records_, 0, 0, 1, 4);
  grid->addWidget(countCaption_, 0, 4);
  grid->addWidget(count_, 0, 5);

  all_ = new QRadioButton(settings_);
  range_ = new QRadioButton(settings_);
  modes_ = new QButtonGroup(this);
  modes_->addButton(all_, 0);
  modes_->addButton(range_, 1);
  from_ = new QLineEdit(settings_);
  to_ = new QLineEdit(settings_);
  for (QLineEdit* e : {from_, to_}) e->setMaximumWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("0")) * 11);
  toCaption_ = new QLabel(settings_);
  after_ = new QLabel(settings_);
  grid->addWidget(all_, 1, 0, 1, 2);
  auto* rangeRow = new QHBoxLayout;
  rangeRow->addWidget(range_);
  rangeRow->addWidget(from_);
  rangeRow->addWidget(toCaption_);
  rangeRow->addWidget(to_);
  rangeRow->addWidget(after_);
  rangeRow->addStretch();
  grid->addLayout(rangeRow, 2, 0, 1, 6);

  scaleCaption_ = new QLabel(settings_);
  scales_ = new QComboBox(settings_);
  colourCaption_ = new QLabel(settings_);
  swatch_ = new ColourSwatch(settings_);
  colour_ = new QPushButton(settings_);
  grid->addWidget(scaleCaption_, 3, 0);
  grid->addWidget(scales_, 3, 1);
  grid->addWidget(colourCaption_, 3, 2);
  grid->addWidget(swatch_, 3, 3);
  grid->addWidget(colour_, 3, 4);

  draw_ = new QPushButton(settings_);
  draw2nd_ = new QPushButton(settings_);
  clear_ = new QPushButton(settings_);
  auto* drawRow = new QHBoxLayout;
  drawRow->addWidget(draw_);
  drawRow->addWidget(draw2nd_);
  drawRow->addWidget(clear_);
  drawRow->addStretch();
  grid->addLayout(drawRow, 4, 0, 1, 6);
  top->addWidget(settings_);

  chart_ = new RecordChartView(model_, this);
  top->addWidget(chart_);
  slider_ = new QSlider(Qt::Horizontal, this);
  top->addWidget(slider_);
  auto* readout = new QHBoxLayout;
  cursorNumber_ = ReadoutLabel(this, QStringLiteral("000000000"));
  cursorValue_ = ReadoutLabel(this, QStringLiteral("-000000.000000000000000"));
  cursorDate_ = ReadoutLabel(this, QStringLiteral("00 / 00 / 00 -- 00 : 00 : 00"));
  readout->addWidget(cursorNumber_);
  readout->addWidget(cursorValue_);
  readout->addWidget(cursorDate_);
  readout->addStretch();
  top->addLayout(readout);

  auto* bottom = new QHBoxLayout;
  progress_ = new QProgressBar(this);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  exit_ = new QPushButton(this);
  bottom->addWidget(progress_, 1);
  bottom->addWidget(cancel_);
  bottom->addStretch();
  bottom->addWidget(exit_);
  top->addLayout(bottom);

  // Enter belongs to the range fields (the dialog never closes on it), not to a button.
  for (QPushButton* b : {colour_, draw_, draw2nd_, clear_, exit_, cancel_}) b->setAutoDefault(false);
}

void RecordChartDialog::Connect() {
  // Every handler changes the model, then the whole dialog is drawn again from it.
  const auto forward = Forward(this, rendering_);
  RenderOnChange(model_.onChanged, this);
  connect(records_, &QComboBox::activated, this, forward([this](int i) { model_.RecordChosen(i); }));
  connect(all_, &QRadioButton::clicked, this, forward([this](bool) { model_.AllChosen(); }));
  connect(range_, &QRadioButton::clicked, this, forward([this](bool) { model_.RangeChosen(); }));
  connect(scales_, &QComboBox::activated, this, forward([this](int i) { model_.ScaleChosen(i); }));
  connect(colour_, &QPushButton::clicked, this, forward([this](bool) { model_.ChangeColour(); }));
  connect(draw_, &QPushButton::clicked, this, forward([this](bool) { model_.Draw(); }));
  connect(draw2nd_, &QPushButton::clicked, this, forward([this](bool) { model_.Draw2nd(); }));
  connect(clear_, &QPushButton::clicked, this, forward([this](bool) { model_.Clear(); }));
  connect(cancel_, &QPushButton::clicked, this, [this] { model_.CancelDraw(); });
  connect(slider_, &QSlider::valueChanged, this, forward([this](int p) { model_.SliderMoved(p); }));
  connect(from_, &QLineEdit::textEdited, this, forward([this](const QString& t) { model_.FromTextEdited(t); }));
  connect(to_, &QLineEdit::textEdited, this, forward([this](const QString& t) { model_.ToTextEdited(t); }));
  connect(exit_, &QPushButton::clicked, this, &QDialog::accept);
}

void RecordChartDialog::Render() {
  rendering_ = true;
  const RecordChartViewState& v = model_.View();
  setWindowTitle(v.title);
  settings_->setTitle(v.settingsFrame);
  countCaption_->setText(v.countCaption);
  all_->setText(v.allText);
  range_->setText(v.rangeText);
  toCaption_->setText(v.toCaption);
  after_->setText(v.afterText);
  after_->setVisible(!v.afterText.isEmpty());
  scaleCaption_->setText(v.scaleCaption);
  colourCaption_->setText(v.colourCaption);
  colour_->setText(v.changeColourText);
  draw_->setText(v.drawText);
  draw2nd_->setText(v.draw2ndText);
  clear_->setText(v.clearText);
  exit_->setText(v.exitText);

  SetItems(records_, v.records);
  records_->setPlaceholderText(v.recordPlaceholder);
  records_->setCurrentIndex(v.selectedRecord);
  count_->setText(v.count);
  (v.rangeMode ? range_ : all_)->setChecked(true);
  ApplyControlState(from_, v.fromField);
  ApplyControlState(to_, v.toField);
  SetText(from_, v.fromText);
  SetText(to_, v.toText);
  if (scales_->count() != v.scales.size()) {
    scales_->clear();
    scales_->addItems(v.scales);
  }
  scales_->setCurrentIndex(v.selectedScale);
  swatch_->SetColour(QColor(v.lineColour.r, v.lineColour.g, v.lineColour.b));
  ApplyControlState(draw_, v.drawButton);
  ApplyControlState(draw2nd_, v.draw2ndButton);
  ApplyControlState(clear_, v.clearButton);
  ApplyControlState(cancel_, v.cancelButton);
  progress_->setVisible(v.progressShown);
  progress_->setRange(0, static_cast<int>(std::min<qint64>(v.progressMaximum, INT_MAX)));
  progress_->setValue(static_cast<int>(std::min<qint64>(v.progressValue, INT_MAX)));
  // While a draw runs only its cancel button (and Exit, which cancels it) take clicks.
  settings_->setEnabled(!v.drawing);
  slider_->setEnabled(!v.drawing);

  slider_->setRange(0, v.sliderMaximum);
  slider_->setValue(v.sliderPosition);
  cursorNumber_->setText(v.cursorNumber);
  cursorValue_->setText(v.cursorValue);
  cursorDate_->setText(v.cursorDate);
  chart_->update();

  if (v.toFieldFocusRequests != toFocusRequests_) {
    toFocusRequests_ = v.toFieldFocusRequests;
    to_->setFocus();
  }
  waitCursor_.Show(v.waitCursor);
  rendering_ = false;
}

void RecordChartDialog::Enter(const QWidget* focus) {
  model_.EnterPressed(focus == from_ ? ChartField::From : focus == to_ ? ChartField::To : ChartField::Other);
}

}  // namespace merilog::ui
