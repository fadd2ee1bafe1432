#include "core/app/MainWindowTexts.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "support/PrintQString.h"
#include "support/TestSupport.h"

using namespace merilog;
using merilog::test::TempFolder;

namespace {

void WriteText(const QString& path, const QByteArray& utf8) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  ASSERT_EQ(f.write(utf8), utf8.size());
}

// Titles and items of every menu, separators shown as "-".
std::vector<std::vector<QString>> Flatten(const MainWindowTexts& t) {
  std::vector<std::vector<QString>> rows;
  for (const auto& menu : t.menus) {
    std::vector<QString> row{menu.title};
    for (const auto& item : menu.items) row.push_back(item.command == MenuCommand::Separator ? "-" : item.text);
    rows.push_back(row);
  }
  return rows;
}

}  // namespace

// Items are labelled by position with separators passed over; without a
// readable file (here a folder where the file should be, so the language
// write fails too) every text is its default.
TEST(MainWindowTexts, LabelsByPositionOrFallsBackToTheDefaults) {
  TempFolder tmp;
  const QString file = tmp.File("MERILOG.ini"), folder = tmp.File("folder.ini");
  ASSERT_TRUE(QDir().mkpath(folder));
  // Keys 03 and 05 would belong to the separators; they must not be used.
  WriteText(file,
            "[L]\n00=S\n01=S1\n02=S2\n03=wrong\n04=S4\n05=wrong\n06=S6\n10=R\n11=R1\n12=R2\n"
            "20=O\n21=O1\n22=O2\n23=O3\n30=T\n31=T1\n32=T2\n40=H\n41=H1\n"
            "51=a\n52=b\n53=c\n54=d\n55=e\n61=f\n62=g\n63=h\n1040=L\n1100=K\n");
  MessageTable table(file);
  const MainWindowTexts t = RelabelMainWindow(table, "L");
  // The added entries have keys of their own and leave the others' keys where they were.
  EXPECT_EQ(Flatten(t), (std::vector<std::vector<QString>>{{"S", "S1", "S2", "K", "Stop and Limits...", "-", "S4", "L", "-", "S6"},
                                                           {"R", "R1", "R2"},
                                                           {"O", "O1", "O2", "O3"},
                                                           {"T", "T1", "T2"},
                                                           {"H", "H1"}}));
  EXPECT_EQ((std::vector<QString>{t.yScaleLabel, t.dataOffsetLabel, t.readingSpeedLabel, t.xMaxLabel, t.shiftGraphLabel,
                                  t.startTip, t.stopTip, t.deviceSettingsTip}),
            (std::vector<QString>{"a", "b", "c", "d", "e", "f", "g", "h"}));
  // Commands stay with their positions.
  EXPECT_EQ(t.menus[0].items[5].command, MenuCommand::Refresh);
  EXPECT_EQ(t.menus[2].items[2].command, MenuCommand::StopReading);
  EXPECT_EQ(t.menus[0].items[4].text, "");

  MessageTable none(folder);
  const MainWindowTexts d = RelabelMainWindow(none, "L");
  EXPECT_EQ(Flatten(d)[0],
            (std::vector<QString>{"Settings", "Device Settings", "Reading manager", "Keep reading when a meter drops",
                                  "Stop and Limits...", "-", "Refresh", "Search the LAN for meters", "-", "Exit"}));
  EXPECT_EQ(d.shiftGraphLabel, "Shift Graph");
}

TEST(MainWindowTexts, AnExtraEntryGetsItsPositionKeyWithAnEmptyDefault) {
  TempFolder tmp;
  const QString path = tmp.File("MERILOG.ini");
  MenuBarShape shape = MainMenuShape();
  const int extra = static_cast<int>(shape[3].size()) + 1;  // after a separator that follows the Tool entries
  WriteText(path, QStringLiteral("[L]\n3%1=wrong\n3%2=Extra\n").arg(extra).arg(extra + 1).toUtf8());
  MessageTable table(path);
  shape[3].push_back(MenuCommand::Separator);
  shape[3].push_back(MenuCommand::Refresh);
  const MainWindowTexts with = RelabelMainWindow(table, "L", shape);
  EXPECT_EQ(with.menus[3].items[size_t(extra)].text, "Extra");
  const MainWindowTexts without = RelabelMainWindow(table, kEnglishSection, shape);
  EXPECT_EQ(without.menus[3].items[size_t(extra)].text, "");
}

TEST(MainWindowTexts, PicksUpAnEditedFileAtTheNextRelabel) {
  TempFolder tmp;
  const QString path = tmp.File("MERILOG.ini");
  WriteText(path, "[L]\n00=Before\n");
  MessageTable table(path);
  EXPECT_EQ(RelabelMainWindow(table, "L").menus[0].title, "Before");
  WriteText(path, "[L]\n00=After, edited\n[Information]\nLanguageID=L\n");
  EXPECT_EQ(RelabelMainWindow(table, "L").menus[0].title, "After, edited");
}
