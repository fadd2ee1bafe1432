#include "core/records/RecordFormat.h"

#include <gtest/gtest.h>

#include "RecordTestSupport.h"

namespace merilog {
namespace {

using test::At;
using test::Std;

TEST(AbbreviateFunction, MapsTheSixNamesAndLeavesOthers) {
  const std::pair<const char*, const char*> cases[] = {
      {"VOLT", "DCV"},  {"CURR", "DCI"},  {"VOLT:AC", "ACV"},     {"CURR:AC", "ACI"}, {"RES", "2W"}, {"FRES", "4W"},
      {"FREQ", "FREQ"}, {"volt", "volt"}, {"VOLT:DC", "VOLT:DC"}, {"DCV", "DCV"},  // an abbreviation stays
  };
  for (auto [in, out] : cases) EXPECT_EQ(Std(AbbreviateFunction(in)), out) << in;
}

TEST(RecordLabel, FourFormsWithTwelveBlanks) {
  const QString date = RecordDateText(At(2024, 3, 5, 14, 3, 27));
  EXPECT_EQ(Std(date), "24 / 03 / 05 -- 14 : 03 : 27");
  EXPECT_EQ(Std(RecordLabel(7)), "Record 7");
  EXPECT_EQ(Std(RecordLabel(10, date)), "Record 10            ( 24 / 03 / 05 -- 14 : 03 : 27 )");
  EXPECT_EQ(Std(RecordLabel(3, date, "DCV", "ACV")), "Record 3            ( 24 / 03 / 05 -- 14 : 03 : 27 )  - DCV ACV");
  EXPECT_EQ(Std(RecordLabel(3, date, "", "")), "Record 3            ( 24 / 03 / 05 -- 14 : 03 : 27 )  -  ");
  EXPECT_EQ(Std(RecordLabelWithNote(4, date, "")), "Record 4            ( 24 / 03 / 05 -- 14 : 03 : 27 )   ");
}

TEST(RecordNumberFromLabel, ReadsTheTwoCharactersAfterRecord) {
  // atoi rules on two characters: stops at the first non-digit, 0 without digits.
  // (Every label a list makes is read back by the list tests.)
  for (const auto& [label, n] :
       {std::pair{"Record 1x", 1}, {"Record 123", 12}, {"Record x1", 0}, {"Record  4", 4}, {"Rec", 0}, {"", 0}})
    EXPECT_EQ(RecordNumberFromLabel(label), n) << label;
}

TEST(RecordFormat, ReadTimeAndStoredDate) {
  EXPECT_STREQ(FormatReadTime(QTime(14, 3, 27, 45)).data(), "14:03:27:045");
  EXPECT_EQ(Std(ReadTimeString(QTime(23, 59, 59, 999))), "23:59:59:999");

  const QDateTime t = At(2024, 3, 5, 14, 3, 27, 450);
  EXPECT_EQ(Std(StoredRecordDate(t)), "2024-03-05 14:03:27");
  EXPECT_EQ(ParseRecordDate("2024-03-05T14:03:27"), At(2024, 3, 5, 14, 3, 27));
  EXPECT_EQ(ParseRecordDate("2024-03-05 14:03:27.450"), t);
  EXPECT_FALSE(ParseRecordDate("yesterday").isValid());
}

TEST(ContinuationList, EachLabelOnceJoinedWithComma) {
  QString list;
  AddToContinuationList(list, "Record 2");
  AddToContinuationList(list, "Record 10");
  AddToContinuationList(list, "Record 2");
  AddToContinuationList(list, "Record 1");
  EXPECT_EQ(Std(list), "Record 2,Record 10,Record 1");
}

}  // namespace
}  // namespace merilog
