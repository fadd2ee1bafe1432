// Record store figures: appends through the durable batching path against one
// transaction, figures of a million-row record and its size; a record of ten
// million readings another program wrote, opened the first time (one pass)
// against the sqlite3 shell's aggregates and opened again; the record viewer
// and record chart on it; its CSV against a bare one-pass program writing the
// same bytes. --huge instead a record of 10^8 readings (about 4 GB); --quick runs
// every step on small records (for the tests: the figures then mean nothing).
// Prints "name: value unit" lines.
#include <SQLiteCpp/SQLiteCpp.h>
#include <sqlite3.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/RecordViewFigures.h"
#include "core/records/RecordAppender.h"
#include "core/records/RecordCsv.h"
#include "core/records/RecordDatabase.h"
#include "core/records/RecordFigures.h"
#include "core/records/RecordFolder.h"

using namespace merilog;

namespace {

struct Sample {
  double value, value2nd;
  QTime time;
};

std::vector<Sample> MakeSamples(size_t n) {
  std::mt19937_64 rng(42);
  std::normal_distribution<double> noise(0.0, 0.002);
  std::vector<Sample> s;
  s.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    const double v = 1.234567 + noise(rng);
    const double v2 = i % 2 ? kNoSecondValue : 0.0051 + noise(rng);
    s.push_back({v, v2, QTime::fromMSecsSinceStartOfDay(static_cast<int>((i * 25) % 86400000))});
  }
  return s;
}

double Seconds(const QElapsedTimer& t) {
  return static_cast<double>(t.nsecsElapsed()) / 1e9;
}

void Print(const char* name, double value, const char* unit) {
  std::printf("%s: %.0f %s\n", name, value, unit);
}

bool Fresh(const QString& path) {
  RemoveRecordFile(path);
  RecordStatus s = CreateRecordFile(path, true);
  if (!s) std::fprintf(stderr, "%s\n", s.error.toLocal8Bit().constData());
  return s.ok();
}

// Appends through RecordAppender with its durability rule (1000 rows or 100 ms).
double AppendPath(const QString& path, const std::vector<Sample>& samples) {
  if (!Fresh(path)) return 0;
  auto a = RecordAppender::Open(path);
  if (!a) return 0;
  QElapsedTimer t;
  t.start();
  for (const Sample& s : samples)
    if (!a.value()->Append(s.value, s.value2nd, s.time)) return 0;
  if (!a.value()->Close()) return 0;
  return static_cast<double>(samples.size()) / Seconds(t);
}

// The same rows in a single transaction on the same kind of file.
double SingleTransaction(const QString& path, const std::vector<Sample>& samples) {
  if (!Fresh(path)) return 0;
  SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE);
  db.exec("PRAGMA synchronous=FULL");
  QElapsedTimer t;
  t.start();
  SQLite::Transaction txn(db);
  SQLite::Statement insert(db, "INSERT INTO read (read_value, read_value_2ND, read_time) VALUES (?, ?, ?)");
  for (const Sample& s : samples) {
    const ReadTimeText time = FormatReadTime(s.time);
    insert.bind(1, s.value);
    insert.bind(2, s.value2nd);
    insert.bindNoCopy(3, time.data());
    insert.exec();
    insert.reset();
  }
  txn.commit();
  return static_cast<double>(samples.size()) / Seconds(t);
}

// Ours against a reference, measured in turns in the same run: the best of
// each and the best of the turns' ratios, by the clock and by processor time
// (which tells the work from the wait for a processor on a busy machine).
struct Versus {
  double ours = 1e12, reference = 1e12, ratio = 1e12, oursCpu = 1e12, referenceCpu = 1e12, cpuRatio = 1e12;
  void Add(double o, double oCpu, double r, double rCpu) {
    ours = std::min(ours, o);
    reference = std::min(reference, r);
    ratio = std::min(ratio, o / r);
    oursCpu = std::min(oursCpu, oCpu);
    referenceCpu = std::min(referenceCpu, rCpu);
    cpuRatio = std::min(cpuRatio, oCpu / rCpu);
  }
  void Print(const char* oursName, const char* referenceName, const char* ratioName) const {
    std::printf("%s_ms: %.0f ms\n%s_ms: %.0f ms\n%s: %.2f x\n", referenceName, reference, oursName, ours, ratioName,
                ratio);
    std::printf("%s_cpu_ms: %.0f ms\n%s_cpu_ms: %.0f ms\n%s_cpu: %.2f x\n", referenceName, referenceCpu, oursName,
                oursCpu, ratioName, cpuRatio);
    std::fflush(stdout);
  }
};

// The two columns' aggregates in one pass, as the shell computes them.
constexpr char kBothColumns[] =
    "select avg(read_value), count(read_value), max(read_value), min(read_value), avg(read_value_2ND), "
    "count(read_value_2ND), max(read_value_2ND), min(read_value_2ND) from read";

// Wall and processor milliseconds of one aggregate pass in this process.
std::pair<double, double> InProcessAggregateMs(const QString& path) {
  SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
  QElapsedTimer t;
  t.start();
  const double cpu0 = bench::CpuMs();
  SQLite::Statement q(db, kBothColumns);
  q.executeStep();
  return {t.nsecsElapsed() / 1e6, bench::CpuMs() - cpu0};
}

// The export's bytes written by the shortest program that can: one query over
// the columns, the numbers formatted as the export does, a buffered file. Like
// the export, it puts the file in place only once it is on the disk (fsync, then
// rename): a comparison with a program that leaves its bytes in the page cache
// would measure the disk, not the export.
long long BareCsv(const QString& recordPath, const QString& csvPath) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(recordPath.toUtf8().constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) !=
      SQLITE_OK)
    return -1;
  sqlite3_stmt* q = nullptr;
  sqlite3_prepare_v2(db, "SELECT read_time, read_value, read_value_2ND FROM read", -1, &q, nullptr);
  const QByteArray temporary = (csvPath + ".part").toUtf8();
  FILE* out = std::fopen(temporary.constData(), "wb");
  std::string buf = "Time,Value ,Value_2ND , ,DateTime : x\r\n";
  long long rows = 0;
  auto number = [&buf](sqlite3_stmt* s, int c, bool second) {
    if (sqlite3_column_type(s, c) == SQLITE_NULL) return void(buf += "NaN");
    const double v = sqlite3_column_double(s, c);
    if (v == kOverloadValue) return void(buf += "OVLD");
    if (second && v == kNoSecondValue) return void(buf += ' ');
    char text[400];
    auto [end, ec] = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, 14);
    buf.append(text, end);
  };
  while (sqlite3_step(q) == SQLITE_ROW) {
    buf.append(reinterpret_cast<const char*>(sqlite3_column_text(q, 0)), sqlite3_column_bytes(q, 0));
    buf += ',';
    number(q, 1, false);
    buf += ',';
    number(q, 2, true);
    buf += "\r\n";
    ++rows;
    if (buf.size() >= (1 << 20)) {
      std::fwrite(buf.data(), 1, buf.size(), out);
      buf.clear();
    }
  }
  std::fwrite(buf.data(), 1, buf.size(), out);
  std::fflush(out);
  ::fsync(fileno(out));
  std::fclose(out);
  std::rename(temporary.constData(), csvPath.toUtf8().constData());
  sqlite3_finalize(q);
  sqlite3_close(db);
  return rows;
}

// --huge: a record of 10^8 readings another program wrote (about 4 GB), its
// first opening against one aggregate pass, then the viewer and the chart on it.
int HugeRecord(const QString& folder, const QString& scratch) {
  const QString hugeFile = folder + "/Record 5.mdb";
  if (!bench::WriteLargeRecord(folder + "/Record 3.mdb", 1000000)) return 1;
  QElapsedTimer t;
  t.start();
  if (!bench::WriteForeignRecord(hugeFile, 100000000)) return 1;
  std::printf("huge_write_100m_s: %.0f s\n", Seconds(t));
  std::printf("huge_bytes: %.0f bytes\n", static_cast<double>(QFileInfo(hugeFile).size()));
  std::fflush(stdout);
  const auto [passMs, passCpu] = InProcessAggregateMs(hugeFile);
  std::printf("aggregate_pass_100m_s: %.1f s (processor %.1f s)\n", passMs / 1e3, passCpu / 1e3);
  t.restart();
  const double cpu0 = bench::CpuMs();
  if (!KeepRecordSummary(hugeFile)) return 1;
  std::printf("first_opening_100m_s: %.1f s (processor %.1f s)\n", Seconds(t), (bench::CpuMs() - cpu0) / 1e3);
  t.restart();
  auto db = RecordDatabase::Open(hugeFile, RecordDatabase::Access::Read);
  auto index = db ? RecordIndex::Open(*db.value()) : RecordResult<RecordIndex>::Failure("open");
  if (!index || index->Scanned()) return 1;
  std::printf("open_kept_100m_ms: %.2f ms\n", Seconds(t) * 1e3);
  std::fflush(stdout);
  return bench::PrintRecordViewFigures(folder, 5, 100000000, "100m", 3, scratch);
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  const bool quick = bench::QuickRun(argc, argv);
  const bool huge = !quick && QCoreApplication::arguments().contains("--huge");
  const int burstRows = quick ? 2000 : 50000;
  const int millionRows = quick ? 20000 : 1000000;
  const long long bigRows = quick ? 300000 : 10000000;
  QTemporaryDir dir;
  if (!dir.isValid() || !QDir(dir.path()).mkdir("DB")) return 1;
  const QString folder = dir.filePath("DB");
  const QString appendFile = folder + "/Record 1.mdb";
  const QString singleFile = folder + "/Record 2.mdb";
  const QString bigFile = folder + "/Record 3.mdb";
  const QString foreignFile = folder + "/Record 4.mdb";
  const QString pristine = dir.filePath("foreign.mdb");
  if (huge) return HugeRecord(folder, dir.filePath("out.csv"));
  qputenv("MERILOG_CONFIG_DIR", QByteArray(MERILOG_BUILD_CONFIG_DIR));

  const std::vector<Sample> burst = MakeSamples(static_cast<size_t>(burstRows));
  // Best of three, as the machine is shared.
  double append = 0, single = 0;
  for (int i = 0; i < 3; ++i) {
    append = std::max(append, AppendPath(appendFile, burst));
    single = std::max(single, SingleTransaction(singleFile, burst));
  }
  Print("append_rows_per_s", append, "rows/s");
  Print("single_txn_rows_per_s", single, "rows/s");
  std::printf("append_vs_single_ratio: %.2f x\n", single / append);

  const std::vector<Sample> million = MakeSamples(static_cast<size_t>(millionRows));
  if (AppendPath(bigFile, million) == 0) return 1;
  Print("bytes_per_million_rows", static_cast<double>(QFileInfo(bigFile).size()) * 1e6 / millionRows, "bytes");

  double statsMs = 1e9, sqlMs = 1e9;
  for (int i = 0; i < 3; ++i) {
    QElapsedTimer t;
    t.start();
    auto db = RecordDatabase::Open(bigFile, RecordDatabase::Access::Read);
    auto f = db ? ReadRecordFigures(*db.value()) : RecordResult<RecordFigures>::Failure("open");
    if (!f || !f->fromSummary || f->value.count != millionRows) return 1;
    db.value().reset();
    statsMs = std::min(statsMs, Seconds(t) * 1000);

    t.restart();
    auto db2 = RecordDatabase::Open(bigFile, RecordDatabase::Access::Read);
    auto g = ReadRecordFiguresBySql(*db2.value());
    if (!g || g->value.count != millionRows) return 1;
    sqlMs = std::min(sqlMs, Seconds(t) * 1000);
  }
  std::printf("stats_1m_ms: %.2f ms\n", statsMs);
  std::printf("stats_1m_sql_ms: %.1f ms\n", sqlMs);
  // The viewer lists dated records only.
  {
    auto db = RecordDatabase::Open(bigFile, RecordDatabase::Access::Write);
    if (!db || !db.value()->WriteDate(QDateTime(QDate(2024, 3, 5), QTime(14, 3, 27)))) return 1;
  }
  std::fflush(stdout);

  // A record another program wrote: the first opening reads it once and keeps what it found.
  if (!bench::WriteForeignRecord(pristine, bigRows)) return 1;
  auto fresh = [&] {
    RemoveRecordFile(foreignFile);
    QFile::copy(pristine, foreignFile);
  };
  // As processes, each from its start to its exit.
  Versus first;
  double secondMs = 1e12;
  const std::string where = dir.path().toStdString(), record = foreignFile.toStdString();
  const std::vector<std::string> stats{MERILOG_CLI_PATH, "records", "stats", "4"};
  for (int i = 0; i < 3; ++i) {
    fresh();
    const bench::ChildUsage shell = bench::RunProgram({"sqlite3", record, kBothColumns}, where);
    const bench::ChildUsage opened = bench::RunProgram(stats, where);
    const bench::ChildUsage again = bench::RunProgram(stats, where);
    if (!shell.ok || !opened.ok || !again.ok) return 1;
    first.Add(opened.wallMs, opened.cpuMs, shell.wallMs, shell.cpuMs);
    secondMs = std::min(secondMs, again.wallMs);
  }
  double openMs = 1e12;
  for (int i = 0; i < 5; ++i) {
    QElapsedTimer t;
    t.start();
    auto db = RecordDatabase::Open(foreignFile, RecordDatabase::Access::Read);
    auto index = db ? RecordIndex::Open(*db.value()) : RecordResult<RecordIndex>::Failure("open");
    if (!index || index->Scanned() || !index->Figures(*db.value())) return 1;
    openMs = std::min(openMs, Seconds(t) * 1000);
  }
  first.Print("stats_foreign_first_10m", "shell_aggregates_10m", "stats_foreign_first_vs_shell");
  std::printf("stats_foreign_second_10m_ms: %.1f ms\n", secondMs);
  std::printf("open_kept_10m_ms: %.2f ms\n", openMs);
  std::fflush(stdout);

  // The chart of a record another program wrote, chosen and drawn the first time, against one aggregate pass.
  Versus chartFirst;
  for (int i = 0; i < 3; ++i) {
    fresh();
    const auto [pass, passCpuMs] = InProcessAggregateMs(foreignFile);
    bench::QuietPrompter prompter;
    RecordChartModel model(prompter, [&folder](Prompter&) { return std::optional<QString>(folder); });
    model.Opening();
    while (model.Busy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const int entry = bench::RowOf(model.Entries(), 4);
    if (entry < 0) return 1;
    QElapsedTimer t;
    t.start();
    const double cpu0 = bench::CpuMs();
    model.RecordChosen(entry);
    while (model.Busy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    model.Draw();
    while (model.Busy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!model.Drawn()) return 1;
    chartFirst.Add(t.nsecsElapsed() / 1e6, bench::CpuMs() - cpu0, pass, passCpuMs);
  }
  chartFirst.Print("chart_all_10m_foreign_first", "aggregate_pass_10m", "chart_foreign_first_vs_pass");

  // The viewer and the chart on it after the first opening, and the export against a bare program.
  if (bench::PrintRecordViewFigures(folder, 4, bigRows, "10m", 3, dir.filePath("out.csv")) != 0) return 1;
  Versus csv;
  // The first round warms the page cache for both; it is not counted.
  for (int i = 0; i < 4; ++i) {
    QElapsedTimer t;
    t.start();
    double cpu0 = bench::CpuMs();
    const long long bare = BareCsv(foreignFile, dir.filePath("bare.csv"));
    const double b = t.nsecsElapsed() / 1e6, bCpu = bench::CpuMs() - cpu0;
    t.restart();
    cpu0 = bench::CpuMs();
    const CsvExport ours = WriteRecordCsv(foreignFile, dir.filePath("ours.csv"), "x");
    if (ours.rows != bigRows || bare != bigRows ||
        QFileInfo(dir.filePath("ours.csv")).size() != QFileInfo(dir.filePath("bare.csv")).size())
      return 1;
    if (i > 0) csv.Add(t.nsecsElapsed() / 1e6, bench::CpuMs() - cpu0, b, bCpu);
  }
  csv.Print("csv_10m", "csv_10m_bare", "csv_10m_vs_bare");

  return 0;
}
