// The shipped language file: every key the program looks up is in all three
// sections, the English texts read back exactly, and the translations keep the
// full-width punctuation the English texts carry.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/PrintQString.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "core/app/MainWindowTexts.h"
#include "core/base/MessageTable.h"

using namespace merilog;

namespace {

QString ShippedFile() { return QDir(QStringLiteral(MERILOG_SOURCE_DATA_DIR)).filePath("MERILOG.ini"); }

// Every key the program's screens and messages look up, with its English texts
// (two where one key is shown in two places with different English texts).
const std::map<QString, std::vector<QString>>& KeysOfTheProgram() {
  static const std::map<QString, std::vector<QString>> keys{
      {"00", {"Settings"}}, {"01", {"Device Settings"}}, {"02", {"Reading manager", "Reading Settings"}},
      {"03", {"Setting Scan"}}, {"04", {"Refresh"}}, {"06", {"Exit"}}, {"07", {"OK"}}, {"09", {"Exit"}},
      {"10", {"Record"}}, {"11", {"View Record"}}, {"12", {"Chart Record"}}, {"20", {"Operation"}},
      {"21", {"Multiple Readings"}}, {"22", {"Start Reading"}}, {"23", {"Stop Reading"}}, {"30", {"Tool"}},
      {"31", {"Command Control"}}, {"32", {"Channel Scan"}}, {"40", {"About"}}, {"41", {"About"}},
      {"51", {"Y-Scale"}}, {"52", {"Data Offset"}}, {"53", {"Reading Speed"}}, {"54", {"X-Max"}},
      {"55", {"Shift Graph"}}, {"61", {"START", "Start Reading"}}, {"62", {"STOP"}}, {"63", {"Set Device"}},
      {"71", {"DC Voltage"}}, {"72", {"DC Current"}}, {"73", {"AC Voltage"}}, {"74", {"AC Current"}},
      {"75", {"Resistance(2W)"}}, {"76", {"Resistance(4W)"}}, {"77", {"Frequency"}}, {"78", {"Period"}},
      {"79", {"Continuity"}}, {"80", {"Diode"}}, {"81", {"TEMP"}}, {"82", {"DC Ratio"}}, {"83", {"TCOUPLE"}},
      {"84", {"Device List"}}, {"85", {"Settings"}}, {"86", {"Function"}}, {"87", {"Range"}},
      {"88", {"Aperture (s)", ""}}, {"89", {"TYPE", "Sensor"}}, {"90", {"Resolution"}}, {"91", {"Bandwidth"}},
      {"92", {"Unit"}}, {"93", {"Submit"}}, {"94", {"Get Multimeter Setting"}}, {"95", {"Exit"}},
      {"96", {"3 HZ"}}, {"97", {"20 HZ"}}, {"98", {"200 HZ"}}, {"99", {"Fast 4 Digits"}},
      {"101", {"Fast 5 Digits"}}, {"103", {"Fast 6 Digits"}}, {"104", {"Slow 6 Digits"}},
      {"105", {"° C"}}, {"106", {"° F"}}, {"107", {"K"}},
      {"0.01", {"0.01s"}}, {"0.1", {"0.1s"}}, {"1", {"1s"}},
      {"108", {"Channel"}}, {"109", {"Timer"}}, {"110", {"Scan count"}}, {"111", {"At Time"}},
      {"112", {"Stop Time"}}, {"113", {"PerScan Interval"}}, {"114", {"Stop After N scans"}},
      {"120", {"Reading Mode"}}, {"121", {"Single-Device"}}, {"122", {"Multi-Device"}}, {"123", {"Color Print"}},
      {"124", {"Change Color"}}, {"125", {"Save", "Y-Scale"}}, {"126", {"Save"}},
      {"130", {"Record List"}}, {"131", {"Refresh"}}, {"132", {"Delete Record"}}, {"133", {"Record Contents"}},
      {"134", {"MAX："}}, {"135", {"MIN："}}, {"136", {"AVG："}}, {"137", {"Band width"}},
      {"138", {"LO Limiter"}}, {"139", {"HI Limiter"}}, {"140", {"Range browsing"}}, {"141", {"Search"}},
      {"142", {"Output to CSV"}}, {"150", {"Data Quantity："}}, {"151", {"Draw"}}, {"152", {"Clear"}},
      {"153", {"Drawing with all"}}, {"154", {"Drawing data from"}}, {"155", {"to"}}, {"156", {""}},
      {"170", {"Number of Readings"}}, {"171", {"%1 of %2 readings, %3 per second"}},
      {"180", {"Send String"}}, {"181", {"String Received"}},
      {"182", {"Query"}}, {"183", {"Write"}}, {"184", {"Read"}}, {"185", {"Waiting for the meter's answer..."}}, {"200", {"About"}}, {"201", {"Language"}},
      {"210", {"CAP"}},
      {"1000", {"No Device Connected"}}, {"1001", {"Check Device Connection"}}, {"1002", {"Select Device"}},
      {"1003", {"Select Device First"}},
      {"1004", {"ALPHA range is 0 - 0.01，please re-enter."}}, {"1005", {"BETA range is 0 - 1，please re-enter."}},
      {"1006", {"DELTA range is 0 - 5，please re-enter."}},
      {"1007", {"R-ZERO range is 10 - 1000，please re-enter."}},
      {"1008", {"A4 range is (-1) - 1，please re-enter."}}, {"1009", {"B4 range is (-1) - 1，please re-enter."}},
      {"1010", {"A7 range is (-1) - 1，please re-enter."}}, {"1011", {"B7 range is (-1) - 1，please re-enter."}},
      {"1012", {"C7 range is (-1) - 1，please re-enter."}}, {"1013", {"Please select a record."}},
      {"1014", {"The record has been selected, please select a different record."}},
      {"1020", {"No data in file"}}, {"1021", {"Are you sure you want to delete this record?"}},
      {"1022", {"Please input a valid value."}}, {"1023", {"Please narrow the searching range."}},
      {"1024", {"No records were found."}}, {"1026", {"Input Data Error! Please re-enter."}},
      {"1027", {"Over-range! Please re-enter."}},
      {"1031", {"Connection status has changed.Please select \"Refresh\"."}},
      {"1032", {"Match_sample："}}, {"1033", {"Please input a valid Min_value."}},
      {"1034", {"Please input a valid Max_value."}}, {"1035", {"A range is 0.01 - 0，please re-enter."}},
      {"1036", {"B range is 0.01 - 0，please re-enter."}}, {"1037", {"C range is 0.01 - 0，please re-enter."}},
  };
  return keys;
}

// English overrides the file makes on purpose.
const std::map<QString, QString> kEnglishOverrides{{"40", "Help"}};

const QString kSections[] = {kEnglishSection, kTraditionalChineseSection, kSimplifiedChineseSection};

bool TwoEnglishTexts(const QString& key) { return KeysOfTheProgram().at(key).size() > 1; }

// Keys the code looks up with a literal: LookupMessage("key", ...) and the
// relabelling's lookup(QStringLiteral("key"), ...), in every source file, with
// the English default when that is a literal too.
struct LookupSite {
  QString file;
  std::optional<QString> englishDefault;
};
std::map<QString, std::vector<LookupSite>> KeysLookedUpInTheSources() {
  const QString sourceRoot = QDir::cleanPath(QDir(QStringLiteral(MERILOG_SOURCE_DATA_DIR)).filePath("../src"));
  const QString literal = QStringLiteral(R"re((?:QStringLiteral\s*\(\s*|u8?)?"((?:[^"\\]|\\.)*)")re");
  static const QRegularExpression call(QStringLiteral(R"re(\b(?:LookupMessage|lookup)\s*\(\s*)re") + literal +
                                       QStringLiteral(R"re((?:\s*\)?\s*,\s*)re") + literal + ")?");
  std::map<QString, std::vector<LookupSite>> found;
  QDirIterator it(sourceRoot, {"*.cpp", "*.h"}, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) continue;
    const QString text = QString::fromUtf8(f.readAll());
    for (auto m = call.globalMatch(text); m.hasNext();) {
      const auto match = m.next();
      LookupSite site{path, std::nullopt};
      if (match.capturedStart(2) >= 0) {
        QString english = match.captured(2);
        english.replace(QStringLiteral("\\\""), QStringLiteral("\"")).replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
        site.englishDefault = english;
      }
      found[match.captured(1)].push_back(site);
    }
  }
  return found;
}

}  // namespace

TEST(LanguageFile, EnglishTextsReadBackExactly) {
  const MessageTable table(ShippedFile());
  ASSERT_TRUE(table.FileLoaded());
  EXPECT_EQ(table.Lookup(u"Information", u"LanguageID", "none"), kEnglishSection);
  EXPECT_EQ(table.Lookup(kEnglishSection, u"156", "x"), "");  // present but empty: not the default
  const IniFile& ini = table.Contents();
  for (const auto& [key, defaults] : KeysOfTheProgram()) {
    const QString* text = ini.Find(kEnglishSection, key);
    if (TwoEnglishTexts(key)) {
      // Left out so each place keeps its own English text.
      EXPECT_EQ(text, nullptr) << "key " << key.toStdString();
      continue;
    }
    ASSERT_NE(text, nullptr) << "key " << key.toStdString();
    const auto override_ = kEnglishOverrides.find(key);
    EXPECT_EQ(*text, override_ != kEnglishOverrides.end() ? override_->second : defaults.front())
        << "key " << key.toStdString();
  }
  // Nothing in the English section that the program does not ask for.
  for (const QString& key : ini.Keys(kEnglishSection)) {
    EXPECT_TRUE(KeysOfTheProgram().count(key)) << "stray key " << key.toStdString();
  }
}

TEST(LanguageFile, TranslationsAreCompleteAndTranslated) {
  const IniFile ini = IniFile::Load(ShippedFile());
  for (const QString& section : {kTraditionalChineseSection, kSimplifiedChineseSection}) {
    for (const auto& [key, defaults] : KeysOfTheProgram()) {
      const QString* text = ini.Find(section, key);
      ASSERT_NE(text, nullptr) << section.toStdString() << " key " << key.toStdString();
      EXPECT_FALSE(text->isEmpty()) << section.toStdString() << " key " << key.toStdString();
      for (const QString& english : defaults) EXPECT_NE(*text, english) << "untranslated key " << key.toStdString();
      for (const QChar fullWidth : {QChar(0xFF1A), QChar(0xFF0C)}) {
        if (defaults.front().contains(fullWidth)) {
          EXPECT_TRUE(text->contains(fullWidth)) << section.toStdString() << " key " << key.toStdString();
        }
      }
    }
    EXPECT_EQ(ini.Keys(section).size(), qsizetype(KeysOfTheProgram().size())) << section.toStdString();
  }
}

TEST(LanguageFile, EveryKeyLookedUpInTheCodeOrByMenuPositionIsInAllThreeSections) {
  const IniFile ini = IniFile::Load(ShippedFile());
  auto found = KeysLookedUpInTheSources();
  // The relabelling alone asks for at least the tool-tip and label keys.
  for (const char* key : {"51", "55", "61", "63"}) EXPECT_TRUE(found.count(key)) << key;
  EXPECT_EQ(found.at("61").front().englishDefault, QStringLiteral("START"));
  // Menu texts are looked up by position, not by a literal key.
  const MenuBarShape shape = MainMenuShape();
  for (int p = 0; p < int(shape.size()); ++p) {
    found[MenuTitleKey(p)].push_back({"menu title", std::nullopt});
    for (int q = 0; q < int(shape[size_t(p)].size()); ++q)
      if (shape[size_t(p)][size_t(q)] != MenuCommand::Separator) found[MenuItemKey(p, q)].push_back({"menu item", {}});
  }
  for (const auto& [key, sites] : found) {
    for (const LookupSite& site : sites) {
      const std::string where = key.toStdString() + " (looked up in " + site.file.toStdString() + ")";
      ASSERT_TRUE(KeysOfTheProgram().count(key)) << "key not in the test's list: " << where;
      if (site.englishDefault) {
        const auto& defaults = KeysOfTheProgram().at(key);
        EXPECT_NE(std::find(defaults.begin(), defaults.end(), *site.englishDefault), defaults.end())
            << "English default \"" << site.englishDefault->toStdString() << "\" of " << where;
      }
      for (const QString& section : kSections) {
        if (section == kEnglishSection && TwoEnglishTexts(key)) continue;
        EXPECT_NE(ini.Find(section, key), nullptr) << section.toStdString() << " lacks " << where;
      }
    }
  }
}

TEST(LanguageFile, RelabelsTheMenuInEachLanguage) {
  // Work on a copy: relabelling writes "LanguageID" into the file.
  QTemporaryDir dir;
  ASSERT_TRUE(QFile::copy(ShippedFile(), dir.filePath("MERILOG.ini")));
  QFile::setPermissions(dir.filePath("MERILOG.ini"), QFile::ReadOwner | QFile::WriteOwner);
  MessageTable table(dir.filePath("MERILOG.ini"));

  const MainWindowTexts en = RelabelMainWindow(table, LanguageSectionForIndex(0));
  EXPECT_EQ(en.menus[0].items[1].text, "Reading manager");
  EXPECT_EQ(en.menus[4].title, "Help");
  EXPECT_EQ(en.startTip, "START");

  const MainWindowTexts tc = RelabelMainWindow(table, LanguageSectionForIndex(1));
  EXPECT_EQ(tc.menus[0].title, "設定");
  EXPECT_EQ(tc.menus[4].items[0].text, "關於");
  EXPECT_EQ(tc.yScaleLabel, "Y 軸刻度");
  EXPECT_EQ(table.Lookup(u"Information", u"LanguageID", ""), "Chinese(Traditional)");

  const MainWindowTexts sc = RelabelMainWindow(table, LanguageSectionForIndex(2));
  EXPECT_EQ(sc.menus[2].items[2].text, "停止读数");
  EXPECT_EQ(sc.startTip, "开始读数");
  EXPECT_EQ(table.Lookup(u"Information", u"LanguageID", ""), "Chinese(Simplify)");
}
