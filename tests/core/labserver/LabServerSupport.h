#pragma once
#include <SQLiteCpp/SQLiteCpp.h>
#include <gtest/gtest.h>

#include <QDir>
#include <memory>
#include <vector>

#include "core/labserver/LabLink.h"
#include "core/labserver/LabRecordState.h"
#include "support/PostgresCluster.h"
#include "support/RecordFiles.h"
#include "support/TestSupport.h"

namespace merilog::test {

// Readings 0.5, 1.5, ... with the second value every other row, and one of
// each kind a record holds: an overload, a NaN (stored as NULL), infinity, a
// tiny number and a negative zero.
inline std::vector<Reading> SampleReadings(int count, double offset = 0) {
  std::vector<Reading> r;
  for (int i = 0; i < count; ++i) r.push_back({i + 0.5 + offset, i % 2 ? kNoSecondValue : -i * 0.001});
  if (count > 5) {
    r[1].value = kOverloadValue;
    r[2].value = std::nan("");
    r[3].value = std::numeric_limits<double>::infinity();
    r[4].value = 1e-300;
    r[5].value = -0.0;
  }
  return r;
}

// Every row of a record file as the server should hold it.
inline std::vector<LabReading> LocalRows(const QString& path) {
  // The forwarder may be writing its progress into the record just now: wait for it, as any reader would.
  SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY, 10000);
  SQLite::Statement q(db, "SELECT rowid, read_value, read_value_2ND, read_time FROM read ORDER BY rowid");
  std::vector<LabReading> rows;
  while (q.executeStep()) {
    LabReading r;
    r.rowId = q.getColumn(0).getInt64();
    if (!q.getColumn(1).isNull()) r.value = q.getColumn(1).getDouble();
    if (!q.getColumn(2).isNull()) r.value2nd = q.getColumn(2).getDouble();
    if (!q.getColumn(3).isNull()) r.time = QByteArray(q.getColumn(3).getText());
    rows.push_back(r);
  }
  return rows;
}

// Doubles compared bit for bit (a NaN equals itself, -0 is not 0).
inline bool SameRows(const std::vector<LabReading>& a, const std::vector<LabReading>& b) {
  if (a.size() != b.size()) return false;
  auto same = [](const std::optional<double>& x, const std::optional<double>& y) {
    if (x.has_value() != y.has_value()) return false;
    return !x || std::memcmp(&*x, &*y, sizeof(double)) == 0;
  };
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].rowId != b[i].rowId || !same(a[i].value, b[i].value) || !same(a[i].value2nd, b[i].value2nd) ||
        a[i].time != b[i].time)
      return false;
  return true;
}

// A private cluster, a working folder with its DB folder, and a link to the server.
class LabServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const QString why = PostgresCluster::Unavailable(); !why.isEmpty())
      GTEST_SKIP() << "needs a PostgreSQL cluster: " << why.toStdString();
    EnsureEventLoop();
    cluster = std::make_unique<PostgresCluster>(StartCluster());
    ASSERT_TRUE(cluster->Ready()) << cluster->Error().toStdString();
    QDir(work.Path()).mkdir("DB");
    folder = work.Path() + "/DB";
  }
  virtual bool StartCluster() const { return true; }

  LabServerSettings Settings(const QString& extra = {}, const QString& user = "merilog") const {
    return {cluster->ConnInfo(user, extra), "bench-a"};
  }
  static LabForwardPolicy Fast() {
    LabForwardPolicy p;
    p.minPassMs = 0;
    p.firstBackoffMs = 20;
    p.maxBackoffMs = 200;
    p.limits = {5000, 20000};
    return p;
  }
  QString Path(int n, RecordFileKind kind = RecordFileKind::Record) const { return RecordFilePath(kind, folder, n); }

  // Sends a record now, on this thread.
  LabRecordState Forward(int n, LabForwardPolicy policy = Fast()) {
    LabLink link(Settings(), std::make_shared<PgInterrupt>(), policy);
    EXPECT_TRUE(link.Open()) << link.Problem().toStdString();
    LabRecordState s = SurveyRecord(folder, Path(n), "bench-a");
    EXPECT_TRUE(link.Forward(s)) << link.Problem().toStdString();
    EXPECT_EQ(s.problem, "");
    return s;
  }
  std::vector<LabReading> ServerRows(const QString& recordId, const QString& bench = "bench-a") {
    LabLink link(Settings(), std::make_shared<PgInterrupt>(), Fast());
    std::vector<LabReading> all;
    EXPECT_TRUE(link.Open()) << link.Problem().toStdString();
    EXPECT_TRUE(link.ReadReadings(bench, recordId, [&](std::vector<LabReading>& rows) {
      all.insert(all.end(), rows.begin(), rows.end());
      return true;
    })) << link.Problem().toStdString();
    return all;
  }
  QString Sql(const QString& sql) {
    bool ok = false;
    const QString out = cluster->Sql(sql, &ok);
    EXPECT_TRUE(ok) << cluster->LastSqlError().toStdString();
    return out;
  }

  std::unique_ptr<PostgresCluster> cluster;
  TempFolder work;
  QString folder;
};

}  // namespace merilog::test
