// Record store figures: appends through the durable batching path against one
// transaction, figures of a million-row record and its size; then the record
// viewer and record chart on it and on a record of ten million readings.
// Prints "name: value unit" lines.
#include <SQLiteCpp/SQLiteCpp.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "bench/RecordViewFigures.h"
#include "core/records/RecordAppender.h"
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

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  QTemporaryDir dir;
  if (!dir.isValid() || !QDir(dir.path()).mkdir("DB")) return 1;
  const QString folder = dir.filePath("DB");
  const QString appendFile = folder + "/Record 1.mdb";
  const QString singleFile = folder + "/Record 2.mdb";
  const QString bigFile = folder + "/Record 3.mdb";
  const QString hugeFile = folder + "/Record 4.mdb";

  const std::vector<Sample> burst = MakeSamples(50000);
  // Best of three, as the machine is shared.
  double append = 0, single = 0;
  for (int i = 0; i < 3; ++i) {
    append = std::max(append, AppendPath(appendFile, burst));
    single = std::max(single, SingleTransaction(singleFile, burst));
  }
  Print("append_rows_per_s", append, "rows/s");
  Print("single_txn_rows_per_s", single, "rows/s");
  std::printf("append_vs_single_ratio: %.2f x\n", single / append);

  const std::vector<Sample> million = MakeSamples(1000000);
  if (AppendPath(bigFile, million) == 0) return 1;
  Print("bytes_per_million_rows", static_cast<double>(QFileInfo(bigFile).size()), "bytes");

  double statsMs = 1e9, sqlMs = 1e9;
  for (int i = 0; i < 3; ++i) {
    QElapsedTimer t;
    t.start();
    auto db = RecordDatabase::Open(bigFile, RecordDatabase::Access::Read);
    auto f = db ? ReadRecordFigures(*db.value()) : RecordResult<RecordFigures>::Failure("open");
    if (!f || !f->fromSummary || f->value.count != 1000000) return 1;
    db.value().reset();
    statsMs = std::min(statsMs, Seconds(t) * 1000);

    t.restart();
    auto db2 = RecordDatabase::Open(bigFile, RecordDatabase::Access::Read);
    auto g = ReadRecordFiguresBySql(*db2.value());
    if (!g || g->value.count != 1000000) return 1;
    sqlMs = std::min(sqlMs, Seconds(t) * 1000);
  }
  std::printf("stats_1m_ms: %.2f ms\n", statsMs);
  std::printf("stats_1m_sql_ms: %.1f ms\n", sqlMs);

  // The viewer lists dated records only.
  {
    auto db = RecordDatabase::Open(bigFile, RecordDatabase::Access::Write);
    if (!db || !db.value()->WriteDate(QDateTime(QDate(2024, 3, 5), QTime(14, 3, 27)))) return 1;
  }
  if (!bench::WriteLargeRecord(hugeFile, 10000000)) return 1;
  if (bench::PrintRecordViewFigures(folder, 4, 3, dir.filePath("out.csv")) != 0) return 1;
  return 0;
}
