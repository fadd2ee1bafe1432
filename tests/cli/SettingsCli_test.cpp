// merilog-cli settings: the Device Settings dialog's read-back and Set without a window.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

#include "support/SimmeterProcess.h"
#include "support/TestSupport.h"

namespace {

struct Case {
  QStringList args;
  int exit;
  QString out;      // expected standard output, whole
  QString errPart;  // expected within standard error
};

TEST(SettingsCli, GetAndSetPrintTheDialogsStateAfterItsReadBack) {
  const QStringList temp = QString(
                               "set --device 2 --function TEMP --range USER --transducer 4W --coefficients "
                               "0.004,0.1,1.5,100 --second-function TCOUPL --second-range F --second-choice J")
                               .split(' ');
  const Case cases[] = {
      {QStringList{"get", "--device", "1"}, 0, "Function: DC Voltage\nRange: AUTO\nResolution: Slow 6 Digits\n", ""},
      {temp, 0,
       "Function: TEMP\nSensor: USER\nUnit: F\nTransducer: 4W RTD\nAlpha: 0.004\nBeta: 0.1\nDelta: 1.5\nR-zero: 100\n"
       "2ND function: TCOUPL\n2ND UNIT: F\n2ND TYPE: J\n",
       ""},
      // Labels are matched without blanks, case or degree signs.
      {QStringList{"set", "--device", "1", "--function", "AC Voltage", "--range", "750vac", "--second", "200 hz"}, 0,
       "Function: AC Voltage\nRange: 750 Vac\nBandwidth: 200 HZ\n", ""},
      {QStringList{"set", "--device", "3", "--function", "TEMP", "--range", "USER", "--coefficients",
                   "0.02,0.1,1.5,100"},
       1,
       "Function: TEMP\nSensor: USER\nUnit: ° C\nTransducer: 2W RTD\nAlpha: 0.02\nBeta: 0.1\nDelta: 1.5\nR-zero: 100\n",
       "ALPHA range is 0 - 0.01，please re-enter."},
      {QStringList{"set", "--device", "1", "--function", "CAP"}, 2, "", "--function \"CAP\" is not offered"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    QString out, err;
    EXPECT_EQ(merilog::test::RunProgram(MERILOG_CLI_PATH, QStringList{"--simulate", "settings"} + c.args, &out, &err),
              c.exit)
        << err.toStdString();
    EXPECT_EQ(out, c.out);
    EXPECT_TRUE(err.contains(c.errPart)) << err.toStdString();
  }
}

// A meter answering garbage: the state is printed, the setting named, exit 1.
TEST(SettingsCli, GarbageFromTheMeterIsNamedAndFails) {
  merilog::test::SimmeterProcess sim({"--model", "6081", "--fault", "garbage-every=3"});
  ASSERT_GT(sim.port, 0);
  QString out, err;
  EXPECT_EQ(merilog::test::RunProgram(
                MERILOG_CLI_PATH,
                {"--resource", QString::fromStdString(sim.Resource()), "settings", "get", "--device", "1"}, &out, &err),
            1);
  EXPECT_TRUE(out.startsWith("Function: DC Voltage\n")) << out.toStdString();
  // Which answers the fault spoils depends on how many commands came before; one line names them.
  EXPECT_TRUE(QRegularExpression("^merilog-cli: not read back \\(the meter's answer is no setting\\): "
                                 "(Function|Range|Resolution|Speed)(, [A-Za-z0-9 ]+)*\n$")
                  .match(err)
                  .hasMatch())
      << err.toStdString();
}

// The dialog's "Shift ..." boxes ask nothing whose answer counts: the notice alone.
TEST(SettingsCli, ANoticeOfSetIsPrintedAlone) {
  merilog::test::TempFolder folder;
  const QString bench = folder.Write("bench.ini",
                                     "[meter]\nresource = USB0::0x3A7D::0x6081::SN01::INSTR\nmodel = 6081\n"
                                     "refuse = [SENSe:]VOLTage[:DC]:RANGe\n");
  ASSERT_FALSE(bench.isEmpty());
  QString out, err;
  EXPECT_EQ(merilog::test::RunProgram(MERILOG_CLI_PATH,
                                      {"--simulate=" + bench, "settings", "set", "--device", "1", "--function",
                                       "DC Voltage", "--range", "1 Vdc"},
                                      &out, &err),
            1);
  EXPECT_EQ(err.toStdString(), "Shift RANGE error. Try again.\n");
}

}  // namespace
