#include "core/instrument/QueryDevice.h"

#include <gtest/gtest.h>

#include "core/instrument/DeviceEntry.h"
#include "core/instrument/ScriptSession.h"

using namespace merilog;

using test::ScriptSession;

TEST(DisplayName, ExamplesAndOddResources) {
  const std::string idn = "X,MODEL 6081,SN01,1.0";
  EXPECT_EQ(MakeDeviceDisplayName("x,model 6082,s,1", "USB10::0x3A7D::0x6082::ab12::INSTR"), "MODEL 6082-USBTMC-AB12");
  EXPECT_EQ(MakeDeviceDisplayName("", "GPIB0::16::INSTR"), "Unknow Manufacture-GPIB-16");
  // Names never hold a colon: a one-digit GPIB address, a model field with one.
  EXPECT_EQ(MakeDeviceDisplayName(idn, "GPIB0::5::INSTR"), "MODEL 6081-GPIB-5");
  EXPECT_EQ(MakeDeviceDisplayName("X,MODEL:6081,S,1", "GPIB1::7::INSTR"), "MODEL6081-GPIB-7");
  // Short or odd strings must not read past their end.
  EXPECT_EQ(MakeDeviceDisplayName(idn, "USB"), "MODEL 6081-USBTMC-");
  EXPECT_EQ(MakeDeviceDisplayName(idn, "USB0::0x3A7D::0x6081::SN9"), "MODEL 6081-USBTMC-SN9");
  EXPECT_EQ(MakeDeviceDisplayName(idn, "GPIB0::"), "MODEL 6081-GPIB-");
  EXPECT_EQ(MakeDeviceDisplayName("X,MODEL 6082", "ASRL1::INSTR"), "MODEL 6082");
  EXPECT_EQ(MakeDeviceDisplayName("6082 no fields", ""), "6082 NO FIELDS");
}

TEST(QueryDevice, MainWindowFormMapsSlotsAndCleansAnswers) {
  ScriptSession unsupported("A"), meter("B");
  DeviceQuery q(QueryForm::MainWindow);
  q.SetSessions({&unsupported, &meter});
  q.SetSlotMap({1});  // slot 0 is the meter found second

  meter.answers = {"\"VOLT\"\n"};
  EXPECT_EQ(q.Query(0, "func?\n"), "VOLT");
  EXPECT_EQ(meter.writes.back(), "func?\n");
  EXPECT_EQ(q.ConnectionFlag(), 1);

  // "*IDN?" uses the index it is given: raw index 0 is the unsupported instrument.
  unsupported.answers = {"OTHER,PSU 1,1,1\r\n"};
  EXPECT_EQ(q.Query(0, "*IDN?\n"), "OTHER,PSU 1,1,1");
  EXPECT_EQ(unsupported.writes.size(), 1u);

  // No "?" after the first character: written, nothing read.
  const int readsBefore = meter.reads;
  EXPECT_EQ(q.Query(0, "*cls\n"), "");
  EXPECT_EQ(meter.reads, readsBefore);

  // A failed read gives an empty answer and clears the connection flag.
  EXPECT_EQ(q.Query(0, "read?\n"), "");
  EXPECT_EQ(q.LastStatus(), status::kErrorTimeout);
  EXPECT_EQ(q.ConnectionFlag(), 0);

  // A slot with no entry addresses nothing and does not crash.
  EXPECT_EQ(q.Query(5, "read?\n"), "");
  EXPECT_EQ(q.LastStatus(), status::kErrorInvalidObject);
}

TEST(QueryDevice, FormsDifferInQuotesLineFeedsAndIdentification) {
  ScriptSession s;
  DeviceQuery settings(QueryForm::DeviceSettings);
  settings.SetSessions({&s});
  s.answers = {"\"VOLT\"\n"};
  EXPECT_EQ(settings.Query(0, "func?\n"), "\"VOLT\"");
  EXPECT_EQ(settings.Query(0, "*IDN?\n"), "");  // not sent at all
  EXPECT_EQ(s.writes.size(), 1u);

  DeviceQuery scan(QueryForm::Scan);
  scan.SetSessions({&s});
  scan.SetSlotMap({0});
  s.answers = {"1.0\n2.0\n3.0 \n"};
  EXPECT_EQ(scan.Query(0, "fetch?\n"), "1.02.03.0");
}

TEST(QueryDevice, DialogSlotTablesAndTheL0Exception) {
  ScriptSession a("A"), b("B");
  DeviceQuery q(QueryForm::ReadingSettings);
  q.SetSessions({&a, &b});
  q.SetSlotMap({1, 0});
  b.answers = {"1\n"};
  EXPECT_EQ(q.Query(0, "syst:err?\n"), "1");
  a.answers = {"2\n"};
  EXPECT_EQ(q.Query(0, "L0?\n"), "2");  // "L0" bypasses the table
  a.answers = {"3\n"};
  EXPECT_EQ(q.Query(0, "*IDN?\n"), "3");
}

// Every form reads its answer through the same loop.
TEST(QueryDevice, LongCommandsAndAnswersAreKeptWhole) {
  ScriptSession s;
  DeviceQuery q(QueryForm::Scan);
  q.SetSessions({&s});
  q.SetSlotMap({0});
  const std::string command = "SENS:" + std::string(150, 'A') + "?\n";
  std::string answer;
  for (int i = 0; i < 5000; ++i) answer += static_cast<char>('0' + i % 10);
  s.answers = {answer + "\n"};
  EXPECT_EQ(q.Query(0, command), answer);
  EXPECT_EQ(s.writes.back(), command);
  // An answer of exactly one piece plus its line feed still ends cleanly.
  s.answers = {std::string(1023, '7') + "\n"};
  EXPECT_EQ(q.Query(0, "read?\n"), std::string(1023, '7'));
  EXPECT_TRUE(s.answers.empty());
}

// Only a plain function name goes back to the meter inside a command.
TEST(QueryDevice, FunctionNamesFitForACommand) {
  for (const auto& [name, ok] : {std::pair<std::string, bool>{"VOLT:AC", true},
                                 {std::string(32, 'A'), true},
                                 {std::string(33, 'A'), false},
                                 {"", false},
                                 {"VOLT;*RST", false}})
    EXPECT_EQ(IsFunctionName(name), ok) << name.substr(0, 40);
}
