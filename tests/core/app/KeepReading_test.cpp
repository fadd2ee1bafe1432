// Unattended runs through the main window's model: a meter that drops and comes
// back while the others read on, the gaps stored and charted, the setting off,
// recognition on the way back, the planned stop and the limits.
#include <gtest/gtest.h>

#include <QFile>
#include <set>

#include "../../support/MainWindowBench.h"
#include "core/base/MessageTable.h"
#include "core/measure/MeterLoss.h"
#include "core/readingconfig/UnattendedRun.h"
#include "core/records/RecordFormat.h"

using namespace merilog;
using namespace merilog::test;
using Answer = Prompter::Answer;

namespace {

const char kRows[] = "SELECT rowid, read_time FROM read ORDER BY rowid";
const char kGaps[] = "SELECT gap_start, gap_end, last_rowid, gap_cause FROM read_gap ORDER BY rowid";
const std::string kDropping = "USB0::0x3A7D::0x6081::usbtmc2::INSTR";  // a meter without a usable serial
const std::string kElsewhere = "USB0::0x3A7D::0x6081::usbtmc5::INSTR";

QTime TimeOfRow(const std::string& readTime) {
  return QTime::fromString(QString::fromStdString(readTime), QStringLiteral("HH:mm:ss:zzz"));
}

class KeepReading : public ::testing::Test {
 protected:
  KeepReading() {
    // The setting is written to the language file: a copy of our own.
    QFile::copy(QStringLiteral(MERILOG_SOURCE_DATA_DIR "/MERILOG.ini"), config.File("MERILOG.ini"));
    QFile(config.File("MERILOG.ini")).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    UseMessageFile(config.File("MERILOG.ini"));
  }
  ~KeepReading() override {
    b.model.reset();
    test::UseConfigurationFile();
  }
  // Four meters saving into records 1 to 4; the third has no serial of its own,
  // so its resource names its device node.
  MainWindowModel& OpenFour(bool keepReading) {
    b.Add(kUsb81, "6081", {"CONF:VOLT:DC"});
    b.Add(kUsb82, "6082", {"CONF:VOLT:DC", "FUNC2 \"VOLT:AC\""});
    sim::SimMeterDescription d;
    d.resource = kDropping;
    d.model = "6081";
    d.serial = "SN03";
    d.overloadEvery = 0;
    d.setup = {"CONF:VOLT:DC"};
    dropping = b.bench->Add(d);
    b.Add("USB0::0x3A7D::0x6081::SN04::INSTR", "6081", {"CONF:VOLT:DC"});
    auto& m = b.Open();
    if (m.KeepReading() != keepReading) m.OnCommand(MenuCommand::KeepReading);
    b.MultiInto({1, 2, 3, 4});
    m.SetXMax(5);  // 2000 readings: the whole run stays in the chart
    return m;
  }
  void Tick() {
    b.clock.AdvanceMs(25);
    b.model->OnReadingTimer();
    b.Settle();
    ++ticks;
  }
  std::set<std::string> Times(int record) {
    std::set<std::string> times;
    for (const auto& row : Query(b.RecordPath(record), kRows)) times.insert(row[1]);
    return times;
  }

  TempFolder config;
  MainWindowBench b;
  sim::SimMeter* dropping = nullptr;
  int ticks = 0;
};

TEST_F(KeepReading, AMeterDroppedThreeTimesLeavesGapsWhileTheOthersReadEveryTick) {
  auto& m = OpenFour(true);
  m.StartReading();
  b.Settle();
  ASSERT_TRUE(m.ReadingActive());
  ASSERT_TRUE(m.Run().KeepGoing());
  for (int gap = 0; gap < 3; ++gap) {
    for (int i = 0; i < 10; ++i) Tick();
    ASSERT_TRUE(b.bench->DropMeter(kDropping));
    Tick();
    ASSERT_TRUE(m.Run().Lost(2));
    EXPECT_TRUE(m.Alert(2).lost);
    EXPECT_TRUE(m.Alert(2).lostText.startsWith("Lost since 14:0")) << m.Alert(2).lostText.toStdString();
    EXPECT_NE(m.StatusLine().indexOf("lost"), -1) << m.StatusLine().toStdString();
    EXPECT_FALSE(m.Alert(1).lost);
    // Looked for after 0.5 s and found nowhere; then it is plugged back (the
    // last time under another device node) and found at the next try.
    for (int i = 0; i < 30; ++i) Tick();
    EXPECT_EQ(m.Run().Loss(2).Tries(), 1);
    ASSERT_TRUE(gap == 2 ? b.bench->ReattachMeter(kDropping, kElsewhere) : b.bench->ReattachMeter(kDropping));
    for (int i = 0; i < 60 && m.Run().Lost(2); ++i) Tick();
    ASSERT_FALSE(m.Run().Lost(2));
    EXPECT_NE(m.StatusLine().indexOf("the gap is stored"), -1) << m.StatusLine().toStdString();
  }
  for (int i = 0; i < 10; ++i) Tick();
  // The trace of the third meter breaks at each gap; the others' do not.
  ChartDrawInputs in;
  in.multiDeviceMode = true;
  in.meterCount = 4;
  m.Chart().RedrawChart(in);
  ASSERT_EQ(m.Chart().Paths().size(), 4u);
  for (const ChartTracePath& path : m.Chart().Paths())
    EXPECT_EQ(path.breaks.size(), path.trace == 2 ? 3u : 0u) << "trace " << path.trace;
  m.StopReading();
  b.Settle();
  EXPECT_NE(m.StatusLine().indexOf("3 gaps"), -1) << m.StatusLine().toStdString();

  // Every tick's row, each once, for the meters that stayed.
  for (int record : {1, 2, 4}) EXPECT_EQ(Query(b.RecordPath(record), kRows).size(), size_t(ticks)) << record;
  EXPECT_EQ(Times(1).size(), size_t(ticks));
  // The dropped meter: rows before and after each gap, a gap row bracketing the
  // silence, no row inside it and none twice.
  const auto rows = Query(b.RecordPath(3), kRows);
  const auto gaps = Query(b.RecordPath(3), kGaps);
  ASSERT_EQ(gaps.size(), 3u);
  EXPECT_EQ(Times(3).size(), rows.size());
  size_t missed = 0;
  for (const auto& g : gaps) {
    const QDateTime start = ParseRecordDate(QString::fromStdString(g[0]));
    const QDateTime end = ParseRecordDate(QString::fromStdString(g[1]));
    ASSERT_TRUE(start.isValid() && end.isValid() && start < end) << g[0] << " " << g[1];
    EXPECT_NE(g[3].find("read?"), std::string::npos) << g[3];
    const long long last = std::stoll(g[2]);
    bool after = false;
    for (const auto& row : rows) {
      const long long id = std::stoll(row[0]);
      const QTime t = TimeOfRow(row[1]);
      if (id <= last) {
        EXPECT_LT(t, start.time()) << row[1];
      } else if (id == last + 1) {
        after = true;
        EXPECT_GE(t, end.time()) << row[1];
      }
    }
    EXPECT_TRUE(after) << "no row after the gap ending " << g[1];
    missed += static_cast<size_t>(start.msecsTo(end) / 25 + 1);  // the ticks from the failed read to the one that found it
  }
  // What was not read is what the gaps say: every tick outside them has its row.
  EXPECT_EQ(rows.size() + missed, size_t(ticks));
}

TEST_F(KeepReading, WithTheSettingOffTheFirstFailedReadStopsTheRun) {
  auto& m = OpenFour(false);
  m.StartReading();
  b.Settle();
  for (int i = 0; i < 10; ++i) Tick();
  ASSERT_TRUE(b.bench->DropMeter(kDropping));
  b.prompter.ExpectMessage(Answer::Ok);
  Tick();
  ASSERT_EQ(b.prompter.shown.size(), 1u);
  EXPECT_EQ(b.prompter.shown[0].text, "Check Device Connection");
  EXPECT_EQ(b.prompter.shown[0].caption, "ERROR");
  EXPECT_FALSE(m.ReadingActive());
  // The meters that answered in the failing tick still have its row.
  EXPECT_EQ(Query(b.RecordPath(1), kRows).size(), 11u);
  EXPECT_EQ(Query(b.RecordPath(3), kRows).size(), 10u);
  EXPECT_FALSE(Query(b.RecordPath(3), "SELECT name FROM sqlite_master WHERE name = 'read_gap'").size());
}

TEST_F(KeepReading, TheSettingIsKeptInTheLanguageFile) {
  auto& m = OpenFour(true);
  EXPECT_TRUE(m.CommandChecked(MenuCommand::KeepReading));
  EXPECT_EQ(ApplicationMessageTable().Lookup(u"Options", u"KeepReadingWhenMeterDrops", "none"), "1");
  m.OnCommand(MenuCommand::KeepReading);
  EXPECT_FALSE(m.KeepReading());
  EXPECT_EQ(ApplicationMessageTable().Lookup(u"Options", u"KeepReadingWhenMeterDrops", "none"), "0");
}

// Back only as itself: another instrument where it was is passed over, and a
// meter set to another function is not written into its record (the user is
// told once) until it is set back.
TEST_F(KeepReading, AMeterComesBackOnlyAsItselfAndOnItsFunction) {
  auto& m = OpenFour(true);
  m.StartReading();
  b.Settle();
  Tick();
  ASSERT_TRUE(b.bench->RemoveMeter(kDropping));
  Tick();
  ASSERT_TRUE(m.Run().Lost(2));
  b.Add(kDropping, "6081", {"CONF:VOLT:DC"});  // serial "usbtmc2": another instrument
  for (int i = 0; i < 21; ++i) Tick();
  EXPECT_EQ(m.Run().Loss(2).Tries(), 1);
  EXPECT_NE(m.Run().Loss(2).LastTry().find("another instrument answered"), std::string::npos)
      << m.Run().Loss(2).LastTry();
  ASSERT_TRUE(b.bench->RemoveMeter(kDropping));
  sim::SimMeterDescription d;
  d.resource = kDropping;
  d.model = "6081";
  d.serial = "SN03";
  d.setup = {"CONF:VOLT:AC"};
  sim::SimMeter* back = b.bench->Add(d);
  for (int i = 0; i < 41; ++i) Tick();
  EXPECT_EQ(m.Run().Loss(2).Tries(), 2);
  EXPECT_TRUE(m.Run().Lost(2));
  EXPECT_NE(m.StatusLine().indexOf("is back on ACV, but it was reading DCV"), -1) << m.StatusLine().toStdString();
  back->Execute("CONF:VOLT:DC");
  for (int i = 0; i < 81 && m.Run().Lost(2); ++i) Tick();
  EXPECT_FALSE(m.Run().Lost(2));
  Tick();
  m.StopReading();
  b.Settle();
  EXPECT_EQ(Query(b.RecordPath(3), kGaps).size(), 1u);
  EXPECT_EQ(Query(b.RecordPath(3), "SELECT * FROM read_function"), (std::vector<std::vector<std::string>>{{"DCV", "NONE"}}));
}

// The planned stop ends the run on its tick and commits every reading; a
// reading above the high limit is counted, shown in the warning colour, and its
// crossing and return are on the status line.
TEST(UnattendedRun, StopsOnTimeAndWarnsOnLimits) {
  MainWindowBench b;
  sim::SimMeter* meter = b.Add(kUsb81, "6081", {"CONF:VOLT:DC"});
  auto& m = b.Open();
  b.SaveInto(1);
  UnattendedRun plan;
  plan.stop = UnattendedRun::Stop::After;
  plan.afterMs = 125;
  plan.limits[0].high = 10;
  m.ApplyUnattendedRun(plan);
  m.StartReading();
  b.Settle();
  meter->QueueReadAnswers({"1", "12", "13", "5"});
  std::vector<bool> outside;
  std::vector<QString> lines;
  for (int i = 0; i < 5 && m.ReadingActive(); ++i) {
    b.clock.AdvanceMs(25);
    m.OnReadingTimer();
    b.Settle();
    outside.push_back(m.Alert(0).outside);
    lines.push_back(m.StatusLine());
  }
  EXPECT_FALSE(m.ReadingActive());
  EXPECT_EQ(outside, (std::vector<bool>{false, true, true, false, false}));
  EXPECT_NE(lines[1].indexOf("reading 12.000000000000 is above the high limit 10"), -1) << lines[1].toStdString();
  EXPECT_NE(lines[3].indexOf("back within the limits (5.000000000000)"), -1) << lines[3].toStdString();
  EXPECT_EQ(m.Run().LimitState(0).Count(), 2);
  EXPECT_TRUE(m.StatusLine().startsWith("Stopped at the planned time, 2024/05/06 14:03:27.")) << m.StatusLine().toStdString();
  EXPECT_NE(m.StatusLine().indexOf("2 readings outside the limits"), -1) << m.StatusLine().toStdString();
  EXPECT_EQ(Query(b.RecordPath(1), kRows).size(), 4u);
}

TEST(UnattendedRun, DurationsStopTimesAndLimitsAreReadOrRefusedWithAReason) {
  QString why;
  for (const auto& [text, ms] : std::vector<std::pair<QString, qint64>>{
           {"30m", 1800000}, {"2h", 7200000}, {"1h30m", 5400000}, {"90", 90000}, {"500ms", 500}, {"1d", 86400000}})
    EXPECT_EQ(ParseRunDuration(text, &why), ms) << text.toStdString();
  for (const QString text : {"", "m", "10x", "1.5h", "-5m", "0s", "400d", "99999999999s"})
    EXPECT_FALSE(ParseRunDuration(text, &why)) << text.toStdString();
  EXPECT_EQ(RunDurationText(5400000), "1h30m");
  EXPECT_EQ(ParseStopTime("2024/05/06 18:00:00", &why), QDateTime(QDate(2024, 5, 6), QTime(18, 0)));
  EXPECT_FALSE(ParseStopTime("2024-05-06 18:00", &why));
  UnattendedRunForm form;
  form.stop = UnattendedRun::Stop::At;
  form.at = QDateTime(QDate(2024, 5, 6), QTime(9, 0));
  EXPECT_FALSE(form.Read(form.at, &why));
  EXPECT_NE(why.indexOf("has passed"), -1);
  form.stop = UnattendedRun::Stop::WhenTold;
  form.high[1] = "1";
  form.low[1] = "2";
  EXPECT_FALSE(form.Read(form.at, &why));
  EXPECT_EQ(why, "Meter 2: The low limit 2 is above the high limit 1.");
  form.low[1] = "abc";
  EXPECT_FALSE(form.Read(form.at, &why));
  form.low[1] = "";
  const auto run = form.Read(form.at, &why);
  ASSERT_TRUE(run);
  EXPECT_EQ(run->limits[1].high, 1.0);
  EXPECT_FALSE(run->limits[1].low);
}

TEST(MeterLoss, LooksAgainAfterHalfASecondThenTwiceAsLongUpToThirtySeconds) {
  MeterLoss loss;
  const QDateTime since(QDate(2024, 5, 6), QTime(9, 0));
  loss.Lose(since, 1000, "unplugged");
  std::vector<qint64> waits;
  qint64 now = 1000;
  for (int i = 0; i < 9; ++i) {
    qint64 due = now;
    while (!loss.TryDue(due)) ++due;
    waits.push_back(due - now);
    loss.Trying();
    EXPECT_FALSE(loss.TryDue(due + 100000));  // one try at a time
    now = due;
    loss.TryFailed(now, "not found");
  }
  EXPECT_EQ(waits, (std::vector<qint64>{500, 1000, 2000, 4000, 8000, 16000, 30000, 30000, 30000}));
  const RecordGap gap = loss.Back(since.addSecs(75));
  EXPECT_EQ(gap.Ms(), 75000);
  EXPECT_EQ(gap.cause, "unplugged");
  EXPECT_FALSE(loss.Lost());
  EXPECT_EQ(loss.Totals().count, 1);
  // A second loss starts from half a second again.
  loss.Lose(since.addSecs(100), now, "again");
  EXPECT_FALSE(loss.TryDue(now + 499));
  EXPECT_TRUE(loss.TryDue(now + 500));
}

}  // namespace
