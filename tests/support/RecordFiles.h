#pragma once
#include <SQLiteCpp/SQLiteCpp.h>
#include <gtest/gtest.h>

#include <QString>
#include <QTime>
#include <string>
#include <vector>

#include "core/records/RecordAppender.h"
#include "core/records/RecordDatabase.h"
#include "core/records/RecordFormat.h"

namespace merilog::test {

struct Reading {
  double value;
  double value2nd = kNoSecondValue;
};

// A dated record file of a reading session holding these readings, 25 ms apart
// from 10:00:00.000, with its functions.
inline void WriteRecord(const QString& path, const std::vector<Reading>& readings, const QString& function1 = "DCV",
                        const QString& function2 = "NONE",
                        const QDateTime& date = QDateTime(QDate(2024, 3, 5), QTime(14, 3, 27))) {
  ASSERT_TRUE(CreateRecordFile(path, true).ok());
  {
    auto db = RecordDatabase::Open(path, RecordDatabase::Access::Write);
    ASSERT_TRUE(db.ok()) << db.error().toStdString();
    ASSERT_TRUE(db.value()->WriteDate(date).ok());
    ASSERT_TRUE(db.value()->WriteFunctions(function1, function2).ok());
  }
  AppendPolicy policy;
  policy.batchRows = 50000;
  policy.batchMs = 1000000;
  auto appender = RecordAppender::Open(path, policy);
  ASSERT_TRUE(appender.ok()) << appender.error().toStdString();
  QTime t(10, 0);
  for (const Reading& r : readings) {
    ASSERT_TRUE(appender.value()->Append(r.value, r.value2nd, t).ok());
    t = t.addMSecs(25);
  }
  ASSERT_TRUE(appender.value()->Close().ok());
}

// Every row a query gives on a record file, each column as SQLite's text.
inline std::vector<std::vector<std::string>> Query(const QString& path, const char* sql) {
  SQLite::Database db(path.toStdString());
  SQLite::Statement q(db, sql);
  std::vector<std::vector<std::string>> rows;
  while (q.executeStep()) {
    rows.emplace_back();
    for (int c = 0; c < q.getColumnCount(); ++c) rows.back().push_back(q.getColumn(c).getString());
  }
  return rows;
}

}  // namespace merilog::test
