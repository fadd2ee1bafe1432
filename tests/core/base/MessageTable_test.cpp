#include "core/base/MessageTable.h"

#include <gtest/gtest.h>

#include <QFile>

#include "support/PrintQString.h"
#include "support/TestSupport.h"

using namespace merilog;
using merilog::test::TempFolder;
using merilog::test::UseConfigurationFile;

namespace {

void WriteText(const QString& path, const QByteArray& utf8) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  ASSERT_EQ(f.write(utf8), utf8.size());
}

const QByteArray kSmallFile =
    "[English(U.S)]\n"
    "1000=No Device Connected\n"
    "[Chinese(Traditional)]\n"
    "1000=未連接裝置\n"
    "1001=請檢查裝置連線\n"
    "[Chinese(Simplify)]\n"
    "1000=未连接设备\n"
    "156=\n";

// Leaves the process-wide language state as the next test expects it.
class ProcessLanguage : public ::testing::Test {
 protected:
  void TearDown() override {
    UseConfigurationFile();
    SetCurrentLanguageSection(kEnglishSection);
  }
};

}  // namespace

TEST(MessageTable, LooksUpEachLanguageAndFallsBackPerKey) {
  TempFolder tmp;
  WriteText(tmp.File("MERILOG.ini"), kSmallFile);
  const MessageTable table(tmp.File("MERILOG.ini"));
  EXPECT_TRUE(table.FileLoaded());

  EXPECT_EQ(table.Lookup(kEnglishSection, u"1000", "default"), "No Device Connected");
  // A section lacking a key: that one text is English, the others stay translated.
  EXPECT_EQ(table.Lookup(kSimplifiedChineseSection, u"1001", "Check Device Connection"), "Check Device Connection");
  EXPECT_EQ(table.Lookup(kTraditionalChineseSection, u"1001", "Check Device Connection"), "請檢查裝置連線");
  // A key present but empty is empty, not the default.
  EXPECT_EQ(table.Lookup(kSimplifiedChineseSection, u"156", "x"), "");
}

TEST_F(ProcessLanguage, LookupMessageFollowsTheCurrentLanguageAndFile) {
  TempFolder tmp;
  WriteText(tmp.File("MERILOG.ini"), kSmallFile);
  UseMessageFile(tmp.File("MERILOG.ini"));
  EXPECT_EQ(LookupMessage("1000", "No Device Connected"), "No Device Connected");
  SetLanguageByIndex(1);
  EXPECT_EQ(CurrentLanguageSection(), "Chinese(Traditional)");
  EXPECT_EQ(LookupMessage("1000", "No Device Connected"), "未連接裝置");
  SetLanguageByIndex(-1);  // positions outside the chooser are English
  EXPECT_EQ(CurrentLanguageSection(), "English(U.S)");

  SetLanguageByIndex(2);
  UseMessageFile(tmp.File("absent.ini"));
  EXPECT_EQ(LookupMessage("1000", "No Device Connected"), "No Device Connected");
  // No file handed over: English texts, and no configuration file is looked for.
  UseMessageFile({});
  EXPECT_EQ(LookupMessage(QStringLiteral("0.01"), QStringLiteral("0.01s")), "0.01s");
  // CTest points the configuration folder at the shipped language file.
  UseConfigurationFile();
  EXPECT_EQ(LookupMessage(QStringLiteral("0.01"), QStringLiteral("0.01s")), "0.01 秒");
}
