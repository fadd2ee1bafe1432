#include "ui/app/MainWindowScreenshots.h"

#include <QDir>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <cstdio>

#include "ui/app/MainWindow.h"

namespace merilog::ui {

MainWindowScreenshots::MainWindowScreenshots(MainWindow& window, QString folder, int readingMs)
    : window_(window), folder_(std::move(folder)), readingMs_(readingMs) {}

void MainWindowScreenshots::Start() {
  QDir().mkpath(folder_);
  MainWindowModel& model = window_.Model();
  steps_ = {
      {300, [this] { Save(&window_, "main-idle.png"); }},
      {0,
       [this, &model] {
         ChooseTwoMetersInMultiDeviceMode();
         model.StartReading();
       }},
      {readingMs_,
       [this, &model] {
         Save(&window_, "main-reading-multi.png");
         model.StopReading();
       }},
      {200, [this] { Save(&window_, "main-stopped-multi.png"); }},
  };
  next_ = 0;
  Next();
}

void MainWindowScreenshots::Next() {
  if (next_ >= steps_.size()) {
    emit Finished(ok_);
    return;
  }
  const Step& step = steps_[next_++];
  QTimer::singleShot(step.delayMs, this, [this, run = step.run] {
    run();
    Next();
  });
}

void MainWindowScreenshots::Save(QWidget* widget, const QString& name) {
  const QString path = QDir(folder_).filePath(name);
  if (widget->grab().save(path)) {
    saved_ << path;
    std::printf("%s\n", qPrintable(path));
  } else {
    std::fprintf(stderr, "could not save %s\n", qPrintable(path));
    ok_ = false;
  }
}

void MainWindowScreenshots::ChooseTwoMetersInMultiDeviceMode() {
  // Bound once the Reading Settings dialog lands: choose the first two meters there.
  std::fprintf(stderr, "multi-device mode not available yet\n");
  ok_ = false;
}

}  // namespace merilog::ui
