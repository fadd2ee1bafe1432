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

TEST(QueryDevice, MainWindowFormCleansAnswers) {
  ScriptSession meter;
  meter.answers = {"\"VOLT\"\n"};
  EXPECT_EQ(QueryDevice(&meter, QueryForm::MainWindow, "func?\n").text, "VOLT");
  EXPECT_EQ(meter.writes.back(), "func?\n");

  // No "?" after the first character: written, nothing read.
  const int readsBefore = meter.reads;
  const QueryAnswer written = QueryDevice(&meter, QueryForm::MainWindow, "*cls\n");
  EXPECT_FALSE(written.asked || written.Failed());
  EXPECT_EQ(meter.reads, readsBefore);

  // A failed read gives an empty answer and says so.
  const QueryAnswer failed = QueryDevice(&meter, QueryForm::MainWindow, "read?\n");
  EXPECT_TRUE(failed.Failed());
  EXPECT_EQ(failed.status, status::kErrorTimeout);
  EXPECT_EQ(failed.text, "");

  // No session: nothing sent, and no crash.
  EXPECT_EQ(QueryDevice(nullptr, QueryForm::MainWindow, "read?\n").status, status::kErrorInvalidObject);
}

TEST(QueryDevice, FormsDifferInQuotesLineFeedsAndIdentification) {
  ScriptSession s;
  s.answers = {"\"VOLT\"\n"};
  EXPECT_EQ(QueryDevice(&s, QueryForm::DeviceSettings, "func?\n").text, "\"VOLT\"");
  EXPECT_EQ(QueryDevice(&s, QueryForm::DeviceSettings, "*IDN?\n").text, "");  // not sent at all
  EXPECT_EQ(s.writes.size(), 1u);
  s.answers = {"1.0\n2.0\n3.0 \n"};
  EXPECT_EQ(QueryDevice(&s, QueryForm::Scan, "fetch?\n").text, "1.02.03.0");
}

// Every form reads its answer through the same loop.
TEST(QueryDevice, LongCommandsAndAnswersAreKeptWhole) {
  ScriptSession s;
  const std::string command = "SENS:" + std::string(150, 'A') + "?\n";
  std::string answer;
  for (int i = 0; i < 5000; ++i) answer += static_cast<char>('0' + i % 10);
  s.answers = {answer + "\n"};
  EXPECT_EQ(QueryDevice(&s, QueryForm::Scan, command).text, answer);
  EXPECT_EQ(s.writes.back(), command);
  // An answer of exactly one piece plus its line feed still ends cleanly.
  s.answers = {std::string(1023, '7') + "\n"};
  EXPECT_EQ(QueryDevice(&s, QueryForm::Scan, "read?\n").text, std::string(1023, '7'));
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
