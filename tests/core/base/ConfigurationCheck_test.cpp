#include "core/base/ConfigurationCheck.h"

#include <gtest/gtest.h>

#include <QFile>

#include "support/PrintQString.h"
#include "support/ScriptedPrompter.h"
#include "support/TestSupport.h"

using merilog::CheckConfigurationFile;
using merilog::Prompter;
using merilog::test::ScriptedPrompter;
using merilog::test::TempFolder;

TEST(ConfigurationCheck, MissingFileIsReportedOncePresentFileSaysNothing) {
  TempFolder tmp;
  ScriptedPrompter missing;
  missing.ExpectMessage(Prompter::Answer::Ok);
  EXPECT_FALSE(CheckConfigurationFile(missing, tmp.File("MERILOG.ini")));
  ASSERT_EQ(missing.shown.size(), 1u);
  EXPECT_EQ(missing.shown[0].icon, Prompter::Icon::Stop);

  QFile f(tmp.File("MERILOG.ini"));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.close();
  ScriptedPrompter prompter;  // any message would fail the test
  EXPECT_TRUE(CheckConfigurationFile(prompter, tmp.File("MERILOG.ini")));
  EXPECT_TRUE(prompter.shown.empty());
}
