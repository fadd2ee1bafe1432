#pragma once
#include <QString>
#include <vector>

#include "core/app/MainMenuLayout.h"
#include "core/base/MessageTable.h"

namespace merilog {

// Everything the main window shows in its language: menu texts by position,
// the three toolbar tool-tips and the five chart-control labels.
struct MainWindowTexts {
  struct Item {
    MenuCommand command = MenuCommand::Separator;
    QString text;  // empty for a separator
    bool checkable = false;
  };
  struct Menu {
    QString title;
    std::vector<Item> items;
  };
  std::vector<Menu> menus;

  QString startTip, stopTip, deviceSettingsTip;
  QString yScaleLabel, dataOffsetLabel, readingSpeedLabel, xMaxLabel, shiftGraphLabel;
};

// Key of a menu text: "%d0" for top-level menu p, "%d%d" (p, q + 1) for its entry at position q
// (check items not counted).
QString MenuTitleKey(int p);
QString MenuItemKey(int p, int q);

// Records the section as "LanguageID" in section "Information" of the language
// file (a failed write is ignored) and looks the main window's texts up in it.
// Menu entries are labelled by position; separators are passed over; check
// items have keys of their own.
MainWindowTexts RelabelMainWindow(MessageTable& table, const QString& section,
                                  const MenuBarShape& shape = MainMenuShape());
// The same on the process-wide message table.
MainWindowTexts RelabelMainWindow(const QString& section);

}  // namespace merilog
