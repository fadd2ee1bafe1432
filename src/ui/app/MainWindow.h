#pragma once
#include <QMainWindow>
#include <QTimer>
#include <array>
#include <map>
#include <memory>

#include "core/app/MainWindowModel.h"
#include "core/meterconfig/DeviceSettingsModel.h"
#include "core/readingconfig/ReadingSettingsModel.h"
#include "core/recordview/RecordChartModel.h"
#include "core/recordview/RecordViewerModel.h"

class QAction;
class QStatusBar;
class QToolBar;

namespace merilog {
class Clock;
class QtScanTimers;
class ResourceManager;
class ScanModel;
}  // namespace merilog

namespace merilog::ui {

class MainWindowPanels;
class ChartWidget;
class DesktopOpener;
class ReadingSettingsDialog;
class MultipleReadingsDialog;
class CommandConsoleDialog;
class DeviceSettingsDialog;
class ScanDialog;
class RecordChartDialog;
class RecordViewerDialog;
class UnattendedRunDialog;

// The program's main window: renders MainWindowModel's state and forwards every
// click, selection, key and timer tick to the model's handlers.
class MainWindow : public QMainWindow, public MainWindowObserver {
  Q_OBJECT
 public:
  // The prompter answers the dialogs' questions (Reading Settings).
  MainWindow(MainWindowModel& model, Prompter& prompter, QWidget* parent = nullptr);
  ~MainWindow() override;

  MainWindowModel& Model() { return model_; }
  MainWindowPanels& Panels() { return *panels_; }
  ChartWidget& Chart() { return *chart_; }
  QAction* MenuAction(MenuCommand command) const;
  QAction* ToolbarStart() const { return toolStart_; }
  QAction* ToolbarStop() const { return toolStop_; }
  QAction* ToolbarDeviceSettings() const { return toolDeviceSettings_; }
  // The logo's context menu entry that stands in for the system menu's About item.
  QAction* SystemAboutAction() const { return systemAbout_; }
  const QTimer& ReadingTimer() const { return readingTimer_; }
  ReadingSettingsDialog& ReadingSettings() { return *readingSettingsDialog_; }
  MultipleReadingsDialog& MultipleReadings() { return *multipleReadingsDialog_; }
  CommandConsoleDialog& CommandConsole() { return *consoleDialog_; }
  DeviceSettingsDialog& DeviceSettings() { return *deviceSettingsDialog_; }
  // The scan dialog searches for its meters itself: it is offered once the
  // window knows where to search. Null until then.
  void OfferScan(ResourceManager& rm, std::vector<std::string> lanResources, Prompter& prompter, const Clock& clock);
  ScanDialog* Scan() const { return scanDialog_; }
  RecordViewerDialog& RecordViewer() { return *recordViewerDialog_; }
  RecordChartDialog& RecordChart() { return *recordChartDialog_; }
  UnattendedRunDialog& UnattendedRun() { return *unattendedDialog_; }

  // MainWindowObserver
  void StartReadingTimer(int intervalMs) override;
  void StopReadingTimer() override;
  void RedrawChart() override;
  void StateChanged() override;
  bool OpenDialog(MenuCommand command) override;
  void CloseWindow() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  void BuildToolbar();
  void ConnectPanels();
  void Render();
  void RenderMenus();
  void RenderDeviceList();
  void RenderStatusBox();
  void RenderChartControls();
  void RenderFunctionButtons();
  void RenderMeterRows();
  void RenderTraceMarkers();
  void OpenReadingSettings();
  void OpenDeviceSettings();

  MainWindowModel& model_;
  MainWindowPanels* panels_ = nullptr;
  ChartWidget* chart_ = nullptr;
  QToolBar* toolbar_ = nullptr;
  QAction* toolStart_ = nullptr;
  QAction* toolStop_ = nullptr;
  QAction* toolDeviceSettings_ = nullptr;
  QAction* systemAbout_ = nullptr;
  std::vector<QMenu*> menus_;
  std::map<MenuCommand, QAction*> menuActions_;
  QTimer readingTimer_;
  // Owned for the whole run, so the dialog's fields persist between openings.
  ReadingSettingsModel readingSettingsModel_;
  ReadingSettingsDialog* readingSettingsDialog_ = nullptr;
  MultipleReadingsDialog* multipleReadingsDialog_ = nullptr;
  CommandConsoleDialog* consoleDialog_ = nullptr;
  DeviceSettingsModel deviceSettingsModel_;
  DeviceSettingsDialog* deviceSettingsDialog_ = nullptr;
  std::unique_ptr<QtScanTimers> scanTimers_;
  std::unique_ptr<DesktopOpener> opener_;
  std::unique_ptr<ScanModel> scanModel_;
  ScanDialog* scanDialog_ = nullptr;
  RecordViewerModel recordViewerModel_;
  RecordViewerDialog* recordViewerDialog_ = nullptr;
  RecordChartModel recordChartModel_;
  RecordChartDialog* recordChartDialog_ = nullptr;
  UnattendedRunDialog* unattendedDialog_ = nullptr;
  bool busyCursor_ = false;
  bool closingFromModel_ = false;
  bool rendering_ = false;
  QStatusBar* statusBar_ = nullptr;  // made the first time there is a status line to show
};

}  // namespace merilog::ui
