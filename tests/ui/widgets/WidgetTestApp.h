#pragma once
#include <QApplication>

namespace merilog::ui::test {

// One application object for the widget tests (CTest runs them offscreen).
inline QApplication& App() {
  static int argc = 1;
  static char name[] = "merilog-widget-test";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return app;
}

}  // namespace merilog::ui::test
