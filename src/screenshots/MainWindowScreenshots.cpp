#include "screenshots/MainWindowScreenshots.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTabBar>
#include <QTableView>
#include <QTimeEdit>
#include <QTimer>
#include <QWidget>
#include <cstdio>

#include "core/base/MessageTable.h"
#include "core/burst/MultipleReadingsModel.h"
#include "core/console/ConsoleModel.h"
#include "core/measure/FunctionButton.h"
#include "core/scan/ScanFunctionTable.h"
#include "screenshots/SampleRecord.h"
#include "sim/SimBench.h"
#include "ui/app/AboutDialog.h"
#include "ui/app/MainWindow.h"
#include "ui/app/MainWindowPanels.h"
#include "ui/burst/MultipleReadingsDialog.h"
#include "ui/console/CommandConsoleDialog.h"
#include "ui/meterconfig/DeviceSettingsDialog.h"
#include "ui/readingconfig/ReadingSettingsDialog.h"
#include "ui/recordview/RecordChartDialog.h"
#include "ui/recordview/RecordViewerDialog.h"
#include "ui/scan/ScanDialog.h"
#include "ui/widgets/UserInput.h"

namespace merilog::ui {

MainWindowScreenshots::MainWindowScreenshots(MainWindow& window, QString folder, int readingMs)
    : window_(window), folder_(std::move(folder)), readingMs_(readingMs) {}

template <typename Dialog>
Dialog* MainWindowScreenshots::Modal() {
  // The dialogs carry no meta-object of their own, hence dynamic_cast.
  auto* dialog = dynamic_cast<Dialog*>(QApplication::activeModalWidget());
  if (!dialog) Fail(QStringLiteral("step %1: the expected dialog is not open").arg(next_));
  return dialog;
}

template <typename Dialog>
std::function<void()> MainWindowScreenshots::SaveAndClose(QString name) {
  return [this, name] {
    if (auto* d = Modal<Dialog>()) {
      Save(d, name);
      d->accept();
    }
  };
}

namespace {

// The dual meter of the default bench, the second of the multi-device run.
const char kUnpluggedMeter[] = "USB0::0x3A7D::0x6082::SN02::INSTR";
// Chooses an entry of a box by its text as a user would; false when it is not offered.
bool Choose(QComboBox* box, const QString& text) {
  const int i = box->findText(text);
  if (i < 0) return false;
  box->setCurrentIndex(i);
  emit box->activated(i);
  return true;
}

// Runs the event loop until the condition holds (bounded, so a stuck step cannot hang the script).
bool WaitFor(const std::function<bool()>& done) {
  QDeadlineTimer safety(20000);
  while (!done() && !safety.hasExpired()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  return done();
}

void Type(QLineEdit* box, const QString& text) {
  box->setText(text);
  emit box->textEdited(text);
}

void PressFunction(MainWindow& w, const char* label) {
  const FunctionButton* button = FindFunctionButton(label);
  if (button) w.Panels().functionButtons[button - FunctionButtonTable().data()]->click();
}

// Lets the window run until `done` holds, at most `limitMs`.
bool WaitFor(const std::function<bool()>& done, int limitMs) {
  QEventLoop loop;
  QTimer poll, limit;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
  poll.start(50);
  limit.start(limitMs);
  if (!done()) loop.exec();
  return done();
}

// The scan dialog's channels for the pictures: DCV, ACV, DCI through 100 ohm, 4W, the rest None.
void ConfigureScan(ScanDialog& d) {
  const int functions[] = {kScanDcv, kScanAcv, kScanDci, kScan4W};
  for (int c = 0; c < d.ChannelChooser()->count(); ++c) {
    ChooseItem(d.ChannelChooser(), c);
    if (d.FunctionChooser()->isEnabled()) ChooseItem(d.FunctionChooser(), c < 4 ? functions[c] : kScanNone);
  }
  ChooseItem(d.ChannelChooser(), 2);
  TypeText(d.ShuntRField(), "100");
  TypeText(d.CurrentOffsetField(), "0.01");
  TypeText(d.TimerField(), "0.1");
}

}  // namespace

void MainWindowScreenshots::Start() {
  QDir().mkpath(folder_);
  MainWindow& w = window_;
  auto trigger = [&w](MenuCommand command) {
    if (QAction* action = w.MenuAction(command)) action->trigger();
  };
  // A step that chooses an entry of a Device Settings box, as a user would.
  auto choose = [this](QComboBox* (DeviceSettingsDialog::*box)() const, QString text) {
    return [this, box, text] {
      auto* d = Modal<DeviceSettingsDialog>();
      if (d && !Choose((d->*box)(), text)) Fail(QStringLiteral("\"%1\" is not offered").arg(text));
    };
  };
  // Presses Submit, waits for Set and its read-back, and saves the picture.
  auto submit = [this](QString name) {
    return [this, name] {
      auto* d = Modal<DeviceSettingsDialog>();
      if (!d) return;
      d->SetButton()->click();
      if (!WaitFor([d] { return !d->BusyBar()->isVisible(); })) return Fail("Set never ended");
      Save(d, name);
    };
  };
  steps_ = {
      {300, [this] { Save(&window_, "main-idle.png"); }},
      {0, [this] { SaveMenu(0, "menu-settings.png"); }},
      {0, [this] { SaveMenu(1, "menu-record.png"); }},
      // The dual-function meter: its 2ND chooser, then a 2ND function with its own display.
      {0, [&w] { w.Panels().deviceList->setCurrentRow(1); }},
      {300, [this] { Save(&window_, "main-dual-meter.png"); }},
      {0,
       [this, &w] {
         QComboBox* chooser = w.Panels().secondChooser;
         const int acv = chooser->findText("ACV");
         if (acv < 0) return Fail("no ACV in the 2ND chooser");
         chooser->setCurrentIndex(acv);
         emit chooser->activated(acv);
       }},
      {300, [this] { Save(&window_, "main-dual-meter-2nd.png"); }},
      // Continuity allows no 2ND function: the chooser stays, disabled.
      {0, [&w] { PressFunction(w, "CONT"); }},
      {300, [this] { Save(&window_, "main-dual-meter-cont.png"); }},
      {0, [&w] { PressFunction(w, "DCV"); }},
      {0, [&w] { w.Panels().deviceList->setCurrentRow(0); }},
      // Reading Settings: a picture of each mode, then two meters chosen for a multi-device run.
      {0, [trigger] { trigger(MenuCommand::ReadingSettings); }, true},
      {300,
       [this] {
         if (auto* d = Modal<ReadingSettingsDialog>()) Save(d, "reading-settings-single.png");
       }},
      {0,
       [this] {
         if (auto* d = Modal<ReadingSettingsDialog>()) d->MultiRadio()->click();
       }},
      {300,
       [this] {
         auto* d = Modal<ReadingSettingsDialog>();
         if (!d) return;
         Save(d, "reading-settings-multi.png");
         QListWidget* list = d->DeviceList();
         if (list->count() < 2) return Fail("fewer than two meters to choose");
         list->item(0)->setSelected(true);
         list->item(1)->setSelected(true);
       }},
      {100,
       [this] {
         if (auto* d = Modal<ReadingSettingsDialog>()) d->SelectButton()->click();
       }},
      {300,
       [this] {
         auto* d = Modal<ReadingSettingsDialog>();
         if (!d) return;
         Save(d, "reading-settings-multi-chosen.png");
         d->OkButton()->click();
       }},
      {300, [&w] { w.ToolbarStart()->trigger(); }},
      {readingMs_, [this] { Save(&window_, "main-reading-multi.png"); }},
      {0, [&w] { w.ToolbarStop()->trigger(); }},
      {300, [this] { Save(&window_, "main-stopped-multi.png"); }},
      // Keep reading when a meter drops: the dual meter is unplugged during a
      // run and plugged back; its display greys with the time it was lost.
      {0, [trigger] { trigger(MenuCommand::KeepReading); }},
      {300, [this] { SaveMenu(0, "menu-settings-keep-reading.png"); }},
      // The dual meter's trace two divisions up, apart from the first.
      {0,
       [&w] {
         w.Panels().traceButtons->button(1)->click();
         w.Panels().shiftUp->click();
         w.Panels().shiftUp->click();
       }},
      {0, [&w] { w.ToolbarStart()->trigger(); }},
      {1500,
       [this] {
         if (bench_) bench_->DropMeter(kUnpluggedMeter);
       }},
      {1000,
       [this] {
         if (!bench_) return;
         Save(&window_, "main-meter-lost.png");
         bench_->ReattachMeter(kUnpluggedMeter);
       }},
      {5000, [&w] { w.ToolbarStop()->trigger(); }},
      {300,
       [this, trigger, &w] {
         if (bench_) Save(&window_, "main-meter-back.png");
         trigger(MenuCommand::KeepReading);
         w.Panels().traceButtons->button(1)->click();
         w.Panels().shiftDown->click();
         w.Panels().shiftDown->click();
         w.Panels().traceButtons->button(0)->click();
       }},
      // Device Settings: the basic meter on DC voltage, then the dual meter on TEMP
      // with a USER sensor and a thermocouple as 2ND function.
      {0, [trigger] { trigger(MenuCommand::DeviceSettings); }, true},
      {300,
       [this] {
         auto* d = Modal<DeviceSettingsDialog>();
         if (!d) return;
         d->FunctionList()->setCurrentRow(0);
       }},
      {300,
       [this] {
         auto* d = Modal<DeviceSettingsDialog>();
         if (!d) return;
         Save(d, "device-settings-basic.png");
         d->FunctionList()->setCurrentRow(2);
       }},
      // The 750 V AC range set and read back: the basic meter reports it as 1000.
      {300, choose(&DeviceSettingsDialog::RangeBox, "750 Vac")},
      {0, submit("device-settings-750v-basic.png")},
      // The dual meter with AC volts on its 750 V range as the 2ND function.
      {0,
       [this] {
         if (auto* d = Modal<DeviceSettingsDialog>()) d->DeviceList()->setCurrentRow(1);
       }},
      {300,
       [this] {
         if (auto* d = Modal<DeviceSettingsDialog>()) d->FunctionList()->setCurrentRow(0);
       }},
      {300, choose(&DeviceSettingsDialog::SecondFunctionBox, "ACV")},
      {300, choose(&DeviceSettingsDialog::SecondRangeBox, "750 V")},
      {0, submit("device-settings-750v-dual-2nd.png")},
      {300,
       [this] {
         if (auto* d = Modal<DeviceSettingsDialog>()) d->FunctionList()->setCurrentRow(10);
       }},
      {300, choose(&DeviceSettingsDialog::RangeBox, "USER")},
      {300, choose(&DeviceSettingsDialog::SecondFunctionBox, "TCOUPL")},
      {300,
       [this] {
         auto* d = Modal<DeviceSettingsDialog>();
         if (!d) return;
         Save(d, "device-settings-dual-temp.png");
         d->ExitButton()->click();
       }},
      // About: both tabs; the language chosen there relabels the window on closing.
      {0, [trigger] { trigger(MenuCommand::About); }, true},
      {300,
       [this] {
         if (auto* d = Modal<AboutDialog>()) Save(d, "about.png");
       }},
      {0,
       [this] {
         if (auto* d = Modal<AboutDialog>()) d->Tabs()->setCurrentIndex(1);
       }},
      {300,
       [this] {
         auto* d = Modal<AboutDialog>();
         if (!d) return;
         Save(d, "about-language.png");
         d->LanguageChooser()->setCurrentIndex(2);
         emit d->LanguageChooser()->activated(2);
       }},
      {100,
       [this] {
         if (auto* d = Modal<AboutDialog>()) d->accept();
       }},
      {300, [this] { Save(&window_, "main-simplified-chinese.png"); }},
      // Multiple Readings (in English again): a burst of 50000 in progress, then done.
      {0, [] { SetCurrentLanguageSection(kEnglishSection); }},
      {0, [trigger] { trigger(MenuCommand::MultipleReadings); }, true},
      {300,
       [this] {
         auto* d = Modal<MultipleReadingsDialog>();
         if (!d) return;
         Type(d->NumberField(), "50000");
         d->RecordChoice()->setCurrentIndex(2);
         emit d->RecordChoice()->activated(2);
         d->StartButton()->click();
         const MultipleReadingsView& v = d->Model().View();
         if (!WaitFor([&] { return v.done > 0 || d->Model().Idle(); })) return Fail("the burst never reported");
         Save(d, "multiple-readings-burst.png");
         if (!WaitFor([&] { return d->Model().Idle(); })) return Fail("the burst never ended");
         Save(d, "multiple-readings-done.png");
         d->ExitButton()->click();
       }},
      // Command Control after a few commands, its history open.
      {300, [trigger] { trigger(MenuCommand::CommandControl); }, true},
      {300,
       [this] {
         auto* d = Modal<CommandConsoleDialog>();
         if (!d) return;
         d->DeviceChooser()->setCurrentIndex(1);
         emit d->DeviceChooser()->activated(1);
         const struct {
           const char* text;
           QPushButton* button;
         } commands[] = {{"*IDN?", d->QueryButton()},
                         {"CONF:VOLT:AC", d->WriteButton()},
                         {"func?", d->QueryButton()},
                         {"read?", d->QueryButton()}};
         for (const auto& c : commands) {
           Type(d->SendBox(), c.text);
           c.button->click();
           if (!WaitFor([&] { return !d->Model().View().waiting; })) return Fail("the console never got its answer");
         }
         Save(d, "command-control.png");
         d->HistoryList()->showPopup();
       }},
      {300,
       [this] {
         auto* d = Modal<CommandConsoleDialog>();
         if (!d) return;
         // The open history is a window of its own: take the screen around the dialog.
         const QRect area = d->frameGeometry().united(d->HistoryList()->view()->window()->frameGeometry());
         const QPixmap shot = d->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
         const QString path = QDir(folder_).filePath("command-control-history.png");
         if (!shot.isNull() && shot.save(path)) {
           saved_ << path;
           std::printf("%s\n", qPrintable(path));
         } else {
           Fail("could not save the console's open history");
         }
         d->HistoryList()->hidePopup();
         d->ExitButton()->click();
       }},
      // Channel scan: the configured card, an endless PerScan run with its Stop
      // button, then the grid once Stop has ended it after the scan in progress.
      {0, [trigger] { trigger(MenuCommand::ChannelScan); }, true},
      {300,
       [this] {
         auto* d = Modal<ScanDialog>();
         if (!d) return;
         if (!WaitFor([d] { return d->ChannelChooser()->isEnabled(); }, 20000)) return Fail("no scanner card found");
         ConfigureScan(*d);
       }},
      {300,
       [this] {
         if (auto* d = Modal<ScanDialog>()) Save(d, "scan-configured.png");
       }},
      {0,
       [this] {
         auto* d = Modal<ScanDialog>();
         if (!d) return;
         d->PerScanBox()->click();
         d->IntervalPicker()->setTime(QTime(0, 0, 1));
         d->StartButton()->click();
       }},
      {500,
       [this] {
         auto* d = Modal<ScanDialog>();
         if (!d) return;
         if (!WaitFor([d] { return d->Grid()->model()->rowCount() >= 2; }, 60000)) return Fail("no second scan");
         Save(d, "scan-perscan-running.png");
         d->StopButton()->click();
       }},
      {0,
       [this] {
         auto* d = Modal<ScanDialog>();
         if (!d) return;
         if (!WaitFor([d] { return d->StartButton()->isEnabled(); }, 60000)) return Fail("the scan did not stop");
         Save(d, "scan-perscan-results.png");
         d->ExitButton()->click();
       }},
      // The record dialogs, in English again, on a sample record of two functions.
      {0,
       [this] {
         SetCurrentLanguageSection(kEnglishSection);
         if (!WriteSampleRecord(9)) Fail("could not write the sample record");
       }},
      {0, [trigger] { trigger(MenuCommand::ViewRecord); }, true},
      {300,
       [this] {
         if (auto* d = Modal<RecordViewerDialog>()) d->RecordList()->setCurrentRow(d->RecordList()->count() - 1);
       }},
      {500,
       [this] {
         auto* d = Modal<RecordViewerDialog>();
         if (!d) return;
         Save(d, "record-viewer.png");
         QComboBox* pages = d->PageList();
         if (pages->count() < 3) return Fail("the sample record has fewer than three pages");
         pages->setCurrentIndex(2);
         emit pages->activated(2);
       }},
      {500, SaveAndClose<RecordViewerDialog>("record-viewer-last-page.png")},
      // Opened again: no record chosen, nothing to delete, export or search yet.
      {0, [trigger] { trigger(MenuCommand::ViewRecord); }, true},
      {500, SaveAndClose<RecordViewerDialog>("record-viewer-reopened.png")},
      {0, [trigger] { trigger(MenuCommand::ChartRecord); }, true},
      {300,
       [this] {
         auto* d = Modal<RecordChartDialog>();
         if (!d) return;
         QComboBox* records = d->RecordChoice();
         if (records->count() == 0) return Fail("no record to chart");
         records->setCurrentIndex(records->count() - 1);
         emit records->activated(records->count() - 1);
       }},
      {300,
       [this] {
         if (auto* d = Modal<RecordChartDialog>()) d->DrawButton()->click();
       }},
      {500,
       [this] {
         if (auto* d = Modal<RecordChartDialog>()) d->Draw2ndButton()->click();
       }},
      {500,
       [this] {
         if (auto* d = Modal<RecordChartDialog>()) d->Slider()->setValue(d->Slider()->maximum() * 3 / 5);
       }},
      {500, SaveAndClose<RecordChartDialog>("record-chart.png")},
  };
  next_ = 0;
  Next();
}

void MainWindowScreenshots::Next() {
  if (next_ >= steps_.size()) {
    emit Finished(ok_);
    return;
  }
  const Step step = steps_[next_++];
  QTimer::singleShot(step.delayMs, this, [this, step] {
    if (step.opensModal) {
      // The step blocks in the dialog's loop; the following steps run inside it.
      Next();
      step.run();
    } else {
      step.run();
      Next();
    }
  });
}

void MainWindowScreenshots::Save(QWidget* widget, const QString& name) {
  const QString path = QDir(folder_).filePath(name);
  if (widget->grab().save(path)) {
    saved_ << path;
    std::printf("%s\n", qPrintable(path));
  } else {
    Fail(QStringLiteral("could not save %1").arg(path));
  }
}

void MainWindowScreenshots::SaveMenu(int position, const QString& name) {
  const auto titles = window_.menuBar()->actions();
  if (position >= titles.size() || !titles[position]->menu()) return Fail("no such menu");
  QMenu* menu = titles[position]->menu();
  menu->popup(window_.mapToGlobal(window_.menuBar()->actionGeometry(titles[position]).bottomLeft()));
  Save(menu, name);
  menu->hide();
}

void MainWindowScreenshots::Fail(const QString& why) {
  std::fprintf(stderr, "%s\n", qPrintable(why));
  ok_ = false;
}

}  // namespace merilog::ui
