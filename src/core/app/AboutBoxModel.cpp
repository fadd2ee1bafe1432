#include "core/app/AboutBoxModel.h"

#include "core/base/MessageTable.h"

namespace merilog {

bool StrictlyInside(const QRect& rect, const QPoint& point) {
  return point.x() > rect.left() && point.x() < rect.right() && point.y() > rect.top() && point.y() < rect.bottom();
}

AboutBoxModel::AboutBoxModel() {
  view_.title = QStringLiteral("About Multimeter Tool");
  view_.programName = QStringLiteral("MERILOG");
  // The leading blanks centre the lines under the name; they are part of the text.
  view_.versionText = QStringLiteral(
      "                             Version  2.04\n\n            Windows 2000 / XP / VISTA / 7 / 8 / 10");
  view_.noticeText = QStringLiteral("Free software for bench multimeters, provided without warranty.");
  view_.linkAddress = QStringLiteral("https://merilog.example.org/");
  view_.linkText = QStringLiteral("merilog.example.org");
  view_.okText = LookupMessage("07", "OK");
  view_.tabLabels = {LookupMessage("200", "About"), LookupMessage("201", "Language")};
  view_.languages = {QStringLiteral("English(U.S)"), QStringLiteral("Chinese(T.C)"), QStringLiteral("Chinese(S.C)")};
  TabChanged(static_cast<int>(AboutTab::About));
}

void AboutBoxModel::Shown() {
  view_.languageIndex = 0;
  SetCurrentLanguageSection(kEnglishSection);
}

void AboutBoxModel::TabChanged(int tab) {
  view_.currentTab = tab == static_cast<int>(AboutTab::Language) ? tab : static_cast<int>(AboutTab::About);
  const bool language = view_.currentTab == static_cast<int>(AboutTab::Language);
  view_.aboutItemsShown = !language;
  view_.languageChooserShown = language;
}

void AboutBoxModel::LanguageChosen(int position) {
  if (position < 0 || position >= view_.languages.size()) return;
  view_.languageIndex = position;
  SetLanguageByIndex(position);
}

AboutCursor AboutBoxModel::MouseMoved(const QPoint& point, const QRect& linkRect) {
  view_.cursor = StrictlyInside(linkRect, point) ? AboutCursor::Hand : AboutCursor::Standard;
  return view_.cursor;
}

bool AboutBoxModel::LeftButtonPressed(const QPoint& point, const QRect& linkRect) const {
  return StrictlyInside(linkRect, point);
}

}  // namespace merilog
