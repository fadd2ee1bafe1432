#include "core/labserver/LabServerMonitor.h"

#include "core/base/Prompter.h"
#include "core/labserver/LabServerTexts.h"

namespace merilog {

LabServerMonitor::LabServerMonitor(LabServerSettings settings, QString recordFolder, Prompter& prompter,
                                   std::function<void()> changed, LabForwardPolicy policy)
    : prompter_(prompter),
      changed_(std::move(changed)),
      serverName_(DescribeServer(settings.connection)),
      forwarder_(std::make_unique<LabForwarder>(std::move(settings), std::move(recordFolder), std::move(policy))) {
  forwarder_->OnChange([this] { Changed(); });
}

void LabServerMonitor::Changed() {
  if (changed_) changed_();
  const LabForwardStatus s = forwarder_->Status();
  while (told_ < s.messages.size()) {
    // Counted before it shows: a message box runs the event loop, and the next change may come meanwhile.
    const QString text = s.messages[told_++];
    prompter_.Message(text, lab_texts::Caption(), Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
  }
}

}  // namespace merilog
