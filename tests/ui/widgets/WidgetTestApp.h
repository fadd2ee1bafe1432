#pragma once
#include <QApplication>

namespace merilog::ui::test {

// One application object for the widget tests (CTest runs them offscreen).
inline QApplication& App() {
  static int argc = 1;
  static char name[] = "merilog-widget-test";
  static char* argv[] = {name, nullptr};
  // Never destroyed: a static QApplication torn down at exit, after Qt's own
  // globals, can crash the test program after every test has passed.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace merilog::ui::test
