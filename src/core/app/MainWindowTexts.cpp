#include "core/app/MainWindowTexts.h"

#include <algorithm>
#include <array>

namespace merilog {
namespace {

QString MenuDefault(int row, int column) {
  if (row < 0 || row >= kMenuRows || column < 0 || column >= kMenuColumns) return {};
  return QString::fromUtf8(kMenuDefaults[size_t(row)][size_t(column)]);
}

}  // namespace

QString MenuTitleKey(int p) {
  return QString::number(p) + u'0';
}

QString MenuItemKey(int p, int q) {
  return QString::number(p) + QString::number(q + 1);
}

MainWindowTexts RelabelMainWindow(MessageTable& table, const QString& section, const MenuBarShape& shape) {
  // Pick up an edited language file before relabelling; lookups in between stay cached.
  table.ReloadIfChanged();
  table.Write(QStringLiteral("Information"), QStringLiteral("LanguageID"), section);

  auto lookup = [&](const QString& key, const QString& englishDefault) {
    return table.Lookup(section, key, englishDefault);
  };

  MainWindowTexts texts;
  for (int p = 0; p < int(shape.size()); ++p) {
    MainWindowTexts::Menu menu;
    menu.title = lookup(MenuTitleKey(p), MenuDefault(p, 0));
    // q counts the original entries only, so their keys stay where added ones come between.
    int q = 0;
    for (const MenuCommand command : shape[size_t(p)]) {
      if (const ExtraMenuText* extra = FindExtraMenuText(command)) {
        menu.items.push_back({command, lookup(QString::fromLatin1(extra->key), QString::fromUtf8(extra->englishDefault)),
                              IsCheckItem(command)});
        continue;
      }
      if (command == MenuCommand::Separator)
        menu.items.push_back({command, {}});
      else
        menu.items.push_back({command, lookup(MenuItemKey(p, q), MenuDefault(p, q + 1))});
      ++q;
    }
    texts.menus.push_back(std::move(menu));
  }

  texts.startTip = lookup(QStringLiteral("61"), QStringLiteral("START"));
  texts.stopTip = lookup(QStringLiteral("62"), QStringLiteral("STOP"));
  texts.deviceSettingsTip = lookup(QStringLiteral("63"), QStringLiteral("Set Device"));

  texts.yScaleLabel = lookup(QStringLiteral("51"), QStringLiteral("Y-Scale"));
  texts.dataOffsetLabel = lookup(QStringLiteral("52"), QStringLiteral("Data Offset"));
  texts.readingSpeedLabel = lookup(QStringLiteral("53"), QStringLiteral("Reading Speed"));
  texts.xMaxLabel = lookup(QStringLiteral("54"), QStringLiteral("X-Max"));
  texts.shiftGraphLabel = lookup(QStringLiteral("55"), QStringLiteral("Shift Graph"));
  return texts;
}

MainWindowTexts RelabelMainWindow(const QString& section) {
  return RelabelMainWindow(ApplicationMessageTable(), section);
}

}  // namespace merilog
