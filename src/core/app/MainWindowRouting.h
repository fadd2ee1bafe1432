#pragma once
#include <span>

#include "core/app/MainMenuLayout.h"

namespace merilog {

// How the main window handles one menu or toolbar command.
struct CommandRoute {
  MenuCommand command;
  enum class Action { Dialog, Refresh, Exit, Start, Stop, About, Toggle } action;
  bool guarded;              // the connection guard runs first
  bool availableAtStart;     // false: its dialog is not offered yet
  bool enabledWhileIdle;
  bool enabledWhileReading;  // during a run only Stop Reading is usable
};

// Every command of the main menu and toolbar, one row each.
std::span<const CommandRoute> MainWindowRoutes();
const CommandRoute* FindRoute(MenuCommand command);

}  // namespace merilog
