#include "core/labserver/RecordForwardFile.h"

#include <SQLiteCpp/SQLiteCpp.h>
#include <sqlite3.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include "core/labserver/LabCopyFormat.h"
#include "core/records/RecordDatabase.h"
#include "core/records/RecordFileClaim.h"
#include "core/records/RecordFormat.h"
#include "core/records/RecordTexts.h"

namespace merilog {

namespace {

QString Explain(const QString& path, SQLite::Database* db, const SQLite::Exception& e) {
  const int sysErr = db ? sqlite3_system_errno(db->getHandle()) : 0;
  return ExplainRecordFailure(path, e.getExtendedErrorCode(), sysErr, QString::fromUtf8(e.what()));
}

bool HasTable(SQLite::Database& db, const char* name) {
  SQLite::Statement q(db, "SELECT 1 FROM sqlite_master WHERE type='table' AND name=?");
  q.bind(1, name);
  return q.executeStep();
}

std::optional<double> NumberOf(sqlite3_stmt* s, int column) {
  switch (sqlite3_column_type(s, column)) {
    case SQLITE_FLOAT:
      return sqlite3_column_double(s, column);
    case SQLITE_INTEGER:
      return static_cast<double>(sqlite3_column_int64(s, column));
    case SQLITE_TEXT: {
      // Another program may have stored a number as text; anything else has no number.
      bool ok = false;
      const double v =
          QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(s, column)), sqlite3_column_bytes(s, column))
              .trimmed()
              .toDouble(&ok);
      if (ok) return v;
      return std::nullopt;
    }
    default:
      return std::nullopt;
  }
}

}  // namespace

void lab_forward::Create(SQLite::Database& db, const ForwardIdentity& identity) {
  db.exec(
      "CREATE TABLE IF NOT EXISTS lab_forward (record_id TEXT NOT NULL, bench TEXT NOT NULL, "
      "sent_rowid INTEGER NOT NULL DEFAULT 0, sent_at TEXT)");
  SQLite::Statement add(db, "INSERT INTO lab_forward (record_id, bench, sent_rowid, sent_at) VALUES (?, ?, ?, ?)");
  add.bind(1, identity.recordId.toStdString());
  add.bind(2, identity.bench.toStdString());
  add.bind(3, static_cast<int64_t>(identity.sentRowid));
  if (identity.sentRowid > 0)
    add.bind(4, StoredRecordDate(QDateTime::currentDateTime()).toStdString());
  add.exec();
}

RecordForwardFile::RecordForwardFile(QString path, std::unique_ptr<RecordFileClaim> claim,
                                     std::unique_ptr<SQLite::Database> db)
    : path_(std::move(path)), claim_(std::move(claim)), db_(std::move(db)) {}

RecordForwardFile::~RecordForwardFile() {
  db_.reset();
  claim_.reset();
}

RecordResult<std::unique_ptr<RecordForwardFile>> RecordForwardFile::Open(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists()) return RecordStatus::Failure(record_texts::NotFound(path));
  if (!info.isFile()) return RecordStatus::Failure(record_texts::NotAFile(path, info.isDir()));
  auto claim = RecordFileClaim::Take(path, RecordFileClaim::Use::Read);
  if (!claim) return claim.status();
  std::unique_ptr<SQLite::Database> db;
  try {
    db = std::make_unique<SQLite::Database>(QFile::encodeName(path).toStdString(), SQLite::OPEN_READWRITE,
                                            RecordDatabase::kBusyTimeoutMs);
    db->exec("PRAGMA temp_store=MEMORY");
    // Only lab_forward is written here, and losing its last update to a power
    // cut costs nothing but a question to the server: no sync of our own.
    db->exec("PRAGMA synchronous=NORMAL");
    if (!HasTable(*db, "read"))
      return RecordStatus::Failure(record_texts::MissingTables(path, QStringLiteral("the table read is missing")));
  } catch (const SQLite::Exception& e) {
    return RecordStatus::Failure(Explain(path, db.get(), e));
  }
  return std::unique_ptr<RecordForwardFile>(new RecordForwardFile(path, std::move(claim.value()), std::move(db)));
}

RecordResult<ForwardIdentity> RecordForwardFile::Identity(const QString& benchForNew) {
  auto read = [this]() -> std::optional<ForwardIdentity> {
    if (!HasTable(*db_, "lab_forward")) return std::nullopt;
    SQLite::Statement q(*db_, "SELECT record_id, bench, sent_rowid FROM lab_forward LIMIT 1");
    if (!q.executeStep()) return std::nullopt;
    return ForwardIdentity{QString::fromUtf8(q.getColumn(0).getText()), QString::fromUtf8(q.getColumn(1).getText()),
                           q.getColumn(2).getInt64()};
  };
  try {
    std::optional<ForwardIdentity> id = read();
    if (!id) {
      SQLite::Transaction txn(*db_, SQLite::TransactionBehavior::IMMEDIATE);
      id = read();  // another forwarder may have been first
      if (!id) {
        id = ForwardIdentity{QUuid::createUuid().toString(QUuid::WithoutBraces), benchForNew, 0};
        lab_forward::Create(*db_, *id);
      }
      txn.commit();
    }
    if (QUuid::fromString(id->recordId).isNull() || id->bench.isEmpty())
      return RecordStatus::Failure(record_texts::OtherError(
          path_, QStringLiteral("its table lab_forward holds no record identity the lab server can use")));
    return *id;
  } catch (const SQLite::Exception& e) {
    return RecordStatus::Failure(Explain(path_, db_.get(), e));
  }
}

RecordResult<RecordForwardFile::Facts> RecordForwardFile::ReadFacts(long long after, Count count) {
  try {
    Facts f;
    if (HasTable(*db_, "read_date")) {
      SQLite::Statement q(*db_, "SELECT r_date FROM read_date LIMIT 1");
      if (q.executeStep()) {
        const QDateTime d = ParseRecordDate(QString::fromUtf8(q.getColumn(0).getText()));
        if (d.isValid()) f.date = StoredRecordDate(d);
      }
    }
    if (HasTable(*db_, "read_function")) {
      SQLite::Statement q(*db_, "SELECT r_function1, r_function2 FROM read_function LIMIT 1");
      if (q.executeStep()) {
        f.function1 = QString::fromUtf8(q.getColumn(0).getText());
        f.function2 = QString::fromUtf8(q.getColumn(1).getText());
      }
    }
    if (count == Count::None) return f;
    SQLite::Statement waiting(*db_, "SELECT count(*) FROM read WHERE rowid > ?");
    waiting.bind(1, static_cast<int64_t>(after));
    if (waiting.executeStep()) f.waiting = waiting.getColumn(0).getInt64();
    if (count == Count::All) {
      SQLite::Statement all(*db_, "SELECT count(*) FROM read");
      if (all.executeStep()) f.rows = all.getColumn(0).getInt64();
    }
    return f;
  } catch (const SQLite::Exception& e) {
    return RecordStatus::Failure(Explain(path_, db_.get(), e));
  }
}

RecordResult<RecordForwardFile::Chunk> RecordForwardFile::ReadRows(long long after, long long maxRows,
                                                                   const LabCopyEncoder& encoder, QByteArray* out) {
  try {
    // The engine's own interface: this loop runs for every reading forwarded.
    sqlite3_stmt* s = nullptr;
    const int prepared = sqlite3_prepare_v2(db_->getHandle(),
                                            "SELECT rowid, read_value, read_value_2ND, read_time FROM read "
                                            "WHERE rowid > ? ORDER BY rowid LIMIT ?",
                                            -1, &s, nullptr);
    if (prepared != SQLITE_OK) throw SQLite::Exception(db_->getHandle(), prepared);
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> owned(s, sqlite3_finalize);
    sqlite3_bind_int64(s, 1, after);
    sqlite3_bind_int64(s, 2, maxRows);
    Chunk c;
    int step;
    while ((step = sqlite3_step(s)) == SQLITE_ROW) {
      if (c.rows == 0) encoder.Begin(out);
      const long long rowid = sqlite3_column_int64(s, 0);
      const int timeType = sqlite3_column_type(s, 3);
      if (timeType == SQLITE_NULL || timeType == SQLITE_BLOB) {
        encoder.Add(out, rowid, NumberOf(s, 1), NumberOf(s, 2), nullptr, 0);
      } else {
        const char* text = reinterpret_cast<const char*>(sqlite3_column_text(s, 3));
        const int bytes = sqlite3_column_bytes(s, 3);
        if (IsServerText(text, bytes)) {
          encoder.Add(out, rowid, NumberOf(s, 1), NumberOf(s, 2), text, bytes);
        } else {
          const QByteArray clean = ServerText(text, bytes);
          encoder.Add(out, rowid, NumberOf(s, 1), NumberOf(s, 2), clean.constData(), static_cast<int>(clean.size()));
        }
      }
      ++c.rows;
      c.lastRowid = rowid;
    }
    if (step != SQLITE_DONE) throw SQLite::Exception(db_->getHandle(), step);
    if (c.rows > 0) encoder.End(out);
    return c;
  } catch (const SQLite::Exception& e) {
    return RecordStatus::Failure(Explain(path_, db_.get(), e));
  }
}

RecordStatus RecordForwardFile::SetSent(const QString& recordId, long long rowid) {
  try {
    SQLite::Transaction txn(*db_, SQLite::TransactionBehavior::IMMEDIATE);
    SQLite::Statement q(*db_, "UPDATE lab_forward SET sent_rowid = ?, sent_at = ? WHERE record_id = ?");
    q.bind(1, static_cast<int64_t>(rowid));
    q.bind(2, StoredRecordDate(QDateTime::currentDateTime()).toStdString());
    q.bind(3, recordId.toStdString());
    q.exec();
    txn.commit();
    return {};
  } catch (const SQLite::Exception& e) {
    return RecordStatus::Failure(Explain(path_, db_.get(), e));
  }
}

}  // namespace merilog
