#include "core/recordview/RecordChartModel.h"

#include <gtest/gtest.h>

#include "core/records/RecordTestSupport.h"
#include "core/recordview/RecordChartTrace.h"
#include "support/RecordFiles.h"
#include "support/ScriptedPrompter.h"

namespace merilog {
namespace {

using test::Reading;
using test::Std;

class RecordChartTest : public test::RecordFolderFixture {
 protected:
  void SetUp() override {
    RecordFolderFixture::SetUp();
    test::EnsureEventLoop();
    model_ = std::make_unique<RecordChartModel>(prompter_, [this](Prompter&) { return std::optional(folder_); });
  }
  void Wait() {
    ASSERT_TRUE(test::RunUntil([this] { return !model_->Busy(); }));
  }
  // Opens the dialog and chooses the only record.
  void OpenAndChoose() {
    model_->Opening();
    Wait();
    ASSERT_EQ(View().records.size(), 1);
    model_->RecordChosen(0);
    Wait();
  }
  void Range(const QString& from, const QString& to) {
    model_->RangeChosen();
    model_->FromTextEdited(from);
    model_->ToTextEdited(to);
  }
  void Draw(bool second = false) {
    second ? model_->Draw2nd() : model_->Draw();
    Wait();
  }
  void MoveTo(int p) {
    model_->SliderMoved(p);
    Wait();
  }
  const RecordChartViewState& View() const { return model_->View(); }
  const RecordChartPicture& Picture() const { return model_->Picture(); }

  test::ScriptedPrompter prompter_;
  std::unique_ptr<RecordChartModel> model_;
};

TEST_F(RecordChartTest, OpeningScaleLabelsAndEmptyFolder) {
  model_->Opening();
  Wait();
  EXPECT_EQ(Std(View().recordPlaceholder), "No records were found.");
  const QStringList labels = View().scales;
  ASSERT_EQ(labels.size(), 48);
  // The scale steps themselves are the shared table's; only the first three gain a blank.
  EXPECT_EQ(labels.mid(0, 4), QStringList({"100 M", "10 M", "1 M", "500000"}));
  EXPECT_EQ(View().selectedScale, 20);
  EXPECT_FALSE(View().drawButton.enabled || View().draw2ndButton.enabled || View().fromField.enabled);

  test::WriteRecord(RecordPath(2), {{1.0}}, "DCV", "NONE");
  model_->Opening();
  Wait();
  EXPECT_EQ(Std(View().recordPlaceholder), "Please select a record.");
}

// The range checks and their three messages; nothing is drawn after any of them.
TEST_F(RecordChartTest, RangeChecks) {
  std::vector<Reading> readings;
  for (int i = 0; i < 20; ++i) readings.push_back({i * 0.1});
  test::WriteRecord(RecordPath(1), readings);
  OpenAndChoose();
  EXPECT_EQ(Std(View().count), "20");
  const QString valueError = "The value is error ! Please re-enter.";
  const struct {
    const char *from, *to;
    QString message, caption;
  } cases[] = {
      {"5", "5", "Input Data Error! Please re-enter.", "ERROR"},
      {"0", "10", valueError, ""},
      {"7", "0", "Input Data Error! Please re-enter.", "ERROR"},
      {"1", "21", "Over-range! Please re-enter.", "ERROR"},
      {"99999999999999999999", "2", "Over-range! Please re-enter.", "ERROR"},
  };
  for (const auto& c : cases) {
    Range(c.from, c.to);
    prompter_.ExpectMessage(Prompter::Answer::Ok);
    Draw();
    ASSERT_FALSE(prompter_.shown.empty());
    EXPECT_EQ(Std(prompter_.shown.back().text), Std(c.message)) << c.from << " " << c.to;
    EXPECT_EQ(Std(prompter_.shown.back().caption), Std(c.caption));
    EXPECT_EQ(prompter_.shown.back().icon, Prompter::Icon::Stop);
    EXPECT_FALSE(model_->Drawn());
  }
  // From above to is taken the other way round.
  Range("15", "5");
  Draw();
  EXPECT_TRUE(model_->Drawn());
  EXPECT_EQ(View().sliderMaximum, 10);
  EXPECT_EQ(Std(View().cursorNumber), "5");
  MoveTo(3);
  EXPECT_EQ(Std(View().cursorNumber), "8");
  EXPECT_EQ(Std(View().cursorValue), "0.700000000000000");
}

// The cursor reads the reading under the slider: its number, "OVLD", "NULL"
// or "%.15f", and the record's date; the marker sits on the drawn point, or
// above the chart for a reading that has no place on it.
TEST_F(RecordChartTest, CursorReadout) {
  test::WriteRecord(RecordPath(1),
                    {{1.25, 0.5}, {kOverloadValue, kNoSecondValue}, {-0.5, kOverloadValue}, {2.0, 0.25}, {0.0}}, "DCV",
                    "ACV");
  OpenAndChoose();
  Draw();
  EXPECT_EQ(View().sliderMaximum, 4);
  const struct {
    bool second;
    int p;
    const char* value;
    long long y;  // logical y of the marker
  } cases[] = {
      {false, 0, "1.250000000000000", 125},
      {false, 1, "OVLD", 1000},
      {false, 2, "-0.500000000000000", -50},
      {true, 1, "NULL", 1000},
      {true, 2, "OVLD", 1000},
      {true, 3, "0.250000000000000", 25},
  };
  for (const auto& c : cases) {
    if (c.second && Picture().graphs.size() == 1) Draw(true);
    MoveTo(c.p);
    EXPECT_EQ(Std(View().cursorNumber), std::to_string(c.p + 1));
    EXPECT_EQ(Std(View().cursorValue), c.value) << c.p;
    EXPECT_EQ(Std(View().cursorDate), "24 / 03 / 05 -- 14 : 03 : 27");
    EXPECT_EQ(Picture().marker, CursorMarker(4, c.p, c.y));
  }
  // A new colour restores the chart from its snapshot, without the marker; the old graphs stay as drawn.
  prompter_.ExpectColour(Rgb{255, 0, 0});
  model_->ChangeColour();
  EXPECT_FALSE(Picture().marker.has_value());
  Draw();
  ASSERT_EQ(Picture().graphs.size(), 3u);
  EXPECT_EQ(Picture().graphs[0].colour, (Rgb{0, 255, 255}));
  EXPECT_EQ(Picture().graphs[2].colour, (Rgb{255, 0, 0}));
  model_->Clear();
  EXPECT_TRUE(Picture().graphs.empty());
  EXPECT_FALSE(model_->Drawn());
}

// One reading: the count shows 1, nothing is drawn, the cursor still reads it
// (no marker, as there are no steps). A 2ND draw without second values draws nothing.
TEST_F(RecordChartTest, OneReadingAndNoSecondValues) {
  test::WriteRecord(RecordPath(1), {{3.5}});
  OpenAndChoose();
  EXPECT_EQ(Std(View().count), "1");
  Draw();
  EXPECT_TRUE(model_->Drawn());
  ASSERT_EQ(Picture().graphs.size(), 1u);
  EXPECT_TRUE(Picture().graphs[0].lines.empty());
  EXPECT_EQ(Std(View().cursorValue), "3.500000000000000");
  EXPECT_FALSE(Picture().marker.has_value());

  ASSERT_TRUE(RemoveRecordFile(RecordPath(1)));
  test::WriteRecord(RecordPath(1), {{1.0}, {2.0}, {3.0}});
  model_->RecordChosen(0);
  Wait();
  Draw(true);
  ASSERT_EQ(Picture().graphs.size(), 2u);
  EXPECT_TRUE(Picture().graphs[1].lines.empty());
}

// An overload leaves the chart at the top; the scale in force at Draw sets the picture.
TEST_F(RecordChartTest, OverloadAndScale) {
  test::WriteRecord(RecordPath(1), {{0.0}, {kOverloadValue}, {0.0}, {0.001}});
  OpenAndChoose();
  Draw();
  const std::vector<ChartLine>& lines = Picture().graphs[0].lines;
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], (ChartLine{0, 168, 195, RecordChartMapping::PixelY(2001)}));
  EXPECT_LT(lines[0].y2, 0);
  // 0.001 at "1m" is one division up.
  model_->ScaleChosen(29);
  Draw();
  EXPECT_EQ(Picture().graphs[1].lines.back(), (ChartLine{389, 168, 584, 134}));
}

// Cancelled at once: it stops at its first look at the progress. On a machine
// too busy to cancel before the draw has finished, it is tried again.
TEST_F(RecordChartTest, CancelledDrawLeavesTheChartAsItWas) {
  test::WriteRecord(RecordPath(1), std::vector<Reading>(100000, Reading{1.0}));
  OpenAndChoose();
  bool cancelled = false;
  for (int attempt = 0; attempt < 5 && !cancelled; ++attempt) {
    model_->Clear();
    model_->Draw();
    EXPECT_TRUE(View().drawing && View().cancelButton.shown && !View().clearButton.enabled);
    model_->CancelDraw();
    Wait();
    cancelled = !model_->Drawn();
  }
  ASSERT_TRUE(cancelled);
  EXPECT_FALSE(View().drawing || View().progressShown || View().cancelButton.shown);
  EXPECT_TRUE(View().clearButton.enabled);
  EXPECT_TRUE(Picture().graphs.empty());
  EXPECT_TRUE(prompter_.shown.empty());
}

TEST_F(RecordChartTest, EnterInTheRangeFields) {
  model_->FromTextEdited("12.7");
  const int focus = View().toFieldFocusRequests;
  model_->EnterPressed(ChartField::From);
  EXPECT_EQ(Std(View().fromText), "12");
  EXPECT_EQ(View().toFieldFocusRequests, focus + 1);
  model_->ToTextEdited("40.9abc");
  model_->EnterPressed(ChartField::To);
  EXPECT_EQ(Std(View().toText), "40");
  model_->EnterPressed(ChartField::Other);
  EXPECT_EQ(View().toFieldFocusRequests, focus + 1);
}

// After a record that cannot be read, nothing of the one chosen before stays.
TEST_F(RecordChartTest, DamagedFileChosen) {
  test::WriteRecord(RecordPath(5), {{1.0}, {2.0}});
  test::WriteRecord(RecordPath(6), {{1.0}});
  model_->Opening();
  Wait();
  model_->RecordChosen(0);
  Wait();
  ASSERT_EQ(Std(View().count), "2");
  QFile bad(RecordPath(6));
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly | QIODevice::Truncate));
  bad.write(QByteArray(4096, '\0'));
  bad.close();
  prompter_.ExpectMessage(Prompter::Answer::Ok);
  model_->RecordChosen(1);
  Wait();
  ASSERT_EQ(prompter_.shown.size(), 1u);
  EXPECT_TRUE(prompter_.shown[0].text.contains("Record 6.mdb")) << Std(prompter_.shown[0].text);
  EXPECT_EQ(Std(View().count), "");
  EXPECT_FALSE(View().drawButton.enabled);
  EXPECT_FALSE(View().draw2ndButton.enabled);
  model_->RecordChosen(0);
  Wait();
  EXPECT_TRUE(View().drawButton.enabled);
}

}  // namespace
}  // namespace merilog
