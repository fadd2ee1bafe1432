#pragma once
#include <QString>
#include <functional>
#include <memory>

#include "core/labserver/LabForwarder.h"

namespace merilog {

class Prompter;

// A program's lab server: the forwarder for its working folder, the status
// line it gives, and each of its messages told once through the prompter. Made
// and used on the thread of the program's event loop.
class LabServerMonitor {
 public:
  // `changed` runs after each change of the status (the view renders again).
  LabServerMonitor(LabServerSettings settings, QString recordFolder, Prompter& prompter,
                   std::function<void()> changed = {}, LabForwardPolicy policy = {});

  // Rendered on every reading tick: the server's name is worked out once.
  QString StatusLine() const { return LabStatusLine(serverName_, forwarder_->Status()); }
  LabForwardStatus Status() const { return forwarder_->Status(); }
  LabForwarder& Forwarder() { return *forwarder_; }

 private:
  void Changed();

  Prompter& prompter_;
  std::function<void()> changed_;
  qsizetype told_ = 0;  // messages of the forwarder shown so far
  QString serverName_;
  std::unique_ptr<LabForwarder> forwarder_;
};

}  // namespace merilog
