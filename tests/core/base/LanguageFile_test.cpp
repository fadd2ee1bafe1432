// The shipped language file: every key the program looks up is in all three
// sections with the English text the code falls back to, and the translations
// keep the full-width punctuation the English texts carry.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <map>
#include <optional>
#include <set>

#include "core/app/MainWindowTexts.h"
#include "core/base/MessageTable.h"
#include "support/PrintQString.h"

using namespace merilog;

namespace {

QString ShippedFile() {
  return QDir(QStringLiteral(MERILOG_SOURCE_DATA_DIR)).filePath("MERILOG.ini");
}

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
        english.replace(QStringLiteral("\\\""), QStringLiteral("\""))
            .replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
        site.englishDefault = english;
      }
      found[match.captured(1)].push_back(site);
    }
  }
  return found;
}

}  // namespace

// Both translations hold every key the code asks for; the English section, where
// it has one, holds the code's English text.
TEST(LanguageFile, EveryKeyLookedUpInTheCodeOrByMenuPositionIsInAllThreeSections) {
  const MessageTable table(ShippedFile());
  ASSERT_TRUE(table.FileLoaded());
  EXPECT_EQ(table.Lookup(u"Information", u"LanguageID", "none"), kEnglishSection);
  const IniFile& ini = table.Contents();
  auto found = KeysLookedUpInTheSources();
  // The relabelling alone asks for at least the tool-tip and label keys.
  for (const char* key : {"51", "55", "61", "63"}) EXPECT_TRUE(found.count(key)) << key;
  EXPECT_EQ(found.at("61").front().englishDefault, QStringLiteral("START"));
  // Menu texts are looked up by position, not by a literal key.
  const MenuBarShape shape = MainMenuShape();
  for (int p = 0; p < int(shape.size()); ++p) {
    found[MenuTitleKey(p)].push_back({"menu title", std::nullopt});
    int q = 0;  // original entries only; added ones have keys of their own
    for (const MenuCommand command : shape[size_t(p)]) {
      if (const ExtraMenuText* extra = FindExtraMenuText(command)) {
        found[QString::fromLatin1(extra->key)].push_back({"menu item", QString::fromUtf8(extra->englishDefault)});
        continue;
      }
      if (command != MenuCommand::Separator) found[MenuItemKey(p, q)].push_back({"menu item", {}});
      ++q;
    }
  }
  for (const auto& [key, sites] : found) {
    std::set<QString> defaults;
    for (const LookupSite& site : sites)
      if (site.englishDefault) defaults.insert(*site.englishDefault);
    const QString* english = ini.Find(kEnglishSection, key);
    const std::string where = key.toStdString() + " (looked up in " + sites.front().file.toStdString() + ")";
    // Without an English entry the code's own default shows, as it must where it has two.
    if (defaults.size() > 1) {
      EXPECT_EQ(english, nullptr) << "two English texts, yet in the English section: " << where;
    } else if (english && !defaults.empty()) {
      EXPECT_EQ(*english, *defaults.begin()) << "English text of " << where;
    }
    for (const QString& section : {kTraditionalChineseSection, kSimplifiedChineseSection})
      EXPECT_NE(ini.Find(section, key), nullptr) << section.toStdString() << " lacks " << where;
  }
}

// Both translations hold the same keys, a superset of the English ones, each
// translated and keeping the full-width punctuation of its English text.
TEST(LanguageFile, TranslationsAreCompleteAndTranslated) {
  const IniFile ini = IniFile::Load(ShippedFile());
  const QStringList keys = ini.Keys(kTraditionalChineseSection);
  EXPECT_GT(keys.size(), 100);
  EXPECT_EQ(std::set(keys.begin(), keys.end()), [&] {
    const QStringList simplified = ini.Keys(kSimplifiedChineseSection);
    return std::set(simplified.begin(), simplified.end());
  }());
  for (const QString& key : ini.Keys(kEnglishSection))
    EXPECT_TRUE(keys.contains(key)) << "stray key " << key.toStdString();
  const auto looked = KeysLookedUpInTheSources();
  for (const QString& key : keys) {
    std::vector<QString> english;
    if (const QString* text = ini.Find(kEnglishSection, key)) english.push_back(*text);
    if (const auto sites = looked.find(key); sites != looked.end())
      for (const LookupSite& site : sites->second)
        if (site.englishDefault && !site.englishDefault->isEmpty()) english.push_back(*site.englishDefault);
    for (const QString& section : {kTraditionalChineseSection, kSimplifiedChineseSection}) {
      const std::string where = section.toStdString() + " key " + key.toStdString();
      const QString* found = ini.Find(section, key);
      ASSERT_NE(found, nullptr) << where;  // the key sets were compared above without stopping
      const QString& text = *found;
      EXPECT_FALSE(text.isEmpty()) << where;
      for (const QString& e : english) {
        EXPECT_NE(text, e) << "untranslated " << where;
        for (const QChar fullWidth : {QChar(0xFF1A), QChar(0xFF0C)}) {
          if (e.contains(fullWidth)) {
            EXPECT_TRUE(text.contains(fullWidth)) << where;
          }
        }
      }
    }
  }
}
