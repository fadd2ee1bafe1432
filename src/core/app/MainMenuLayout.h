#pragma once
#include <array>
#include <vector>

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
  SearchLan,  // a check item: "Search the LAN for meters"
};
inline constexpr int kMenuCommandCount = static_cast<int>(MenuCommand::SearchLan) + 1;

// Check items keep a setting rather than run a command. They are labelled by
// keys of their own, so one added to a menu moves no other entry's key.
inline constexpr bool IsCheckItem(MenuCommand command) {
  return command == MenuCommand::SearchLan;
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
      {C::DeviceSettings, C::ReadingSettings, C::Separator, C::Refresh, C::SearchLan, C::Separator, C::Exit},
      {C::ViewRecord, C::ChartRecord},
      {C::MultipleReadings, C::StartReading, C::StopReading},
      {C::CommandControl, C::ChannelScan},
      {C::About},
  };
}

}  // namespace merilog
