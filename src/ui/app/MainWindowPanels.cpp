#include "ui/app/MainWindowPanels.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "ui/widgets/ShapedButton.h"

namespace merilog::ui {

namespace {

constexpr int kChartWidth = 584;
constexpr int kChartHeight = 338;
constexpr int kMarkerColumnWidth = 27;
constexpr int kMarkerWidth = 25;
constexpr int kMarkerHeight = 14;

// A trace marker: the trace's name in black and a red triangle pointing at the chart.
QPixmap MarkerPixmap(const QString& name) {
  QPixmap pixmap(kMarkerWidth, kMarkerHeight);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QFont font("Sans");
  font.setPixelSize(9);
  p.setFont(font);
  p.setPen(Qt::black);
  p.drawText(QRect(0, 0, 16, kMarkerHeight), Qt::AlignVCenter | Qt::AlignLeft, name);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(220, 0, 0));
  p.drawPolygon(QPolygonF({QPointF(17, 2), QPointF(25, 7), QPointF(17, 12)}));
  return pixmap;
}

QPixmap LogoPixmap() {
  QPixmap pixmap(220, 40);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient fill(0, 0, 0, 40);
  fill.setColorAt(0, QColor(40, 70, 130));
  fill.setColorAt(1, QColor(20, 40, 90));
  p.setBrush(fill);
  p.setPen(Qt::NoPen);
  p.drawRoundedRect(pixmap.rect().adjusted(0, 0, -1, -1), 6, 6);
  QFont font("Sans", 18, QFont::Bold);
  font.setLetterSpacing(QFont::AbsoluteSpacing, 3);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(pixmap.rect(), Qt::AlignCenter, "MERILOG");
  return pixmap;
}

QLabel* ValueDisplay(QWidget* parent) {
  auto* label = new QLabel("0", parent);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  QFont font("Monospace", 13, QFont::Bold);
  font.setStyleHint(QFont::TypeWriter);
  label->setFont(font);
  // Wide enough for a reading such as -1000.000000000000 at full size; longer
  // texts are shrunk to fit when shown (FitValueText).
  label->setMinimumWidth(QFontMetrics(font).horizontalAdvance("-00000.000000000000") + 14);
  label->setMinimumHeight(30);
  MainWindowPanels::SetValueLook(label, MainWindowPanels::ValueLook::Normal);
  return label;
}

QFrame* Lamp(QWidget* parent) {
  auto* lamp = new QFrame(parent);
  lamp->setFixedSize(14, 14);
  lamp->setFrameShape(QFrame::Box);
  lamp->setAutoFillBackground(true);
  return lamp;
}

QLabel* Tag(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setMinimumWidth(52);
  label->setAlignment(Qt::AlignCenter);
  label->setStyleSheet("QLabel { font-weight: bold; }");
  return label;
}

}  // namespace

MainWindowPanels::MainWindowPanels(QWidget* parent) : QWidget(parent) {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(8, 6, 8, 8);
  grid->setHorizontalSpacing(10);
  grid->setVerticalSpacing(8);

  auto* right = new QVBoxLayout;
  right->setSpacing(8);
  deviceList = new QListWidget(this);
  deviceList->setMinimumWidth(340);
  deviceList->setFixedHeight(84);
  right->addWidget(deviceList);
  right->addWidget(BuildStatusBox());
  right->addWidget(BuildChartControls());
  right->addWidget(BuildMeterRows(), 1);

  auto* left = new QVBoxLayout;
  left->setSpacing(8);
  left->addWidget(BuildChartArea());
  left->addWidget(BuildFunctionGroup());
  left->addStretch(1);

  grid->addLayout(left, 0, 0);
  grid->addLayout(right, 0, 1);
  grid->setColumnStretch(0, 0);
  grid->setColumnStretch(1, 1);
}

QWidget* MainWindowPanels::BuildChartArea() {
  auto* area = new QWidget(this);
  auto* column = new QVBoxLayout(area);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(2);

  logo = new QLabel(area);
  logo->setPixmap(LogoPixmap());
  logo->setContextMenuPolicy(Qt::CustomContextMenu);
  column->addWidget(logo, 0, Qt::AlignLeft);
  column->addSpacing(4);

  auto* chartRow = new QHBoxLayout;
  chartRow->setSpacing(0);
  markerColumn_ = new QWidget(area);
  markerColumn_->setFixedSize(kMarkerColumnWidth, kChartHeight);
  chartRow->addWidget(markerColumn_);
  BuildTraceMarkers();
  chartSlot_ = new QWidget(area);
  chartSlot_->setFixedSize(kChartWidth, kChartHeight);
  auto* slotLayout = new QVBoxLayout(chartSlot_);
  slotLayout->setContentsMargins(0, 0, 0, 0);
  chartRow->addWidget(chartSlot_);
  column->addLayout(chartRow);

  auto* captions = new QHBoxLayout;
  captions->setContentsMargins(kMarkerColumnWidth, 0, 0, 0);
  xMaxCaption = new QLabel("100", area);
  zeroCaption = new QLabel("0", area);
  captions->addWidget(xMaxCaption);
  captions->addStretch(1);
  captions->addWidget(zeroCaption);
  column->addLayout(captions);

  intervalCaption = new QLabel(area);
  intervalCaption->setAlignment(Qt::AlignCenter);
  column->addWidget(intervalCaption);
  column->addStretch(1);
  return area;
}

void MainWindowPanels::SetValueLook(QLabel* display, ValueLook look) {
  static const char* const kColours[] = {"#40ff60", "#707870", "#ffb020"};
  const QString css = QStringLiteral("QLabel { background: #101810; color: %1; border: 1px solid #404040; padding: 0 6px; }")
                          .arg(QLatin1String(kColours[static_cast<int>(look)]));
  if (display->styleSheet() != css) display->setStyleSheet(css);
}

void MainWindowPanels::SetValueText(QLabel* display, const QString& text) {
  if (display->text() == text) return;
  QFont font = display->font();
  font.setPointSize(13);
  const int room = display->minimumWidth() - 14;
  while (font.pointSize() > 7 && QFontMetrics(font).horizontalAdvance(text) > room)
    font.setPointSize(font.pointSize() - 1);
  display->setFont(font);
  display->setText(text);
}

void MainWindowPanels::BuildTraceMarkers() {
  static const char* const kNames[] = {"1", "2", "3", "4", "1-2", "2-2", "3-2", "4-2"};
  for (int t = 0; t < 8; ++t) {
    auto* marker = new QLabel(markerColumn_);
    marker->setPixmap(MarkerPixmap(kNames[t]));
    // Opaque, so markers at the same level show the one on top instead of a blur.
    marker->setAutoFillBackground(true);
    marker->setGeometry(kMarkerColumnWidth - kMarkerWidth, (kChartHeight - kMarkerHeight) / 2, kMarkerWidth,
                        kMarkerHeight);
    marker->hide();
    traceMarkers[t] = marker;
  }
}

void MainWindowPanels::SetChart(QWidget* chart) {
  chart->setParent(chartSlot_);
  chartSlot_->layout()->addWidget(chart);
}

QWidget* MainWindowPanels::BuildStatusBox() {
  statusBox = new QGroupBox("MAIN", this);
  auto* grid = new QGridLayout(statusBox);
  grid->setVerticalSpacing(4);
  functionLine = new QLabel(statusBox);
  rangeLine = new QLabel(statusBox);
  grid->addWidget(functionLine, 0, 0, 1, 4);
  grid->addWidget(rangeLine, 1, 0, 1, 4);

  measurementFunctionLabel = new QLabel("Measurement Function : ", statusBox);
  secondMarkTwo = new QLabel("2", statusBox);
  secondMarkNd = new QLabel("ND", statusBox);
  QFont small = secondMarkNd->font();
  small.setPointSizeF(small.pointSizeF() * 0.75);
  secondMarkNd->setFont(small);
  secondMarkTwo->setStyleSheet("QLabel { font-weight: bold; }");
  secondChooser = new QComboBox(statusBox);
  secondChooser->setMinimumContentsLength(8);
  auto* marks = new QHBoxLayout;
  marks->setSpacing(0);
  marks->addWidget(secondMarkTwo);
  marks->addWidget(secondMarkNd, 0, Qt::AlignTop);
  grid->addWidget(measurementFunctionLabel, 2, 0);
  grid->addLayout(marks, 2, 1);
  grid->addWidget(secondChooser, 2, 2);
  grid->setColumnStretch(3, 1);
  // Keep the box's height when the 2ND row is hidden on a basic meter.
  grid->setRowMinimumHeight(2, secondChooser->sizeHint().height());
  return statusBox;
}

QWidget* MainWindowPanels::BuildChartControls() {
  chartControls = new QGroupBox(this);
  auto* grid = new QGridLayout(chartControls);
  grid->setVerticalSpacing(5);
  auto smallButton = [this](const char* text) {
    auto* b = new QPushButton(text, chartControls);
    b->setMinimumWidth(44);
    b->setAutoDefault(false);
    return b;
  };

  shiftLabel = new QLabel(chartControls);
  shiftUp = smallButton("Up");
  shiftDown = smallButton("Dn");
  grid->addWidget(shiftLabel, 0, 0);
  grid->addWidget(shiftUp, 0, 2);
  grid->addWidget(shiftDown, 0, 3);

  yScaleLabel = new QLabel(chartControls);
  yScaleBox = new QLineEdit("1", chartControls);
  yScaleBox->setReadOnly(true);
  yScaleBox->setMinimumWidth(90);
  scaleUp = smallButton("Up");
  scaleDown = smallButton("Dn");
  grid->addWidget(yScaleLabel, 1, 0);
  grid->addWidget(yScaleBox, 1, 1);
  grid->addWidget(scaleUp, 1, 2);
  grid->addWidget(scaleDown, 1, 3);

  dataOffsetLabel = new QLabel(chartControls);
  dataOffsetBox = new QLineEdit("0", chartControls);
  dataOffsetBox->setMinimumWidth(90);
  setOffset = smallButton("SET");
  grid->addWidget(dataOffsetLabel, 2, 0);
  grid->addWidget(dataOffsetBox, 2, 1);
  grid->addWidget(setOffset, 2, 2);

  readingSpeedLabel = new QLabel(chartControls);
  readingSpeed = new QComboBox(chartControls);
  grid->addWidget(readingSpeedLabel, 3, 0);
  grid->addWidget(readingSpeed, 3, 1, 1, 3);

  xMaxLabel = new QLabel(chartControls);
  xMax = new QComboBox(chartControls);
  grid->addWidget(xMaxLabel, 4, 0);
  grid->addWidget(xMax, 4, 1, 1, 3);
  grid->setColumnStretch(1, 1);
  return chartControls;
}

QWidget* MainWindowPanels::BuildFunctionGroup() {
  functionGroup = new QGroupBox("FUNCTION", this);
  auto* grid = new QGridLayout(functionGroup);
  grid->setSpacing(6);
  const auto table = FunctionButtonTable();
  for (size_t i = 0; i < table.size(); ++i) {
    auto* button = new ShapedButton(QString::fromStdString(table[i].label), functionGroup);
    button->SetRoundedRectangle();
    button->setAutoDefault(false);
    button->setMinimumSize(84, 34);
    functionButtons[i] = button;
    grid->addWidget(button, table[i].gridRow, table[i].gridColumn);
  }
  return functionGroup;
}

QWidget* MainWindowPanels::BuildMeterRows() {
  meterGroup = new QGroupBox(this);
  auto* grid = new QGridLayout(meterGroup);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(4);
  traceButtons = new QButtonGroup(this);
  traceButtons->setExclusive(true);
  for (int d = 0; d < kMeterPositions; ++d) {
    MeterRowWidgets& row = meters[d];
    // Three lines per position: its name, the main reading, the 2ND reading.
    const int r = d * 3;
    row.name = new QLabel(QStringLiteral("Multimeter Device -- %1").arg(d + 1), meterGroup);
    grid->addWidget(row.name, r, 0, 1, 5);
    row.trace = new QRadioButton(QString::number(d + 1), meterGroup);
    row.tag = Tag(d == 0 ? "MAIN" : "", meterGroup);
    row.lamp = Lamp(meterGroup);
    row.value = ValueDisplay(meterGroup);
    row.secondTrace = new QRadioButton(QStringLiteral("%1_2").arg(d + 1), meterGroup);
    row.secondTag = Tag("", meterGroup);
    row.secondMark = new QLabel("ND", meterGroup);
    QFont small = row.secondMark->font();
    small.setPointSizeF(small.pointSizeF() * 0.75);
    row.secondMark->setFont(small);
    row.secondLamp = Lamp(meterGroup);
    row.secondValue = ValueDisplay(meterGroup);
    grid->addWidget(row.trace, r + 1, 0);
    grid->addWidget(row.tag, r + 1, 1, 1, 2);
    grid->addWidget(row.lamp, r + 1, 3);
    grid->addWidget(row.value, r + 1, 4);
    grid->addWidget(row.secondTrace, r + 2, 0);
    grid->addWidget(row.secondTag, r + 2, 1);
    grid->addWidget(row.secondMark, r + 2, 2, Qt::AlignTop);
    grid->addWidget(row.secondLamp, r + 2, 3);
    grid->addWidget(row.secondValue, r + 2, 4);
    traceButtons->addButton(row.trace, d);
    traceButtons->addButton(row.secondTrace, d + kMeterPositions);
  }
  grid->setColumnStretch(4, 1);
  grid->setRowStretch(kMeterPositions * 3, 1);
  return meterGroup;
}

}  // namespace merilog::ui
