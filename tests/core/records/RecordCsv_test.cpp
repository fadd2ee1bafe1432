#include "core/records/RecordCsv.h"

#include <gtest/gtest.h>

#include <QFile>
#include <cmath>
#include <cstdio>
#include <random>

#include "RecordTestSupport.h"
#include "core/records/RecordAppender.h"

namespace merilog {
namespace {

using test::At;
using test::Std;

std::string ReadAll(const QString& path) {
  return test::ReadBytes(path).toStdString();
}

class RecordCsvTest : public test::RecordFolderFixture {};

TEST_F(RecordCsvTest, WritesTheViewerFormatWithCrLf) {
  test::MakeRecord(RecordPath(3), true, At(2024, 3, 5, 14, 3, 27), "DCV", "NONE");
  {
    auto a = RecordAppender::Open(RecordPath(3));
    ASSERT_TRUE(a.ok());
    a.value()->Append(1.5, kNoSecondValue, QTime(10, 15, 2, 125));
    a.value()->Append(kOverloadValue, kOverloadValue, QTime(10, 15, 2, 150));
    a.value()->Append(-0.000123456789012345, 123456.789, QTime(10, 15, 2, 175));
    a.value()->Append(0.0, 0.005, QTime(23, 59, 59, 999));
    // Readings that were no number: every row is written, in its place.
    a.value()->Append(std::nan(""), 2.0, QTime(23, 59, 59, 999));
    a.value()->Append(3.0, std::nan(""), QTime(0, 0, 0, 1));
    ASSERT_TRUE(a.value()->Close().ok());
  }
  const QString label = RecordLabel(3, RecordDateText(At(2024, 3, 5, 14, 3, 27)), "DCV", "NONE");
  const QString dateText = CsvDateTextFromLabel(label);
  EXPECT_EQ(Std(dateText), "( 24 / 03 / 05 -- 14 : 03 : 27 )  - DCV NONE");

  const QString out = temp_->File("out.csv");
  const CsvExport r = WriteRecordCsv(RecordPath(3), out, dateText);
  EXPECT_EQ(r.outcome, CsvExport::Outcome::Written);
  EXPECT_EQ(r.rows, 6);
  EXPECT_EQ(ReadAll(out),
            "Time,Value ,Value_2ND , ,DateTime : ( 24 / 03 / 05 -- 14 : 03 : 27 )  - DCV NONE\r\n"
            "10:15:02:125,1.50000000000000, \r\n"
            "10:15:02:150,OVLD,OVLD\r\n"
            "10:15:02:175,-0.00012345678901,123456.78900000000431\r\n"
            "23:59:59:999,0.00000000000000,0.00500000000000\r\n"
            "23:59:59:999,NaN,2.00000000000000\r\n"
            "00:00:00:001,3.00000000000000,NaN\r\n");
}

// An empty record gives the header alone; a file that is no record is named.
TEST_F(RecordCsvTest, EmptyMissingAndUnreadableRecords) {
  test::MakeRecord(RecordPath(1), true, At(2024, 3, 5, 14, 3, 27));
  const QString out = temp_->File("empty.csv");
  EXPECT_EQ(WriteRecordCsv(RecordPath(1), out, "( x )").outcome, CsvExport::Outcome::NoData);
  EXPECT_EQ(ReadAll(out), "Time,Value ,Value_2ND , ,DateTime : ( x )\r\n");

  test::WriteBytes(RecordPath(2), "this is no database at all, just some text that is long enough to be a header");
  const CsvExport r = WriteRecordCsv(RecordPath(2), temp_->File("bad.csv"), "");
  EXPECT_EQ(r.outcome, CsvExport::Outcome::RecordFailed);
  EXPECT_TRUE(r.error.contains("Record 2.mdb")) << Std(r.error);
  EXPECT_EQ(Std(CsvDateTextFromLabel("Record 4")), "");  // an undated label gives no date text
}

// The fast number formatting gives exactly printf's "%.14f".
TEST_F(RecordCsvTest, NumbersMatchPrintfFixed14) {
  test::MakeRecord(RecordPath(1), true, At(2024, 3, 5, 14, 3, 27));
  std::mt19937_64 rng(11);
  std::vector<double> values;
  for (int i = 0; i < 3000; ++i) {
    const int scale = static_cast<int>(rng() % 40) - 20;
    double v = std::ldexp(static_cast<double>(rng() % (1ull << 53)), -53) * std::pow(10.0, scale);
    values.push_back(rng() % 2 ? -v : v);
  }
  // (-0.0 is left out: the engine keeps no sign on a zero.)
  values.insert(values.end(), {0.0, -1e-20, 1e-15, 5e-15, 0.5e-14, 1e21, -1e300, 123456789.98765432});
  {
    auto a = RecordAppender::Open(RecordPath(1));
    for (double v : values) a.value()->Append(v, v, QTime(1, 2, 3));
    ASSERT_TRUE(a.value()->Close().ok());
  }
  const QString out = temp_->File("n.csv");
  ASSERT_EQ(WriteRecordCsv(RecordPath(1), out, "").rows, static_cast<long long>(values.size()));
  const QStringList lines = QString::fromStdString(ReadAll(out)).split("\r\n");
  for (size_t i = 0; i < values.size(); ++i) {
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.14f", values[i]);  // the C library's, not Qt's formatter
    const QString expected = QString::fromLatin1(buf);
    ASSERT_EQ(Std(lines[static_cast<int>(i) + 1]), Std("01:02:03:000," + expected + "," + expected));
  }
}

}  // namespace
}  // namespace merilog
