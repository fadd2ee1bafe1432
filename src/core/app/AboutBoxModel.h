#pragma once
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

namespace merilog {

enum class AboutTab { About = 0, Language = 1 };
enum class AboutCursor { Standard, Hand };

// The program name's heavy face; Qt picks the nearest font when it is missing.
struct AboutNameFont {
  QString family = QStringLiteral("Times New Roman");
  int pixelHeight = 25;
  int averageWidth = 10;
  int weight = 900;
};

struct AboutBoxViewState {
  QString title, programName, versionText, noticeText, linkText, linkAddress, okText;
  QStringList tabLabels;  // "About", "Language" in the current language
  int currentTab = 0;
  QStringList languages;  // the chooser's entries
  int languageIndex = 0;
  bool aboutItemsShown = true;  // icon, name, version, notice and link
  bool languageChooserShown = false;
  AboutCursor cursor = AboutCursor::Standard;
  AboutNameFont nameFont;
};

// True when the point lies inside the rectangle and not on its outermost
// pixels: a click on the link label's border line does nothing.
bool StrictlyInside(const QRect& rect, const QPoint& point);

// The About box with its language chooser. A new one is made at every
// opening; making it labels the box in the language current at that moment.
class AboutBoxModel {
 public:
  AboutBoxModel();

  const AboutBoxViewState& View() const { return view_; }

  // The box became visible: every opening starts in English.
  void Shown();
  void TabChanged(int tab);
  // The chooser's position becomes the language of every later lookup.
  void LanguageChosen(int position);
  // The cursor to show for a pointer position; the link label's rectangle is
  // in the same coordinates.
  AboutCursor MouseMoved(const QPoint& point, const QRect& linkRect);
  // True when the click opens the link.
  bool LeftButtonPressed(const QPoint& point, const QRect& linkRect) const;
  void Ok() {}

 private:
  AboutBoxViewState view_;
};

}  // namespace merilog
