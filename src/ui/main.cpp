// Placeholder main window: shows the menu bar, toolbar tool-tips and chart
// labels in the chosen language until the real main window exists. Every
// command is disabled; nothing here pretends to work.
//
//   merilog [--language N] [--screenshot FILE]
//     N: 0 English, 1 Traditional Chinese, 2 Simplified Chinese
//     FILE: save a picture of the window (and FILE-menu.png of the first menu) and quit
#include <QApplication>
#include <QCommandLineParser>
#include <QFormLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTimer>
#include <QToolBar>

#include "core/app/MainWindowTexts.h"
#include "core/app/MessageTable.h"

namespace {

QMenu* BuildMenus(QMainWindow& window, const merilog::MainWindowTexts& texts) {
  QMenu* first = nullptr;
  for (const auto& menuTexts : texts.menus) {
    QMenu* menu = window.menuBar()->addMenu(menuTexts.title);
    if (!first) first = menu;
    for (const auto& item : menuTexts.items) {
      if (item.command == merilog::MenuCommand::Separator) {
        menu->addSeparator();
      } else {
        menu->addAction(item.text)->setEnabled(false);
      }
    }
  }
  return first;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QCommandLineParser options;
  options.addHelpOption();
  options.addOption({"language", "0 English, 1 Traditional Chinese, 2 Simplified Chinese.", "N", "0"});
  options.addOption({"screenshot", "Save a picture of the window to FILE and quit.", "FILE"});
  options.process(app);

  merilog::SetLanguageByIndex(options.value("language").toInt());
  const merilog::MainWindowTexts texts = merilog::RelabelMainWindow(merilog::CurrentLanguageSection());

  QMainWindow window;
  window.setWindowTitle("MERILOG");
  QMenu* firstMenu = BuildMenus(window, texts);

  QToolBar* toolbar = window.addToolBar("toolbar");
  toolbar->setMovable(false);
  const std::pair<QString, QString> tools[] = {
      {"Start", texts.startTip}, {"Stop", texts.stopTip}, {"", {}}, {"Device Settings", texts.deviceSettingsTip}};
  for (const auto& [name, tip] : tools) {
    if (name.isEmpty()) {
      toolbar->addSeparator();
      continue;
    }
    QAction* action = toolbar->addAction(name);
    action->setToolTip(tip);
    action->setEnabled(false);
  }

  auto* central = new QWidget;
  auto* form = new QFormLayout(central);
  form->addRow(new QLabel(texts.shiftGraphLabel));
  form->addRow(texts.yScaleLabel, new QLabel("1"));
  form->addRow(texts.dataOffsetLabel, new QLabel("0"));
  form->addRow(texts.readingSpeedLabel, new QLabel("25ms"));
  form->addRow(texts.xMaxLabel, new QLabel("100 readings"));
  form->addRow(new QLabel(QStringLiteral("%1 / %2 / %3").arg(texts.startTip, texts.stopTip, texts.deviceSettingsTip)));
  window.setCentralWidget(central);
  window.resize(640, 360);
  window.show();

  const QString screenshot = options.value("screenshot");
  if (!screenshot.isEmpty()) {
    QTimer::singleShot(300, [&] {
      bool ok = window.grab().save(screenshot);
      firstMenu->popup(window.mapToGlobal(QPoint(0, window.menuBar()->height())));
      QTimer::singleShot(300, [&, ok]() mutable {
        QString menuFile = screenshot;
        menuFile.replace(QRegularExpression("\\.png$"), QString()).append("-menu.png");
        ok = firstMenu->grab().save(menuFile) && ok;
        app.exit(ok ? 0 : 1);
      });
    });
  }
  return app.exec();
}
