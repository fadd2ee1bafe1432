#pragma once
#include <array>
#include <vector>

#include "core/base/ProgramOptions.h"

namespace merilog {

// Commands of the main menu. Separator stands for an entry without a command.
enum class MenuCommand {
  Separator = 0,
  DeviceSettings,
  ReadingSettings,
  Refresh,
  Exit,
  ViewRecord,
  ChartRecord,
  MultipleReadings,
  StartReading,
  StopReading,
  CommandControl,
  About,
  ChannelScan,
  // Beyond the original menu: the LAN search and unattended runs.
  SearchLan,      // a check item: "Search the LAN for meters"
  KeepReading,    // a check item: keep reading when a meter drops
  UnattendedRun,  // the Stop and Limits dialog
};
inline constexpr int kMenuCommandCount = static_cast<int>(MenuCommand::UnattendedRun) + 1;

// Entries added to the original menu have message keys of their own; the
// original entries keep the keys of their original positions.
// A check item keeps a choice (its option) rather than run a command.
struct ExtraMenuText {
  MenuCommand command;
  const char* key;
  const char* englishDefault;
  const ProgramOption* option = nullptr;
};
inline constexpr std::array<ExtraMenuText, 3> kExtraMenuTexts{{
    {MenuCommand::SearchLan, "1040", "Search the LAN for meters", &kSearchLanOption},
    {MenuCommand::KeepReading, "1100", "Keep reading when a meter drops", &kKeepReadingOption},
    {MenuCommand::UnattendedRun, "1101", "Stop and Limits..."},
}};
inline constexpr const ExtraMenuText* FindExtraMenuText(MenuCommand command) {
  for (const ExtraMenuText& e : kExtraMenuTexts)
    if (e.command == command) return &e;
  return nullptr;
}
inline constexpr bool IsCheckItem(MenuCommand command) {
  const ExtraMenuText* e = FindExtraMenuText(command);
  return e && e->option;
}

// The main menu bar: one command list per top-level menu, by position.
using MenuBarShape = std::vector<std::vector<MenuCommand>>;

// English defaults of the menu texts: one row per top-level menu; column 0 is
// the menu's own text, column c the entry at position c - 1. Separators and
// positions without an entry are empty.
inline constexpr int kMenuRows = 5;
inline constexpr int kMenuColumns = 7;
inline constexpr std::array<std::array<const char*, kMenuColumns>, kMenuRows> kMenuDefaults{{
    {"Settings", "Device Settings", "Reading manager", "", "Refresh", "", "Exit"},
    {"Record", "View Record", "Chart Record", "", "", "", ""},
    {"Operation", "Multiple Readings", "Start Reading", "Stop Reading", "", "", ""},
    {"Tool", "Command Control", "Channel Scan", "", "", "", ""},
    // The Help menu; its text is looked up with "About" as the default.
    {"About", "About", "", "", "", "", ""},
}};

// The menu bar the main window is built with. Positional keys count the
// entries before a check item as if it were not there.
inline MenuBarShape MainMenuShape() {
  using C = MenuCommand;
  return {
      {C::DeviceSettings, C::ReadingSettings, C::KeepReading, C::UnattendedRun, C::Separator, C::Refresh, C::SearchLan,
       C::Separator, C::Exit},
      {C::ViewRecord, C::ChartRecord},
      {C::MultipleReadings, C::StartReading, C::StopReading},
      {C::CommandControl, C::ChannelScan},
      {C::About},
  };
}

}  // namespace merilog
