#pragma once
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QWidget;

namespace merilog::sim {
class SimBench;
}

namespace merilog::ui {

class MainWindow;

// Takes the pictures of the screenshot script: drives the real main window as a
// user would (menus, dialogs, Start and Stop) and saves PNGs into a folder.
// Each step runs on its own event-loop turn so the window paints in between;
// a step that opens a modal dialog has the next steps run inside its loop.
class MainWindowScreenshots : public QObject {
  Q_OBJECT
 public:
  MainWindowScreenshots(MainWindow& window, QString folder, int readingMs = 4000);
  // The simulated bench the window reads, so a meter can be unplugged for a picture; without it that picture is not
  // taken.
  void SetBench(std::shared_ptr<sim::SimBench> bench) { bench_ = std::move(bench); }
  void Start();
  const QStringList& Saved() const { return saved_; }

 signals:
  void Finished(bool ok);

 private:
  struct Step {
    int delayMs;
    std::function<void()> run;
    bool opensModal = false;
  };
  void Next();
  void Save(QWidget* widget, const QString& name);
  void Fail(const QString& why);
  // Opens a menu of the menu bar by position, saves its picture and closes it.
  void SaveMenu(int position, const QString& name);
  // The modal dialog now shown, or null (with a failure noted).
  template <typename Dialog>
  Dialog* Modal();
  // A step that saves the open dialog's picture and closes it.
  template <typename Dialog>
  std::function<void()> SaveAndClose(QString name);

  MainWindow& window_;
  QString folder_;
  int readingMs_;
  std::vector<Step> steps_;
  size_t next_ = 0;
  bool ok_ = true;
  QStringList saved_;
  std::shared_ptr<sim::SimBench> bench_;
};

}  // namespace merilog::ui
