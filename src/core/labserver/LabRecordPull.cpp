#include "core/labserver/LabRecordPull.h"

#include <SQLiteCpp/SQLiteCpp.h>

#include <QDateTime>
#include <QFile>
#include <cerrno>
#include <cstring>

#include "core/labserver/LabServerTexts.h"
#include "core/labserver/RecordForwardFile.h"
#include "core/records/RecordDatabase.h"
#include "core/records/RecordFolder.h"
#include "core/records/RecordFormat.h"
#include "core/records/RecordTexts.h"

namespace merilog {

namespace {

RecordStatus Fill(const QString& path, LabLink& link, const LabServerRecord& record, long long* readings) {
  try {
    SQLite::Database db(QFile::encodeName(path).toStdString(), SQLite::OPEN_READWRITE, RecordDatabase::kBusyTimeoutMs);
    SQLite::Transaction txn(db);
    SQLite::Statement insert(db, "INSERT INTO read (rowid, read_value, read_value_2ND, read_time) VALUES (?, ?, ?, ?)");
    long long lastRowId = 0;
    QString insertError;
    const bool read = link.ReadReadings(record.bench, record.recordId, [&](std::vector<LabReading>& rows) {
      try {
        for (const LabReading& r : rows) {
          insert.bind(1, static_cast<int64_t>(r.rowId));
          if (r.value)
            insert.bind(2, *r.value);
          else
            insert.bind(2);
          if (r.value2nd)
            insert.bind(3, *r.value2nd);
          else
            insert.bind(3);
          if (r.time)
            insert.bind(4, r.time->constData(), static_cast<int>(r.time->size()));
          else
            insert.bind(4);
          insert.exec();
          insert.reset();
          lastRowId = std::max(lastRowId, r.rowId);
          ++*readings;
        }
        return true;
      } catch (const SQLite::Exception& e) {
        insertError = ExplainRecordFailure(path, e.getExtendedErrorCode(), 0, QString::fromUtf8(e.what()));
        return false;
      }
    });
    if (!insertError.isEmpty()) return RecordStatus::Failure(insertError);
    if (!read) return RecordStatus::Failure(link.Problem());
    const QDateTime date = ParseRecordDate(record.date);
    if (date.isValid()) {
      SQLite::Statement d(db, "INSERT INTO read_date (r_date) VALUES (?)");
      d.bind(1, StoredRecordDate(date).toStdString());
      d.exec();
    }
    if (!record.function1.isEmpty() || !record.function2.isEmpty()) {
      SQLite::Statement f(db, "INSERT INTO read_function (r_function1, r_function2) VALUES (?, ?)");
      f.bind(1, record.function1.toStdString());
      f.bind(2, record.function2.toStdString());
      f.exec();
    }
    lab_forward::Create(db, ForwardIdentity{record.recordId, record.bench, lastRowId});
    txn.commit();
    return {};
  } catch (const SQLite::Exception& e) {
    return RecordStatus::Failure(ExplainRecordFailure(path, e.getExtendedErrorCode(), 0, QString::fromUtf8(e.what())));
  }
}

}  // namespace

RecordResult<LabPullResult> PullRecord(LabLink& link, const QString& bench, const QString& recordId,
                                       const QString& folder, int number) {
  LabPullResult result;
  result.path = RecordFilePath(RecordFileKind::Record, folder, number);
  if (RecordFileExists(RecordFileKind::Record, folder, number) ||
      RecordFileExists(RecordFileKind::DBfile, folder, number))
    return RecordStatus::Failure(record_texts::RecordHasReadings());
  auto found = link.Find(bench, recordId);
  if (!found) {
    if (link.Failure() != PgFailure::None) return RecordStatus::Failure(link.Problem());
    return RecordStatus::Failure(
        QStringLiteral("The lab server holds no record %1 of bench \"%2\".").arg(recordId, bench));
  }
  result.record = *found;

  const QString building = result.path + QStringLiteral(".pulling");
  RemoveRecordFile(building);  // left by a pull that was cut short
  if (RecordStatus made = CreateRecordFile(building, true); !made) return made;
  RecordStatus filled = Fill(building, link, result.record, &result.readings);
  if (filled) {
    const int err = PutRecordFileInPlace(building, result.path);
    if (err == EEXIST)
      filled = RecordStatus::Failure(record_texts::RecordHasReadings());
    else if (err != 0)
      filled =
          RecordStatus::Failure(record_texts::CannotCreate(result.path, QString::fromLocal8Bit(std::strerror(err))));
  }
  if (!filled) {
    RemoveRecordFile(building);
    return filled;
  }
  return result;
}

}  // namespace merilog
