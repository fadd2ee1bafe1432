#include "core/recordview/RecordViewerModel.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include "core/records/RecordTestSupport.h"
#include "core/recordview/RecordBandSearch.h"
#include "core/recordview/RecordNumberText.h"
#include "support/RecordFiles.h"
#include "support/ScriptedPrompter.h"

namespace merilog {
namespace {

using test::Reading;
using test::Std;

std::vector<Reading> Ramp(int n, bool second = false) {
  std::vector<Reading> r;
  for (int i = 1; i <= n; ++i) r.push_back({i / 1000.0, second ? i * 0.5 : kNoSecondValue});
  return r;
}

class RecordViewerTest : public test::RecordFolderFixture {
 protected:
  void SetUp() override {
    RecordFolderFixture::SetUp();
    test::EnsureEventLoop();
    model_ = std::make_unique<RecordViewerModel>(prompter_, [this](Prompter&) { return std::optional(folder_); });
  }
  void Wait() {
    ASSERT_TRUE(test::RunUntil([this] { return !model_->Busy(); }));
  }
  void Open() {
    model_->Opening();
    Wait();
  }
  void Select(int entry) {
    model_->RecordSelected(entry);
    Wait();
  }
  const RecordViewerViewState& View() const { return model_->View(); }
  const RecordGridModel& Grid() { return model_->Grid(); }
  // A grid row as the view shows it, once its block has come.
  QStringList Row(int row) {
    Grid().Want(row, row);
    EXPECT_TRUE(test::RunUntil([&] { return Grid().RowReady(row); }));
    const GridRowTexts t = Grid().Row(row);
    return {Grid().data(Grid().index(row, 0), Qt::DisplayRole).toString(), t.value, t.value2nd, t.time};
  }
  void ExpectShown(size_t i, const QString& text, const QString& caption = {}) {
    ASSERT_LT(i, prompter_.shown.size());
    EXPECT_EQ(Std(prompter_.shown[i].text), Std(text));
    EXPECT_EQ(Std(prompter_.shown[i].caption), Std(caption));
  }

  test::ScriptedPrompter prompter_;
  std::unique_ptr<RecordViewerModel> model_;
};

// Pages of 10000 readings labelled " first - last ", without an empty page
// when the count is a multiple; each page numbered from 1 in the grid.
TEST_F(RecordViewerTest, PagesCoverEveryReading) {
  test::WriteRecord(RecordPath(1), Ramp(25000), "DCV", "NONE");
  test::WriteRecord(RecordPath(2), Ramp(20000), "DCV", "NONE");
  test::WriteRecord(RecordPath(4), {}, "DCV", "NONE");
  Open();
  ASSERT_EQ(View().records.size(), 3);
  const struct {
    int entry;
    QStringList pages;
  } cases[] = {
      {0, {" 1 - 10000 ", " 10001 - 20000 ", " 20001 - 25000 "}},
      {1, {" 1 - 10000 ", " 10001 - 20000 "}},
      {2, {}},
  };
  for (const auto& c : cases) {
    Select(c.entry);
    EXPECT_EQ(View().pages, c.pages) << c.entry;
    EXPECT_EQ(View().selectedPage, c.pages.isEmpty() ? -1 : 0);
    EXPECT_EQ(Grid().rowCount(), std::min(10000, c.pages.isEmpty() ? 0 : View().count.toInt()));
  }
  Select(0);
  EXPECT_EQ(Row(0), QStringList({"1", "0.001000000000", "", "10:00:00:000"}));
  model_->PageSelected(2);
  EXPECT_EQ(Grid().rowCount(), 5000);
  EXPECT_EQ(Row(0), QStringList({"1", "20.001000000000", "", "10:08:20:000"}));
  // A second opening starts as the first: nothing chosen, nothing to delete, export or search.
  Open();
  EXPECT_EQ(View().selectedRecord, -1);
  for (const ControlState* c : {&View().deleteButton, &View().csvButton, &View().highField, &View().lowField})
    EXPECT_FALSE(c->enabled);
}

TEST(RecordNumberText, DisplayRules) {
  const struct {
    std::optional<double> v;
    const char *grid, *grid2nd, *search2nd, *cursor;
  } cases[] = {
      {123456.5, "123456.5000000", "123456.5000000", "123456.5000000", "123456.500000000000000"},
      {-2e6, "-2000000.000000000000", "-2000000.000000000000", "-2000000.000000000000", "-2000000.000000000000000"},
      {kOverloadValue, "OVLD", "OVLD", "", "OVLD"},
      {kNoSecondValue, "9900000000000001048576.0000000", "", "", "NULL"},
      {1e21, "1000000000000000000000.0000000", "1000000000000000000000.0000000", "", nullptr},
      {std::nullopt, "", "", "", "NULL"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Std(GridValueText(c.v)), c.grid);
    EXPECT_EQ(Std(GridSecondValueText(c.v)), c.grid2nd);
    EXPECT_EQ(Std(SearchSecondValueText(c.v)), c.search2nd);
    if (c.cursor) {
      EXPECT_EQ(Std(CursorValueText(c.v)), c.cursor);
    }
  }
  EXPECT_EQ(Std(CutFigureText(123456.789)), "123456.78900000");
}

// The figures, cut to 15 characters; the 2ND figures only for a record with
// second values; a record without any shows empty Value_2ND cells.
TEST_F(RecordViewerTest, FiguresAndSecondFigures) {
  test::WriteRecord(RecordPath(1), {{123456.789, 0.25}, {2.5, 0.75}, {kOverloadValue, kOverloadValue}}, "DCV", "ACV");
  test::WriteRecord(RecordPath(2), {{1.5}, {-3.25}}, "DCV", "NONE");
  Open();
  Select(0);
  EXPECT_EQ(Std(View().count), "3");
  EXPECT_EQ(Std(View().max), "989999999999999");
  EXPECT_EQ(Std(View().min), "2.500000000000");
  EXPECT_TRUE(View().secondFigures.shown);
  EXPECT_EQ(Std(View().secondMin), "0.250000000000");
  EXPECT_EQ(Row(0), QStringList({"1", "123456.7890000", "0.250000000000", "10:00:00:000"}));
  Select(1);
  EXPECT_EQ(Std(View().count), "2");
  EXPECT_EQ(Std(View().max), "1.500000000000");
  EXPECT_EQ(Std(View().min), "-3.250000000000");
  EXPECT_EQ(Std(View().avg), "-0.875000000000");
  EXPECT_FALSE(View().secondFigures.shown);
  // Readings without a second value among others: the 2ND figures leave them out.
  test::WriteRecord(RecordPath(3), {{1.0, 0.5}, {2.0, kNoSecondValue}, {3.0, 0.25}}, "DCV", "ACV");
  Open();
  Select(2);
  EXPECT_TRUE(View().secondFigures.shown);
  EXPECT_EQ(Std(View().secondMax + " " + View().secondMin + " " + View().secondAvg),
            "0.500000000000 0.250000000000 0.375000000000");
  EXPECT_TRUE(prompter_.shown.empty());
}

// The empty fields and a plain band are checked through the viewer's search below.
TEST(RecordBandSearch, WidensTheLimitsToTheRecord) {
  using V = BandCheck::Verdict;
  const struct {
    const char *high, *low;
    double recordMax, recordMin;
    V verdict;
  } cases[] = {
      // Limits beyond the record are pulled to its extremes: 20 to 15 holds nothing of 0..10.
      {"20", "15", 10, 0, V::Implausible},
      {"-5", "-9", 10, 0, V::Implausible},
      {"20", "-20", 10, 0, V::Search},
      // A band on a record of one value: HI equal to its minimum, LO equal to its maximum.
      {"3", "3", 3, 3, V::Search},
      {"3", "3.0000001", 3, 3, V::Implausible},
  };
  for (const auto& c : cases) {
    const BandCheck check = CheckBand(c.high, c.low, c.recordMax, c.recordMin);
    EXPECT_EQ(check.verdict, c.verdict) << c.high << " " << c.low;
  }
}

TEST_F(RecordViewerTest, SearchMessagesAndResults) {
  std::vector<Reading> readings;
  for (int i = 0; i <= 10; ++i) readings.push_back({static_cast<double>(i), i % 2 ? 1.0 * i : kNoSecondValue});
  readings.push_back({kOverloadValue, kOverloadValue});
  test::WriteRecord(RecordPath(1), readings, "DCV", "ACV");
  Open();
  Select(0);
  ASSERT_EQ(Std(View().max), "989999999999999");
  const QString implausible =
      "HI Limiter should define the maximum possible value in the filtered data. LO limiter should define the "
      "minimum possible value in the filtered data.";
  const struct {
    const char *high, *low, *message;
  } refused[] = {
      {"", "", "Please input a valid value."},
      {"", "3", "Please input a valid Max_value."},
      {"3", "", "Please input a valid Min_value."},
      // A limit that is no finite number is the field's fault, never the file's.
      {"1e400", "3", "Please input a valid Max_value."},
      {"3", "nan", "Please input a valid Min_value."},
      {"3", "-inf", "Please input a valid Min_value."},
      {"5", "7", nullptr},
  };
  for (const auto& r : refused) {
    model_->HighTextEdited(r.high);
    model_->LowTextEdited(r.low);
    prompter_.ExpectMessage(Prompter::Answer::Ok);
    model_->Search();
    EXPECT_EQ(Std(prompter_.shown.back().text), r.message ? r.message : Std(implausible));
    EXPECT_EQ(prompter_.shown.back().icon, Prompter::Icon::Exclamation);
    EXPECT_EQ(Std(View().match), "0");
  }
  EXPECT_FALSE(model_->Busy());

  // Readings 3 to 6 in table order; MAX and MIN of the matches, as the band lies inside the record.
  model_->HighTextEdited("6.5");
  model_->LowTextEdited("2.5");
  model_->Search();
  Wait();
  ASSERT_EQ(Grid().rowCount(), 4);
  EXPECT_EQ(Row(0), QStringList({"1", "3.000000000000", "3.000000000000", "10:00:00:075"}));
  EXPECT_EQ(Std(View().match), "4");
  EXPECT_EQ(Std(View().avg), "4.500000000000000");
  EXPECT_EQ(Std(View().max), "6.000000000000000");
  EXPECT_EQ(Std(View().min), "3.000000000000000");

  // A band over the whole record takes MAX and MIN from the record; the overload is shown, not added.
  model_->HighTextEdited("1E38");
  model_->LowTextEdited("-1");
  model_->Search();
  Wait();
  EXPECT_EQ(Grid().rowCount(), 12);
  EXPECT_EQ(Row(11)[1], "OVLD");
  EXPECT_EQ(Std(View().avg), "5.000000000000000");
  EXPECT_EQ(Std(View().min), "0.000000000000000");

  // Nothing between two readings: zeros and a header alone.
  model_->HighTextEdited("4.6");
  model_->LowTextEdited("4.4");
  model_->Search();
  Wait();
  EXPECT_EQ(Grid().rowCount(), 0);
  EXPECT_EQ(Std(View().match), "0");
  EXPECT_EQ(Std(View().avg), "0.000000000000000");
  EXPECT_EQ(prompter_.shown.size(), 7u);
}

// Exactly 10000 matches stop the search with its message, the grid full and the figures as they were.
TEST_F(RecordViewerTest, SearchStopsAtTenThousandRows) {
  test::WriteRecord(RecordPath(1), Ramp(10001), "DCV", "NONE");
  Open();
  Select(0);
  model_->HighTextEdited("10");
  model_->LowTextEdited("0.0005");
  prompter_.ExpectMessage(Prompter::Answer::Ok);
  model_->Search();
  Wait();
  ExpectShown(0, "Please narrow the searching range.");
  EXPECT_EQ(Grid().rowCount(), 10000);
  EXPECT_EQ(Row(9999)[1], "10.000000000000");
  EXPECT_EQ(Std(View().match), "0");
  EXPECT_EQ(Std(View().max), "10.001000000000");
}

TEST_F(RecordViewerTest, InputChecksAndEnter) {
  const struct {
    bool high;
    const char* typed;
    const char* message;  // nullptr: none
    const char* caption;
    const char* after;
  } cases[] = {
      {true, "1.2.", "The value of \"R\" is error.", ".", "1.200000"},
      {true, "12a", "The value is error.", "", "12.000000"},
      {true, "-2.5e-3", nullptr, nullptr, "-2.5e-3"},
      {false, "abc", nullptr, nullptr, "abc"},
      {false, "1..", "The value of \"R\" is error.", ".", "1.."},
  };
  for (const auto& c : cases) {
    const size_t before = prompter_.shown.size();
    if (c.message) prompter_.ExpectMessage(Prompter::Answer::Ok);
    if (c.high)
      model_->HighTextEdited(c.typed);
    else
      model_->LowTextEdited(c.typed);
    EXPECT_EQ(Std(c.high ? View().highText : View().lowText), c.after) << c.typed;
    ASSERT_EQ(prompter_.shown.size(), before + (c.message ? 1 : 0)) << c.typed;
    if (c.message) ExpectShown(before, c.message, c.caption);
  }
  // Enter in the upper field rewrites it and moves on; in the lower field it searches.
  model_->HighTextEdited("7");
  const int focus = View().lowFieldFocusRequests;
  model_->EnterPressed(ViewerField::High);
  EXPECT_EQ(Std(View().highText), "7.000000000000");
  EXPECT_EQ(View().lowFieldFocusRequests, focus + 1);
  model_->EnterPressed(ViewerField::Other);
  model_->LowTextEdited("");
  prompter_.ExpectMessage(Prompter::Answer::Ok);
  model_->EnterPressed(ViewerField::Low);
  EXPECT_EQ(Std(prompter_.shown.back().text), "Please input a valid Min_value.");
}

TEST_F(RecordViewerTest, CsvExport) {
  test::WriteRecord(RecordPath(2), {{1.5}, {kOverloadValue, 0.25}}, "DCV", "NONE");
  Open();
  Select(0);
  // ".csv" is added to any name, one that ends in ".csv" too.
  for (const QString& name : {temp_->File("out"), temp_->File("out.csv")}) {
    prompter_.ExpectSaveName(name);
    prompter_.ExpectMessage(Prompter::Answer::Ok);
    model_->OutputToCsv();
    Wait();
    ExpectShown(prompter_.shown.size() - 1, "Output to CSV completed.");
    EXPECT_EQ(test::ReadBytes(name + ".csv").toStdString(),
              "Time,Value ,Value_2ND , ,DateTime : ( 24 / 03 / 05 -- 14 : 03 : 27 )  - DCV NONE\r\n"
              "10:00:00:000,1.50000000000000, \r\n"
              "10:00:00:025,OVLD,0.25000000000000\r\n");
  }
  EXPECT_FALSE(QFileInfo::exists(temp_->File("out.csv.csv.csv")));

  // Cancelled in the chooser: nothing; a folder that does not exist: "Save As Error." and why.
  prompter_.ExpectSaveName({});
  model_->OutputToCsv();
  prompter_.ExpectSaveName(temp_->File("no/such/out"));
  prompter_.ExpectMessage(Prompter::Answer::Ok);
  model_->OutputToCsv();
  Wait();
  ExpectShown(prompter_.shown.size() - 1,
              "Save As Error.\nThe folder \"" + temp_->File("no/such") + "\" does not exist.", "Error");
  EXPECT_TRUE(prompter_.AllAnswersUsed());
}

// A cancelled export leaves no file, not even a part of one. Cancelled at
// once, it stops at its first look at the progress, with rows written by then;
// on a machine too busy to cancel before the export has finished, it is tried again.
TEST_F(RecordViewerTest, CancelledExportLeavesNoFile) {
  test::WriteRecord(RecordPath(1), Ramp(100000), "DCV", "NONE");
  Open();
  Select(0);
  bool cancelled = false;
  for (int attempt = 0; attempt < 5 && !cancelled; ++attempt) {
    const QString csv = temp_->File(QStringLiteral("big%1.csv").arg(attempt));
    const size_t before = prompter_.shown.size();
    prompter_.ExpectMessage(Prompter::Answer::Ok);  // "Output to CSV completed." when too late
    model_->ExportTo(csv);
    EXPECT_TRUE(View().exporting);
    model_->CancelExport();
    Wait();
    cancelled = prompter_.shown.size() == before;
    EXPECT_EQ(QFileInfo::exists(csv), !cancelled);
  }
  ASSERT_TRUE(cancelled);
  EXPECT_FALSE(View().exporting);
  // Nothing else either: the temporary file has gone with the cancel.
  EXPECT_EQ(QDir(temp_->Path()).entryList(QDir::Files).size(), prompter_.shown.size());
}

TEST_F(RecordViewerTest, DeleteAskedFirstRemovesBothFiles) {
  test::WriteRecord(RecordPath(3), Ramp(5), "DCV", "NONE");
  test::WriteRecord(DbfilePath(3), Ramp(5), "DCV", "NONE");
  test::WriteRecord(RecordPath(4), Ramp(5), "DCV", "NONE");
  Open();
  ASSERT_EQ(View().records.size(), 3);
  Select(1);
  // No: both files stay, and the list is refreshed all the same.
  prompter_.ExpectMessage(Prompter::Answer::No);
  model_->DeleteRecord();
  Wait();
  EXPECT_EQ(prompter_.shown[0].buttons, Prompter::Buttons::YesNo);
  EXPECT_EQ(View().selectedRecord, -1);
  EXPECT_FALSE(View().deleteButton.enabled || View().csvButton.enabled || View().highField.enabled);
  EXPECT_EQ(View().records.size(), 3);
  // Yes on the DBfile entry takes the record file of the number too.
  Select(1);
  prompter_.ExpectMessage(Prompter::Answer::Yes);
  model_->DeleteRecord();
  Wait();
  EXPECT_FALSE(QFileInfo::exists(RecordPath(3)) || QFileInfo::exists(DbfilePath(3)));
  ASSERT_EQ(View().records.size(), 1);
  EXPECT_TRUE(View().records[0].startsWith("Record 4 "));
}

// A file that cannot be read is named: at listing (a foreign file), or when
// chosen (a file damaged since). A file that has gone shows nothing new.
TEST_F(RecordViewerTest, DamagedForeignAndVanishedFiles) {
  test::WriteRecord(RecordPath(1), Ramp(3), "DCV", "NONE");
  test::WriteRecord(RecordPath(2), Ramp(3), "DCV", "NONE");
  {
    auto db = test::RawOpen(RecordPath(5), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    db.exec("CREATE TABLE samples (x DOUBLE)");
  }
  prompter_.ExpectMessage(Prompter::Answer::Ok);
  Open();
  ASSERT_EQ(prompter_.shown.size(), 1u);
  EXPECT_TRUE(prompter_.shown[0].text.contains("Record 5.mdb")) << Std(prompter_.shown[0].text);
  EXPECT_EQ(View().records.size(), 2);

  QFile bad(RecordPath(1));
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly | QIODevice::Truncate));
  bad.write(QByteArray(8192, 'x'));
  bad.close();
  prompter_.ExpectMessage(Prompter::Answer::Ok);
  Select(0);
  ASSERT_EQ(prompter_.shown.size(), 2u);
  EXPECT_TRUE(prompter_.shown[1].text.contains("Record 1.mdb")) << Std(prompter_.shown[1].text);

  ASSERT_TRUE(RemoveRecordFile(RecordPath(2)));
  Select(1);
  EXPECT_EQ(prompter_.shown.size(), 2u);
  EXPECT_EQ(Std(View().count), "0");
}

}  // namespace
}  // namespace merilog
