#include <gtest/gtest.h>

#include <QFile>

#include "core/instrument/ResourceManager.h"
#include "core/instrument/TranscriptBackend.h"
#include "sim/SimBackend.h"
#include "support/TestSupport.h"

namespace merilog {
namespace {

QStringList Lines(const QString& path) {
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly));
  return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

TEST(TranscriptSessionTest, RecordsEveryExchangeWithTimeStamps) {
  test::TempFolder dir;
  auto clock = std::make_shared<FixedClock>(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 6)));
  std::string error;
  auto log = TranscriptLog::Open(dir.File("t.txt").toStdString(), &error, clock);
  ASSERT_TRUE(log) << error;

  sim::SimMeterDescription desc;
  desc.resource = "GPIB0::16::INSTR";
  desc.model = "6081";
  desc.serial = "SN03";
  desc.faults.longAnswerBytes = 40;  // an answer read in two pieces
  auto bench = std::make_shared<sim::SimBench>();
  ASSERT_TRUE(bench->Add(desc));
  ResourceManager rm;
  rm.AddBackend(WithTranscript(std::make_unique<sim::SimBackend>(bench), log));
  EXPECT_EQ(rm.Find("GPIB?*"), std::vector<std::string>{"GPIB0::16::INSTR"});

  Status st = 0;
  auto s = rm.Open("GPIB0::16::INSTR", &st);
  ASSERT_TRUE(s);
  s->SetTimeout(20000);
  s->Write("*IDN?\n");
  clock->AdvanceMs(2);
  EXPECT_EQ(s->Read(32).status, status::kSuccessMaxCount);
  EXPECT_EQ(s->Read(1024).status, status::kSuccess);
  EXPECT_EQ(s->Read(1024).status, status::kErrorTimeout);
  s->Clear();
  s->Close();
  EXPECT_EQ(rm.Open("GPIB0::9::INSTR", &st), nullptr);

  const QStringList expected = {
      "2026-01-02 03:04:05.006 GPIB0::16::INSTR open (sim)",
      "2026-01-02 03:04:05.006 GPIB0::16::INSTR time-out 20000 ms",
      "2026-01-02 03:04:05.006 GPIB0::16::INSTR -> \"*IDN?\\n\"",
      "2026-01-02 03:04:05.008 GPIB0::16::INSTR <- \"MERISIM,MODEL 6081,SN03,1.02,MER\" (more)",
      "2026-01-02 03:04:05.008 GPIB0::16::INSTR <- \"ISIM,MODEL 6081,SN03,1.02\\n\"",
      "2026-01-02 03:04:05.008 GPIB0::16::INSTR <- time-out (-1073807339)",
      "2026-01-02 03:04:05.008 GPIB0::16::INSTR clear",
      "2026-01-02 03:04:05.008 GPIB0::16::INSTR close",
  };
  EXPECT_EQ(Lines(dir.File("t.txt")).join('\n').toStdString(), expected.join('\n').toStdString());
}

TEST(TranscriptSessionTest, EscapesBytesThatAreNotText) {
  EXPECT_EQ(EscapeBytes(std::string("a\"b\\\r\n\t\x01\xff", 9)), "\"a\\\"b\\\\\\r\\n\\t\\x01\\xFF\"");
}

TEST(TranscriptSessionTest, UnwritableFileIsReported) {
  test::TempFolder dir;
  std::string error;
  EXPECT_FALSE(TranscriptLog::Open(dir.PathStd() + "/no/such/folder/t.txt", &error));
  EXPECT_NE(error.find("cannot write the transcript"), std::string::npos);
  EXPECT_EQ(WithTranscript(nullptr, nullptr), nullptr);
}

}  // namespace
}  // namespace merilog
