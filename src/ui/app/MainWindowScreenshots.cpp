#include "ui/app/MainWindowScreenshots.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTimer>
#include <QWidget>
#include <cstdio>

#include "core/measure/FunctionButton.h"
#include "ui/app/AboutDialog.h"
#include "ui/app/MainWindow.h"
#include "ui/app/MainWindowPanels.h"
#include "ui/readingconfig/ReadingSettingsDialog.h"

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

namespace {

void PressFunction(MainWindow& w, const char* label) {
  const FunctionButton* button = FindFunctionButton(label);
  if (button) w.Panels().functionButtons[button - FunctionButtonTable().data()]->click();
}

}  // namespace

void MainWindowScreenshots::Start() {
  QDir().mkpath(folder_);
  MainWindow& w = window_;
  auto trigger = [&w](MenuCommand command) {
    if (QAction* action = w.MenuAction(command)) action->trigger();
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
