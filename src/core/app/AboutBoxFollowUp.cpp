#include "core/app/AboutBoxFollowUp.h"

#include "core/base/MessageTable.h"

namespace merilog {

AboutBoxFollowUp AboutBoxClosed(AboutBoxOpener opener, bool meterPresent) {
  AboutBoxFollowUp f;
  if (opener != AboutBoxOpener::HelpMenu) return f;
  f.texts = RelabelMainWindow(CurrentLanguageSection());
  f.refreshDevices = !meterPresent;
  return f;
}

}  // namespace merilog
