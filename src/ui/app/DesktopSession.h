#pragma once
#include <memory>
#include <string>

#include "core/app/IoSetup.h"
#include "core/base/Clock.h"
#include "ui/app/QtPrompter.h"

namespace merilog {
class MainWindowModel;
}

namespace merilog::ui {

class MainWindow;

// The desktop program as it runs: the instruments chosen from the options, the
// window's prompter and clock, the main window over its model, the meters
// searched for and the window shown. The program and its screenshot tour start
// it alike. Needs the application object.
class DesktopSession {
 public:
  // Null, with the reason, when the instruments cannot be set up.
  static std::unique_ptr<DesktopSession> Start(const IoOptions& io, std::string* error);
  ~DesktopSession();

  MainWindow& Window() { return *window_; }
  // What the session reaches instruments through (the screenshot tour finds its simulated bench there).
  ResourceManager& Resources() { return *instruments_.resources; }

 private:
  DesktopSession() = default;

  Instruments instruments_;
  QtPrompter prompter_;
  SystemClock clock_;
  std::unique_ptr<MainWindowModel> model_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace merilog::ui
