#include "core/base/IniFile.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include "support/FullDisk.h"
#include "support/PrintQString.h"
#include "support/TestSupport.h"

using merilog::IniFile;
using merilog::test::TempFolder;

namespace {

QString Value(const IniFile& ini, const char* section, const char* key) {
  const QString* v = ini.Find(QString::fromUtf8(section), QString::fromUtf8(key));
  return v ? *v : QStringLiteral("<missing>");
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray ReadBytes(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return "<unreadable>";
  return f.readAll();
}

}  // namespace

TEST(IniFile, ValuesAreLiteralTrimmedAndLoseOneQuotePair) {
  const IniFile ini = IniFile::Parse(
      "\xEF\xBB\xBF; comment\r\n"
      "# another\n"
      "[Sec]\r\n"
      "  a = one, two, three  \r\n"
      "b=Please select \"Refresh\".\n"
      "c=\"  padded  \"\n"
      "d='x'\n"
      "e=\"\n"
      "f=\n"
      "g=x=y\n"
      "h=%1 \\n \\\"raw\\\"\n"
      "i=\"Refresh\" or \"Stop\"\n");
  // e: a lone quote is not a pair; i starts and ends with a quote, so one pair
  // goes, as the profile functions do.
  const QStringList values = {"one, two, three",    "Please select \"Refresh\".", "  padded  ", "x", "\"", "", "x=y",
                              "%1 \\n \\\"raw\\\"", "Refresh\" or \"Stop"};
  const QStringList keys = ini.Keys(u"Sec");
  ASSERT_EQ(keys, (QStringList{"a", "b", "c", "d", "e", "f", "g", "h", "i"}));
  for (int i = 0; i < keys.size(); ++i) EXPECT_EQ(Value(ini, "Sec", qPrintable(keys[i])), values[i]) << i;
}

TEST(IniFile, NamesIgnoreCaseFirstKeyWinsSectionsMerge) {
  const IniFile ini = IniFile::Parse(
      "[English(U.S)]\n1000=first\n1000=second\nKey=k\n"
      "[Other]\n1000=other\n"
      "[english(u.s)]\n1001=later block\n1000=third\n");
  EXPECT_EQ(Value(ini, "ENGLISH(U.S)", "1000"), "first");
  EXPECT_EQ(Value(ini, "English(U.S)", "KEY"), "k");
  EXPECT_EQ(Value(ini, "English(U.S)", "1001"), "later block");
  EXPECT_EQ(Value(ini, "Other", "1000"), "other");
  EXPECT_EQ(Value(ini, "Missing", "1000"), "<missing>");
  EXPECT_EQ(ini.SectionNames(), (QStringList{"English(U.S)", "Other"}));
}

TEST(IniFile, DamagedLinesAreSkippedAndTheRestStillReads) {
  QByteArray bytes;
  bytes += "key before any section=x\n";
  bytes += "[A]\n";
  bytes += "1=\xB6\x7D\xA9\x6C\n";  // Big5, not UTF-8
  bytes += "no equals sign here\n";
  bytes += "=no key\n";
  bytes += "2=fine\n";
  bytes += QByteArray("3=with\0nul\n", 11);
  bytes += "6=" + QByteArray(IniFile::kMaxLineBytes, 'v') + "\n";      // past the line limit
  bytes += "7=" + QByteArray(IniFile::kMaxLineBytes - 2, 'w') + "\n";  // exactly at it
  bytes += "[B\xff]\n";                                                // unreadable header: its keys belong nowhere
  bytes += "4=lost\n";
  bytes += "[C\n";  // an unclosed bracket still names a section
  bytes += "5=c\n";

  const IniFile ini = IniFile::Parse(bytes);
  // Only 2 and 7 are kept, and only in A and C.
  EXPECT_EQ(ini.Keys(u"A"), (QStringList{"2", "7"}));
  EXPECT_EQ(Value(ini, "A", "2"), "fine");
  EXPECT_EQ(Value(ini, "A", "7"), QString(IniFile::kMaxLineBytes - 2, 'w'));
  EXPECT_EQ(Value(ini, "C", "5"), "c");
  EXPECT_EQ(ini.SectionNames(), (QStringList{"A", "C"}));
}

TEST(IniFile, WriteReplacesOrAddsTheKeyLineOnlyAndKeepsEverythingElse) {
  TempFolder tmp;
  const QString path = tmp.File("f.ini");
  const QByteArray before =
      "; keep me\r\n[A]\r\n1=a, b\r\n\r\n[information]\r\n  languageid = old \r\nX=1\r\n[Z]\r\nq=\"r\"\r\n";
  WriteBytes(path, before);
  ASSERT_TRUE(IniFile::WriteValue(path, "Information", "LanguageID", "Chinese(Simplify)"));
  QByteArray expected = before;
  expected.replace("  languageid = old ", "LanguageID=Chinese(Simplify)");
  EXPECT_EQ(ReadBytes(path), expected);

  // The same value again leaves the file untouched.
  ASSERT_TRUE(IniFile::WriteValue(path, "Information", "LanguageID", "Chinese(Simplify)"));
  EXPECT_EQ(ReadBytes(path), expected);

  // A key goes after the section's last entry; a missing section is appended in
  // the file's line endings.
  WriteBytes(path, "[Information]\nOther=1\n; note\n\n[Next]\nk=v\n");
  ASSERT_TRUE(IniFile::WriteValue(path, "Information", "LanguageID", "English(U.S)"));
  EXPECT_EQ(ReadBytes(path), "[Information]\nOther=1\n; note\nLanguageID=English(U.S)\n\n[Next]\nk=v\n");

  // A section at the very end of a file without a final line break.
  WriteBytes(path, "[A]\nk=v\n[Information]");
  ASSERT_TRUE(IniFile::WriteValue(path, "Information", "LanguageID", "x"));
  EXPECT_EQ(ReadBytes(path), "[A]\nk=v\n[Information]\nLanguageID=x");
  EXPECT_EQ(Value(IniFile::Load(path), "Information", "LanguageID"), "x");

  WriteBytes(path, "[A]\r\nk=v");
  ASSERT_TRUE(IniFile::WriteValue(path, "Information", "LanguageID", "English(U.S)"));
  EXPECT_EQ(ReadBytes(path), "[A]\r\nk=v\r\n[Information]\r\nLanguageID=English(U.S)\r\n");
}

// A write the disk refuses leaves the file as it was.
TEST(IniFile, AFullDiskKeepsTheOldFile) {
  TempFolder tmp;
  const QString path = tmp.File("f.ini");
  const QByteArray before = "[Information]\nLanguageID=English(U.S)\n" + QByteArray(500, ';') + "\n";
  WriteBytes(path, before);
  {
    merilog::test::FileSizeLimit limit(100);
    EXPECT_FALSE(IniFile::WriteValue(path, "Information", "LanguageID", "Chinese(Simplify)"));
  }
  EXPECT_EQ(ReadBytes(path), before);
}

TEST(IniFile, MissingEmptyAndOversizedFiles) {
  TempFolder tmp;
  EXPECT_FALSE(IniFile::Load(tmp.File("absent.ini")).loaded());
  WriteBytes(tmp.File("empty.ini"), "");
  EXPECT_TRUE(IniFile::Load(tmp.File("empty.ini")).loaded());
  // Writing never creates the file and refuses an oversized one.
  EXPECT_FALSE(IniFile::WriteValue(tmp.File("absent.ini"), "Information", "LanguageID", "x"));
  EXPECT_FALSE(QFileInfo::exists(tmp.File("absent.ini")));

  const QString big = tmp.File("big.ini");
  WriteBytes(big, "[A]\n" + QByteArray(IniFile::kMaxFileBytes, ';'));
  EXPECT_FALSE(IniFile::WriteValue(big, "Information", "LanguageID", "x"));
  EXPECT_EQ(QFileInfo(big).size(), IniFile::kMaxFileBytes + 4);
}
