#include "ui/app/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QToolBar>

#include "core/app/MainWindowRouting.h"
#include "core/base/Clock.h"
#include "core/instrument/DeviceHandOver.h"
#include "core/measure/ChartModel.h"
#include "core/scan/QtScanTimers.h"
#include "core/scan/ScanModel.h"
#include "ui/app/AboutDialog.h"
#include "ui/app/MainWindowPanels.h"
#include "ui/burst/MultipleReadingsDialog.h"
#include "ui/console/CommandConsoleDialog.h"
#include "ui/meterconfig/DeviceSettingsDialog.h"
#include "ui/readingconfig/ReadingSettingsDialog.h"
#include "ui/readingconfig/UnattendedRunDialog.h"
#include "ui/recordview/RecordChartDialog.h"
#include "ui/recordview/RecordViewerDialog.h"
#include "ui/scan/DesktopOpener.h"
#include "ui/scan/ScanDialog.h"
#include "ui/widgets/ChartWidget.h"
#include "ui/widgets/DialogParts.h"

namespace merilog::ui {

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// Toolbar pictures at the toolbar's 16 x 15 size.
QIcon ToolIcon(MenuCommand command) {
  QPixmap pixmap(16, 15);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(40, 40, 40), 1));
  if (command == MenuCommand::StartReading) {
    QPainterPath play;
    play.moveTo(3, 1);
    play.lineTo(14, 7.5);
    play.lineTo(3, 14);
    play.closeSubpath();
    p.fillPath(play, QColor(30, 160, 60));
    p.drawPath(play);
  } else if (command == MenuCommand::StopReading) {
    p.setBrush(QColor(200, 40, 40));
    p.drawRect(QRectF(2.5, 2, 11, 11));
  } else {
    // Device settings: a meter face with a dial.
    p.setBrush(QColor(230, 200, 80));
    p.drawRoundedRect(QRectF(1.5, 1.5, 13, 12), 2, 2);
    p.setBrush(QColor(60, 60, 60));
    p.drawRect(QRectF(3.5, 3.5, 9, 4));
    p.drawEllipse(QPointF(8, 11), 1.5, 1.5);
  }
  return QIcon(pixmap);
}

QIcon WindowIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(QColor(30, 55, 110));
  p.setPen(Qt::NoPen);
  p.drawRoundedRect(QRectF(1, 1, 30, 30), 5, 5);
  p.setPen(QPen(QColor(80, 255, 110), 2));
  p.drawPolyline(
      QPolygonF({QPointF(4, 22), QPointF(10, 22), QPointF(14, 8), QPointF(19, 25), QPointF(23, 14), QPointF(28, 14)}));
  return QIcon(pixmap);
}

QString Css(const Rgb& c) {
  return QStringLiteral("QFrame { background: rgb(%1, %2, %3); border: 1px solid #303030; }")
      .arg(c.r)
      .arg(c.g)
      .arg(c.b);
}

// The label texts beside the chart controls carry a colon after the looked-up word.
QString WithColon(const QString& text) {
  return text.isEmpty() ? text : text + " :";
}

}  // namespace

MainWindow::MainWindow(MainWindowModel& model, Prompter& prompter, QWidget* parent)
    : QMainWindow(parent),
      model_(model),
      readingSettingsModel_(prompter),
      deviceSettingsModel_(prompter),
      recordViewerModel_(prompter),
      recordChartModel_(prompter) {
  // Set explicitly: without a title of its own the window's older X11 name
  // (WM_NAME) stays empty, and window lists that read it show nothing.
  setWindowTitle(QStringLiteral("MERILOG"));
  setWindowIcon(WindowIcon());
  panels_ = new MainWindowPanels(this);
  setCentralWidget(panels_);
  chart_ = new ChartWidget(model_.Chart());
  panels_->SetChart(chart_);
  BuildToolbar();
  ConnectPanels();

  systemAbout_ = new QAction("About 6081 MERILOG(&A)...", this);
  connect(systemAbout_, &QAction::triggered, this, [this] { model_.OnSystemAbout(); });
  readingSettingsDialog_ = new ReadingSettingsDialog(readingSettingsModel_, this);
  static const SystemClock systemClock;
  multipleReadingsDialog_ = new MultipleReadingsDialog(prompter, systemClock, this);
  consoleDialog_ = new CommandConsoleDialog(this);
  model_.SetCommandAvailable(MenuCommand::MultipleReadings, true);
  model_.SetCommandAvailable(MenuCommand::CommandControl, true);
  deviceSettingsDialog_ = new DeviceSettingsDialog(deviceSettingsModel_, this);
  model_.SetCommandAvailable(MenuCommand::DeviceSettings, true);
  recordViewerDialog_ = new RecordViewerDialog(recordViewerModel_, this);
  recordChartDialog_ = new RecordChartDialog(recordChartModel_, this);
  model_.SetCommandAvailable(MenuCommand::ViewRecord, true);
  model_.SetCommandAvailable(MenuCommand::ChartRecord, true);
  unattendedDialog_ = new UnattendedRunDialog(prompter, systemClock, this);
  model_.SetCommandAvailable(MenuCommand::UnattendedRun, true);
  connect(panels_->logo, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    QMenu menu(this);
    menu.addAction(systemAbout_);
    menu.exec(panels_->logo->mapToGlobal(at));
  });

  readingTimer_.setTimerType(Qt::PreciseTimer);
  connect(&readingTimer_, &QTimer::timeout, this, [this] { model_.OnReadingTimer(); });

  model_.SetObserver(this);
  Render();
}

MainWindow::~MainWindow() {
  readingTimer_.stop();
  model_.SetObserver(nullptr);
  // The dialog renders the scan model: it goes first.
  delete scanDialog_;
}

void MainWindow::OfferScan(ResourceManager& rm, std::vector<std::string> lanResources, Prompter& prompter,
                           const Clock& clock) {
  if (scanModel_) return;
  scanTimers_ = std::make_unique<QtScanTimers>();
  opener_ = std::make_unique<DesktopOpener>();
  scanModel_ = std::make_unique<ScanModel>(rm, std::move(lanResources), prompter, clock, *scanTimers_, *opener_);
  scanDialog_ = new ScanDialog(*scanModel_, this);
  model_.SetCommandAvailable(MenuCommand::ChannelScan, true);
}

QAction* MainWindow::MenuAction(MenuCommand command) const {
  auto it = menuActions_.find(command);
  return it == menuActions_.end() ? nullptr : it->second;
}

void MainWindow::BuildToolbar() {
  toolbar_ = addToolBar("toolbar");
  toolbar_->setMovable(false);
  toolbar_->setFloatable(false);
  toolbar_->setIconSize(QSize(16, 15));
  toolbar_->setContextMenuPolicy(Qt::PreventContextMenu);
  toolStart_ = toolbar_->addAction(ToolIcon(MenuCommand::StartReading), "Start");
  toolStop_ = toolbar_->addAction(ToolIcon(MenuCommand::StopReading), "Stop");
  toolbar_->addSeparator();
  toolDeviceSettings_ = toolbar_->addAction(ToolIcon(MenuCommand::DeviceSettings), "Device Settings");
  connect(toolStart_, &QAction::triggered, this, [this] { model_.OnCommand(MenuCommand::StartReading); });
  connect(toolStop_, &QAction::triggered, this, [this] { model_.OnCommand(MenuCommand::StopReading); });
  connect(toolDeviceSettings_, &QAction::triggered, this, [this] { model_.OnCommand(MenuCommand::DeviceSettings); });
}

void MainWindow::BuildMenus() {
  const auto& texts = model_.Texts();
  for (const auto& menuTexts : texts.menus) {
    QMenu* menu = menuBar()->addMenu(menuTexts.title);
    menus_.push_back(menu);
    for (const auto& item : menuTexts.items) {
      if (item.command == MenuCommand::Separator) {
        menu->addSeparator();
        continue;
      }
      QAction* action = menu->addAction(item.text);
      action->setCheckable(item.checkable);
      const MenuCommand command = item.command;
      connect(action, &QAction::triggered, this, [this, command] { model_.OnCommand(command); });
      menuActions_[command] = action;
    }
  }
}

void MainWindow::ConnectPanels() {
  MainWindowPanels& p = *panels_;
  connect(p.deviceList, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!rendering_ && row >= 0) model_.OnDeviceSelected(row);
  });
  connect(p.secondChooser, &QComboBox::activated, this, [this](int index) { model_.SecondFunctionChosen(index); });
  connect(p.readingSpeed, &QComboBox::activated, this, [this](int index) { model_.ReadingSpeedChosen(index); });
  connect(p.xMax, &QComboBox::activated, this, [this](int index) { model_.SetXMax(index); });
  connect(p.scaleUp, &QPushButton::clicked, this, [this] { model_.ScaleUp(); });
  connect(p.scaleDown, &QPushButton::clicked, this, [this] { model_.ScaleDown(); });
  connect(p.shiftUp, &QPushButton::clicked, this, [this] { model_.ShiftUp(); });
  connect(p.shiftDown, &QPushButton::clicked, this, [this] { model_.ShiftDown(); });
  connect(p.setOffset, &QPushButton::clicked, this,
          [this] { model_.ApplyDataOffset(panels_->dataOffsetBox->text().toStdString()); });
  connect(p.dataOffsetBox, &QLineEdit::textEdited, this,
          [this](const QString& text) { model_.SetDataOffsetText(text.toStdString()); });
  connect(p.dataOffsetBox, &QLineEdit::returnPressed, this,
          [this] { model_.OnEnter(true, panels_->dataOffsetBox->text().toStdString()); });
  for (int i = 0; i < kFunctionButtonCount; ++i)
    connect(p.functionButtons[i], &QAbstractButton::clicked, this, [this, i] { model_.ConfigureFunction(i); });
  connect(p.traceButtons, &QButtonGroup::idClicked, this, [this](int trace) { model_.SelectTrace(trace); });
}

void MainWindow::StartReadingTimer(int intervalMs) {
  readingTimer_.start(intervalMs);
}

void MainWindow::StopReadingTimer() {
  readingTimer_.stop();
}

void MainWindow::RedrawChart() {
  // The chart widget paints each redraw into its snapshot itself (the chart
  // model's hook); the markers follow the traces' shifts.
  RenderTraceMarkers();
}

void MainWindow::StateChanged() {
  Render();
}

bool MainWindow::OpenDialog(MenuCommand command) {
  switch (command) {
    case MenuCommand::ReadingSettings:
      OpenReadingSettings();
      // Already applied from the dialog's own settings; nothing more to do.
      return false;
    case MenuCommand::DeviceSettings:
      OpenDeviceSettings();
      return true;
    case MenuCommand::ViewRecord:
      recordViewerDialog_->Run();
      return false;
    case MenuCommand::ChartRecord:
      recordChartDialog_->Run();
      return false;
    case MenuCommand::About:
      // The model relabels (opened from Help) and searches again itself.
      ShowAboutBox(this);
      return true;
    case MenuCommand::MultipleReadings:
    case MenuCommand::CommandControl: {
      const bool burst = command == MenuCommand::MultipleReadings;
      const DeviceHandOver handOver = HandOverTo(
          burst ? HandOverDialog::MultipleReadings : HandOverDialog::CommandConsole, model_.Devices().Devices());
      if (burst)
        multipleReadingsDialog_->Run(handOver);
      else
        consoleDialog_->Run(handOver);
      return true;
    }
    case MenuCommand::ChannelScan:
      if (scanDialog_) scanDialog_->Run();
      return true;
    case MenuCommand::UnattendedRun:
      if (const auto chosen = unattendedDialog_->Run(model_.Unattended())) model_.ApplyUnattendedRun(*chosen);
      return false;
    default:
      return false;
  }
}

void MainWindow::OpenReadingSettings() {
  // The dialog gets the latest device entries, the current mode and the plot colours.
  readingSettingsModel_.HandOverDevices(HandOverTo(HandOverDialog::ReadingSettings, model_.Devices().Devices()));
  merilog::ReadingSettings& settings = readingSettingsModel_.Settings();
  settings.mode = model_.MultiDeviceMode() ? kMultiDeviceMode : kSingleDeviceMode;
  const PlotColours& colours = model_.Chart().Colours();
  std::copy(colours.begin(), colours.end(), settings.plotColour.begin());
  readingSettingsDialog_->Run();
  model_.ApplyReadingSettings(readingSettingsModel_.Settings());
}

void MainWindow::OpenDeviceSettings() {
  deviceSettingsModel_.HandOverDevices(HandOverTo(HandOverDialog::DeviceSettings, model_.Devices().Devices()));
  deviceSettingsDialog_->Run();
}

void MainWindow::CloseWindow() {
  closingFromModel_ = true;
  close();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // The data-offset box reports its own Enter (returnPressed); elsewhere Enter does nothing.
      if (focusWidget() != panels_->dataOffsetBox) model_.OnEnter(false, {});
      event->accept();
      return;
    case Qt::Key_Escape:
      event->accept();
      model_.OnEscape();
      return;
    default:
      QMainWindow::keyPressEvent(event);
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // The close box goes the way of Esc (the model ends a running session first).
  if (!closingFromModel_) model_.CloseDevices();
  readingTimer_.stop();
  event->accept();
}

void MainWindow::Render() {
  rendering_ = true;
  // Discovery asks every instrument: show that the window is busy.
  if (model_.Busy() != busyCursor_) {
    busyCursor_ = model_.Busy();
    if (busyCursor_)
      QApplication::setOverrideCursor(Qt::WaitCursor);
    else
      QApplication::restoreOverrideCursor();
  }
  RenderMenus();
  RenderDeviceList();
  RenderStatusBox();
  RenderChartControls();
  RenderFunctionButtons();
  RenderMeterRows();
  // The run's events and the lab server's backlog; no status bar until there is something to say.
  const QString statusLine = model_.StatusLine();
  if (!statusLine.isEmpty() && !statusBar_) statusBar_ = statusBar();
  if (statusBar_ && statusBar_->currentMessage() != statusLine) statusBar_->showMessage(statusLine);
  rendering_ = false;
}

void MainWindow::RenderMenus() {
  const MainWindowTexts& texts = model_.Texts();
  if (menus_.empty() && !texts.menus.empty()) BuildMenus();
  // Relabelling replaces texts by position and keeps the commands.
  for (size_t m = 0; m < menus_.size() && m < texts.menus.size(); ++m) {
    menus_[m]->setTitle(texts.menus[m].title);
    const auto& items = texts.menus[m].items;
    const auto actions = menus_[m]->actions();
    for (int q = 0; q < actions.size() && q < static_cast<int>(items.size()); ++q)
      if (!actions[q]->isSeparator()) actions[q]->setText(items[q].text);
  }
  for (const auto& [command, action] : menuActions_) {
    action->setEnabled(model_.CommandEnabled(command));
    if (action->isCheckable()) action->setChecked(model_.CommandChecked(command));
  }
  toolStart_->setEnabled(model_.ToolbarStartEnabled());
  toolStop_->setEnabled(model_.ToolbarStopEnabled());
  toolDeviceSettings_->setEnabled(model_.ToolbarDeviceSettingsEnabled());
  toolStart_->setToolTip(texts.startTip);
  toolStop_->setToolTip(texts.stopTip);
  toolDeviceSettings_->setToolTip(texts.deviceSettingsTip);
}

void MainWindow::RenderDeviceList() {
  const DeviceListModel& d = model_.Devices();
  QListWidget* list = panels_->deviceList;
  QSignalBlocker block(list);
  QStringList lines;
  for (const auto& line : d.Lines()) lines << Q(line);
  QStringList shown;
  for (int i = 0; i < list->count(); ++i) shown << list->item(i)->text();
  if (shown != lines) {
    list->clear();
    list->addItems(lines);
  }
  list->setCurrentRow(d.SelectedLine());
  list->setEnabled(model_.DeviceListEnabled());
  list->setToolTip(Q(d.ToolTip()));
}

void MainWindow::RenderStatusBox() {
  const StatusPanelState& s = model_.Panel().State();
  MainWindowPanels& p = *panels_;
  p.functionLine->setText(Q(s.functionText));
  p.rangeLine->setText(Q(s.rangeText));
  ApplyControlState(p.measurementFunctionLabel, s.measurementFunctionLabel);
  ApplyControlState(p.secondMarkTwo, s.secondMarkers);
  ApplyControlState(p.secondMarkNd, s.secondMarkers);

  QComboBox* chooser = p.secondChooser;
  QSignalBlocker block(chooser);
  QStringList choices;
  for (const auto& c : s.secondChoices) choices << Q(c);
  QStringList shown;
  for (int i = 0; i < chooser->count(); ++i) shown << chooser->itemText(i);
  if (shown != choices) {
    chooser->clear();
    chooser->addItems(choices);
  }
  chooser->setCurrentIndex(s.secondSelected);
  ApplyControlState(chooser, model_.SecondChooser());
}

void MainWindow::RenderChartControls() {
  const MainWindowTexts& texts = model_.Texts();
  const ChartModel& chart = model_.Chart();
  MainWindowPanels& p = *panels_;
  p.shiftLabel->setText(texts.shiftGraphLabel);
  p.yScaleLabel->setText(WithColon(texts.yScaleLabel));
  p.dataOffsetLabel->setText(WithColon(texts.dataOffsetLabel));
  p.readingSpeedLabel->setText(WithColon(texts.readingSpeedLabel));
  p.xMaxLabel->setText(WithColon(texts.xMaxLabel));

  auto fill = [](QComboBox* box, const QStringList& items, int selected) {
    QSignalBlocker block(box);
    if (box->count() != items.size()) {
      box->clear();
      box->addItems(items);
    }
    box->setCurrentIndex(selected);
  };
  QStringList speeds, xMaxes;
  for (const auto& item : model_.SpeedChoices()) speeds << Q(item);
  for (const char* item : XMaxItems()) xMaxes << QString::fromUtf8(item);
  fill(p.readingSpeed, speeds, model_.SpeedSelected());
  fill(p.xMax, xMaxes, chart.XMaxItemIndex());

  p.yScaleBox->setText(Q(chart.YScaleText()));
  // Never overwrite what the user is typing with an unchanged value.
  if (p.dataOffsetBox->text() != Q(chart.DataOffsetText())) p.dataOffsetBox->setText(Q(chart.DataOffsetText()));
  p.intervalCaption->setText(Q(model_.IntervalCaption()));
  p.xMaxCaption->setText(Q(chart.XMaxLabelText()));
}

void MainWindow::RenderFunctionButtons() {
  for (int i = 0; i < kFunctionButtonCount; ++i)
    ApplyControlState(panels_->functionButtons[i], model_.FunctionButton(i));
}

void MainWindow::RenderMeterRows() {
  const StatusPanelState& s = model_.Panel().State();
  const ChartModel& chart = model_.Chart();
  for (int i = 0; i < kMeterPositions; ++i) {
    const MeterRowState& row = s.meters[i];
    MeterRowWidgets& w = panels_->meters[i];
    w.name->setText(Q(row.nameText));
    MainWindowPanels::SetValueText(w.value, Q(row.valueText));
    w.tag->setText(Q(row.mainTagText));
    ApplyControlState(w.name, row.nameLabel);
    ApplyControlState(w.lamp, row.indicator);
    ApplyControlState(w.value, row.valueDisplay);
    ApplyControlState(w.tag, row.mainMarker);
    ApplyControlState(w.trace, row.selectionButton);
    MainWindowPanels::SetValueText(w.secondValue, Q(row.secondValueText));
    w.secondTag->setText(Q(row.secondTagText));
    ApplyControlState(w.secondValue, row.secondValueDisplay);
    ApplyControlState(w.secondLamp, row.secondIndicator);
    ApplyControlState(w.secondTrace, row.secondSelectionButton);
    ApplyControlState(w.secondTag, row.secondMarkers);
    ApplyControlState(w.secondMark, row.secondMarkers);
    // A lost meter's last values stay, greyed, with the time it was lost; a
    // reading outside the limits shows in the warning colour.
    const MainWindowModel::MeterAlert alert = model_.Alert(i);
    using Look = MainWindowPanels::ValueLook;
    MainWindowPanels::SetValueLook(w.value, alert.lost ? Look::Lost : (alert.outside ? Look::Warning : Look::Normal));
    MainWindowPanels::SetValueLook(w.secondValue, alert.lost ? Look::Lost : Look::Normal);
    if (alert.lost) w.tag->setText(alert.lostText);
    w.value->setToolTip(alert.lost ? alert.lostText : QString());
    w.lamp->setStyleSheet(Css(chart.LampColour(i, false)));
    w.secondLamp->setStyleSheet(Css(chart.LampColour(i, true)));
  }
  RenderTraceMarkers();
  QAbstractButton* selected = panels_->traceButtons->button(chart.SelectedTrace());
  if (selected && !selected->isChecked()) {
    QSignalBlocker block(panels_->traceButtons);
    selected->setChecked(true);
  }
}

}  // namespace merilog::ui

namespace merilog::ui {

void MainWindow::RenderTraceMarkers() {
  const StatusPanelState& s = model_.Panel().State();
  const ChartModel& chart = model_.Chart();
  for (int t = 0; t < ChartModel::kTraceCount; ++t) {
    QLabel* marker = panels_->traceMarkers[t];
    const MeterRowState& row = s.meters[t % kMeterPositions];
    const bool shown = t < kMeterPositions ? row.mainMarker.shown && row.selectionButton.shown
                                           : row.secondMarkers.shown && row.secondSelectionButton.shown;
    marker->move(marker->x(), chart.MarkerTop(t));
    marker->setVisible(shown);
  }
  // Markers of traces at the same level overlap; the selected one stays readable on top.
  panels_->traceMarkers[model_.Chart().SelectedTrace()]->raise();
}

}  // namespace merilog::ui
