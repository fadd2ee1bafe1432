#include "core/records/RecordFormat.h"

#include <gtest/gtest.h>

#include "RecordTestSupport.h"

namespace merilog {
namespace {

using test::At;
using test::Std;

// (The mapped names are checked where a prepared record stores them.)
TEST(AbbreviateFunction, LeavesNamesOutsideTheTableAlone) {
  for (const char* name : {"volt", "VOLT:DC", "DCV"}) EXPECT_EQ(Std(AbbreviateFunction(name)), name);
}

TEST(RecordLabel, FourFormsWithTwelveBlanks) {
  const QString date = RecordDateText(At(2024, 3, 5, 14, 3, 27));
  EXPECT_EQ(Std(RecordLabel(10, date)), "Record 10            ( 24 / 03 / 05 -- 14 : 03 : 27 )");
  EXPECT_EQ(Std(RecordLabel(3, date, "DCV", "ACV")), "Record 3            ( 24 / 03 / 05 -- 14 : 03 : 27 )  - DCV ACV");
  EXPECT_EQ(Std(RecordLabelWithNote(4, date, "")), "Record 4            ( 24 / 03 / 05 -- 14 : 03 : 27 )   ");
}

TEST(RecordNumberFromLabel, ReadsTheTwoCharactersAfterRecord) {
  // atoi rules on two characters; every label a list makes is read back by the list tests.
  for (const auto& [label, n] : {std::pair{"Record 123", 12}, {"Record x1", 0}, {"Record  4", 4}, {"Rec", 0}})
    EXPECT_EQ(RecordNumberFromLabel(label), n) << label;
}

// Dates as other programs may have stored them.
TEST(RecordFormat, ParsesStoredDates) {
  EXPECT_EQ(ParseRecordDate("2024-03-05T14:03:27"), At(2024, 3, 5, 14, 3, 27));
  EXPECT_EQ(ParseRecordDate("2024-03-05 14:03:27.450"), At(2024, 3, 5, 14, 3, 27, 450));
  EXPECT_FALSE(ParseRecordDate("yesterday").isValid());
}

TEST(ContinuationList, EachLabelOnceJoinedWithComma) {
  QString list;
  for (const char* label : {"Record 2", "Record 10", "Record 2", "Record 1"}) AddToContinuationList(list, label);
  EXPECT_EQ(Std(list), "Record 2,Record 10,Record 1");
}

}  // namespace
}  // namespace merilog
