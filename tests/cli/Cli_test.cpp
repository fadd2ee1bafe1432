#include <gtest/gtest.h>

#include <QFile>

#include "support/TestSupport.h"

using merilog::test::RunProgram;
using merilog::test::TempFolder;

namespace {

int Cli(const QStringList& args, QString* out, QString* err = nullptr) {
  return RunProgram(MERILOG_CLI_PATH, args, out, err);
}

}  // namespace

TEST(Cli, DevicesListsTheDefaultBenchInDiscoveryOrder) {
  QString out;
  ASSERT_EQ(Cli({"--simulate", "devices"}, &out), 0);
  EXPECT_EQ(out, "MODEL 6081-USBTMC-SN01\nMODEL 6082-USBTMC-SN02\nMODEL 6081-GPIB-16\n");
}

TEST(Cli, DevicesWithoutMetersSaysSoAndFails) {
  TempFolder dir;
  const QString bench = dir.File("empty.ini");
  QFile f(bench);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("# nothing on this bench\n");
  f.close();
  QString out;
  EXPECT_EQ(Cli({"--simulate=" + bench, "devices"}, &out), 1);
  EXPECT_EQ(out.trimmed(), "No Device Connected");
}

TEST(Cli, FindAndQueryOnTheSimulatedBench) {
  QString out, err;
  ASSERT_EQ(Cli({"--simulate", "find", "GPIB[0-9]?*INSTR"}, &out), 0);
  EXPECT_EQ(out, "GPIB0::16::INSTR\n");
  ASSERT_EQ(Cli({"--simulate", "query", "USB0::0x3A7D::0x6082::SN02::INSTR", "CONF:VOLT:DC", "func?", "*cls"}, &out),
            0);
  EXPECT_EQ(out, "\"VOLT\"\n");  // the meter's own quotes are shown as received

  EXPECT_EQ(Cli({"--simulate", "query", "GPIB0::99::INSTR", "*IDN?"}, &out, &err), 1);
  EXPECT_TRUE(err.contains("cannot open GPIB0::99::INSTR")) << err.toStdString();
  EXPECT_EQ(Cli({"--simulate", "find", "USB[0-9"}, &out, &err), 2);
  EXPECT_EQ(Cli({"--bogus", "io"}, &out, &err), 2);
}

TEST(Cli, IoNamesEveryBackendAndWhyOneIsInactive) {
  QString out;
  ASSERT_EQ(Cli({"--simulate", "io"}, &out), 0);
  for (const char* name : {"sim", "USBTMC", "GPIB", "VISA library", "TCP socket"})
    EXPECT_TRUE(out.contains(name)) << name;
  EXPECT_TRUE(out.contains("sim: active"));
}
