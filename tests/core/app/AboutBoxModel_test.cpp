#include "core/app/AboutBoxModel.h"

#include <gtest/gtest.h>

#include "core/base/MessageTable.h"
#include "support/PrintQString.h"

using namespace merilog;

namespace {

// Every test leaves the process-wide language as it found it: English.
class AboutBox : public ::testing::Test {
 protected:
  void TearDown() override { SetCurrentLanguageSection(kEnglishSection); }
};

}  // namespace

TEST_F(AboutBox, StartsOnTheAboutTabLabelledInTheCurrentLanguage) {
  AboutBoxModel m;
  const AboutBoxViewState& v = m.View();
  EXPECT_EQ(v.tabLabels, (QStringList{"About", "Language"}));
  for (int tab : {0, 1, 0}) {
    m.TabChanged(tab);
    EXPECT_EQ(m.View().aboutItemsShown, tab == 0);
    EXPECT_EQ(m.View().languageChooserShown, tab == 1);
  }

  // Labels follow the language current when the box is made.
  SetCurrentLanguageSection(kTraditionalChineseSection);
  AboutBoxModel tc;
  EXPECT_EQ(tc.View().tabLabels, (QStringList{QString::fromUtf8("關於"), QString::fromUtf8("語言")}));
}

TEST_F(AboutBox, EachOpeningStartsInEnglishAndTheChooserSetsTheLanguageByPosition) {
  SetCurrentLanguageSection(kSimplifiedChineseSection);
  AboutBoxModel m;
  m.Shown();
  EXPECT_EQ(CurrentLanguageSection(), kEnglishSection);
  m.LanguageChosen(2);
  m.Ok();
  EXPECT_EQ(CurrentLanguageSection(), kSimplifiedChineseSection);
  m.LanguageChosen(1);
  m.LanguageChosen(7);  // not an entry of the chooser: nothing changes
  EXPECT_EQ(CurrentLanguageSection(), kTraditionalChineseSection);
}

TEST_F(AboutBox, LinkReactsOnlyStrictlyInsideItsRectangle) {
  AboutBoxModel m;
  const QRect link(100, 50, 80, 20);  // pixels 100..179 by 50..69
  EXPECT_EQ(m.MouseMoved({101, 51}, link), AboutCursor::Hand);
  EXPECT_TRUE(m.LeftButtonPressed({178, 68}, link));
  // The border line and everything outside it.
  for (const QPoint p : {QPoint(100, 60), QPoint(179, 60), QPoint(140, 50), QPoint(140, 69)}) {
    EXPECT_FALSE(m.LeftButtonPressed(p, link)) << p.x() << "," << p.y();
    EXPECT_EQ(m.MouseMoved(p, link), AboutCursor::Standard) << p.x() << "," << p.y();
  }
  EXPECT_EQ(m.View().cursor, AboutCursor::Standard);
}
