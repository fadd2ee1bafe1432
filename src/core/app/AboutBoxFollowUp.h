#pragma once
#include <optional>

#include "core/app/MainWindowTexts.h"

namespace merilog {

enum class AboutBoxOpener { HelpMenu, SystemMenu };

// What the main window does once the About box has closed.
struct AboutBoxFollowUp {
  std::optional<MainWindowTexts> texts;  // set: relabel the window and redraw the menu bar
  bool refreshDevices = false;           // set: run RefreshDevices
};

// Opened from Help: the window is relabelled in the language now current (the
// language file records it), and with no meter present a new search runs.
// Opened from the system menu: nothing; the new language shows at the next
// relabelling.
AboutBoxFollowUp AboutBoxClosed(AboutBoxOpener opener, bool meterPresent);

}  // namespace merilog
