#include "core/records/RecordDatabase.h"

#include <SQLiteCpp/SQLiteCpp.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/records/RecordFileClaim.h"
#include "core/records/RecordFolder.h"
#include "core/records/RecordFormat.h"
#include "core/records/RecordSchema.h"
#include "core/records/RecordSummaryStore.h"
#include "core/records/RecordTexts.h"

namespace merilog {

namespace {

// Files of the older engine start with this signature at byte 4.
bool HasOlderEngineHeader(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return false;
  const QByteArray head = f.read(24);
  return head.size() >= 19 && (head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB");
}

bool FolderWritable(const QString& path) {
  const QFileInfo folder(QFileInfo(path).absolutePath());
  return folder.isDir() && folder.isWritable();
}

bool IsDiskFullErrno(int e) {
  return e == ENOSPC || e == EFBIG
#ifdef EDQUOT
         || e == EDQUOT
#endif
      ;
}

struct Column {
  const char* table;
  const char* column;
};
constexpr Column kRequiredColumns[] = {
    {"read", "read_value"},  {"read", "read_value_2ND"},       {"read", "read_time"},
    {"read_date", "r_date"}, {"read_function", "r_function1"}, {"read_function", "r_function2"},
};

// Temporary tables and sort files of the engine stay in memory.
void ApplyConnectionSettings(SQLite::Database& db) {
  db.exec("PRAGMA temp_store=MEMORY");
}

void ApplyWriterSettings(SQLite::Database& db) {
  // The log lets readers look while readings are appended. When another
  // program reads just now the switch waits for it, and if it must give up the
  // rollback journal stays: as safe, only slower.
  db.tryExec("PRAGMA journal_mode=WAL");
  // FULL makes each commit reach the disk: the last 100 ms of readings are all a
  // power cut can take, and a killed process takes none that were committed.
  db.exec("PRAGMA synchronous=FULL");
  // Appending touches only the newest pages. The engine's default cache (2 MB
  // a connection) would make a slow run's memory grow for its first hour and
  // hold 8 MB for four meters; 256 KiB keeps it flat within minutes.
  db.exec("PRAGMA cache_size=-256");
}

// How long a closing writer waits for a reader before it leaves the log mode on.
constexpr int kJournalSwitchWaitMs = 250;

// Back to the rollback journal, which also folds the log into the file and
// removes its side files. Needs the file to itself; when a reader still looks,
// the log stays, and the next writer tidies up.
void LeaveLogMode(SQLite::Database& db) {
  sqlite3_busy_timeout(db.getHandle(), kJournalSwitchWaitMs);
  db.tryExec("PRAGMA journal_mode=DELETE");
}

std::unique_ptr<SQLite::Database> OpenImmutable(const QString& path) {
  const QByteArray uri = "file:" + QUrl::fromLocalFile(path).path(QUrl::FullyEncoded).toUtf8() + "?immutable=1";
  return std::make_unique<SQLite::Database>(uri.toStdString(),
                                            SQLite::OPEN_READONLY | SQLite::OPEN_URI | SQLITE_OPEN_NOMUTEX,
                                            RecordDatabase::kBusyTimeoutMs);
}

}  // namespace

QString ExplainRecordFailure(const QString& path, int code, int systemErrno, const QString& detail) {
  using namespace record_texts;
  switch (code & 0xff) {
    case SQLITE_NOTADB:
      return HasOlderEngineHeader(path) ? OlderFormat(path) : NotADatabase(path);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return InUse(path);
    case SQLITE_READONLY:
      if (!FolderWritable(path) && QFileInfo::exists(path))
        return OtherError(path, QStringLiteral("its folder is read-only"));
      return ReadOnlyFile(path);
    case SQLITE_FULL:
      return DiskFull(path);
    case SQLITE_CORRUPT:
      return Damaged(path, detail);
    case SQLITE_CANTOPEN:
      if (!QFileInfo::exists(path)) return NotFound(path);
      if (!QFileInfo(path).isReadable()) return OtherError(path, QStringLiteral("it cannot be opened"));
      if (!FolderWritable(path)) return OtherError(path, QStringLiteral("its folder is read-only"));
      return OtherError(path, detail);
    case SQLITE_IOERR:
      if (IsDiskFullErrno(systemErrno)) return DiskFull(path);
      // The engine seldom keeps the system's reason; a refused write is most
      // often a full disk or a size limit, and the user can check either.
      switch (code) {
        case SQLITE_IOERR_WRITE:
        case SQLITE_IOERR_FSYNC:
        case SQLITE_IOERR_TRUNCATE:
        case SQLITE_IOERR_SHMSIZE:
          return WriteRefused(path);
        default:
          return OtherError(path, systemErrno ? QString::fromLocal8Bit(std::strerror(systemErrno)) : detail);
      }
    default:
      if (IsDiskFullErrno(systemErrno)) return DiskFull(path);
      return OtherError(path, detail);
  }
}

RecordDatabase::RecordDatabase(QString path, Access access, std::unique_ptr<RecordFileClaim> claim,
                               std::unique_ptr<SQLite::Database> db)
    : path_(std::move(path)), access_(access), claim_(std::move(claim)), db_(std::move(db)) {}

RecordDatabase::~RecordDatabase() {
  if (db_ && wroteSettings_) LeaveLogMode(*db_);
  db_.reset();
  claim_.reset();
}

QString RecordDatabase::Explain(const SQLite::Exception& e) {
  const int sysErr = failedErrno_ ? failedErrno_ : sqlite3_system_errno(db_->getHandle());
  failedErrno_ = 0;
  return ExplainRecordFailure(path_, e.getExtendedErrorCode(), sysErr, QString::fromUtf8(e.what()));
}

RecordDatabase::WriteTransaction::WriteTransaction(RecordDatabase& db) : db_(db) {
  db_.failedErrno_ = 0;
  db_.Sql().exec("BEGIN IMMEDIATE");
  open_ = true;
}

RecordDatabase::WriteTransaction::~WriteTransaction() {
  if (!open_) return;
  db_.failedErrno_ = sqlite3_system_errno(db_.Sql().getHandle());
  // After a failed COMMIT the engine may have rolled back already; that is fine.
  db_.Sql().tryExec("ROLLBACK");
}

void RecordDatabase::WriteTransaction::Commit() {
  db_.Sql().exec("COMMIT");
  open_ = false;
}

RecordResult<std::unique_ptr<RecordDatabase>> RecordDatabase::Open(const QString& path, Access access) {
  const QFileInfo info(path);
  if (!info.exists()) return RecordStatus::Failure(record_texts::NotFound(path));
  if (!info.isFile()) return RecordStatus::Failure(record_texts::NotAFile(path, info.isDir()));
  if (HasOlderEngineHeader(path)) return RecordStatus::Failure(record_texts::OlderFormat(path));
  auto claim =
      RecordFileClaim::Take(path, access == Access::Write ? RecordFileClaim::Use::Write : RecordFileClaim::Use::Read);
  if (!claim) return claim.status();
  std::unique_ptr<SQLite::Database> db;
  try {
    const int flags = (access == Access::Read ? SQLite::OPEN_READONLY : SQLite::OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    db = std::make_unique<SQLite::Database>(QFile::encodeName(path).toStdString(), flags, kBusyTimeoutMs);
  } catch (const SQLite::Exception& e) {
    return RecordStatus::Failure(ExplainRecordFailure(path, e.getExtendedErrorCode(), 0, QString::fromUtf8(e.what())));
  }
  std::unique_ptr<RecordDatabase> record(new RecordDatabase(path, access, std::move(claim.value()), std::move(db)));
  try {
    ApplyConnectionSettings(record->Sql());
    RecordStatus tables;
    try {
      tables = record->CheckTables();
    } catch (const SQLite::Exception& e) {
      // A log-mode file in a folder where its shared-memory file cannot be
      // made: with no log left to replay, the file alone is the whole record,
      // and it is read as it stands.
      const int code = e.getErrorCode() & 0xff;
      if (access != Access::Read || (code != SQLITE_CANTOPEN && code != SQLITE_READONLY) || FolderWritable(path) ||
          QFileInfo::exists(path + QStringLiteral("-wal")))
        throw;
      record->db_.reset();
      record->db_ = OpenImmutable(path);
      ApplyConnectionSettings(record->Sql());
      tables = record->CheckTables();
    }
    if (!tables) return tables;
    if (access != Access::Read) {
      // The engine opens a write-protected file for reading without a word; say so now
      // rather than at the first reading.
      if (sqlite3_db_readonly(record->Sql().getHandle(), "main") == 1)
        return RecordStatus::Failure(ExplainRecordFailure(path, SQLITE_READONLY, 0, {}));
      // Our writers keep the summary in the same transaction as the rows: the triggers that tell
      // other programs' changes are not for them.
      record_schema::DisableTriggers(record->Sql());
    }
    if (access == Access::Write) {
      record->wroteSettings_ = true;
      ApplyWriterSettings(record->Sql());
    }
  } catch (const SQLite::Exception& e) {
    return RecordStatus::Failure(record->Explain(e));
  }
  return record;
}

RecordStatus RecordDatabase::CheckTables() {
  // Reading the schema is also what tells a non-database file apart.
  SQLite::Statement tables(*db_, "SELECT name FROM sqlite_master WHERE type='table'");
  QStringList present;
  while (tables.executeStep()) present << QString::fromUtf8(tables.getColumn(0).getText());
  QStringList missing;
  for (const char* table : {"read", "read_date", "read_function"})
    if (!present.contains(QLatin1String(table))) missing << QStringLiteral("the table %1 is missing").arg(table);
  if (!missing.isEmpty()) return RecordStatus::Failure(record_texts::MissingTables(path_, missing.join(", ")));

  for (const Column& c : kRequiredColumns) {
    SQLite::Statement info(*db_, std::string("PRAGMA table_info(") + c.table + ")");
    bool found = false;
    while (info.executeStep())
      if (std::strcmp(info.getColumn(1).getText(), c.column) == 0) found = true;
    if (!found) missing << QStringLiteral("the column %1 of table %2 is missing").arg(c.column, c.table);
  }
  if (!missing.isEmpty()) return RecordStatus::Failure(record_texts::MissingTables(path_, missing.join(", ")));
  return {};
}

RecordResult<RecordDatabase::StoredDate> RecordDatabase::ReadDate() {
  try {
    SQLite::Statement q(*db_, "SELECT r_date FROM read_date LIMIT 1");
    StoredDate d;
    if (q.executeStep()) {
      d.present = true;
      d.text = QString::fromUtf8(q.getColumn(0).getText());
      d.value = ParseRecordDate(d.text);
    }
    return d;
  } catch (const SQLite::Exception& e) {
    return RecordStatus::Failure(Explain(e));
  }
}

RecordStatus RecordDatabase::WriteDate(const QDateTime& when) {
  const QString text = StoredRecordDate(when);
  return WriteSingleRow("read_date", "r_date", text, nullptr, true);
}

RecordResult<RecordDatabase::StoredFunctions> RecordDatabase::ReadFunctions() {
  try {
    SQLite::Statement q(*db_, "SELECT r_function1, r_function2 FROM read_function LIMIT 1");
    StoredFunctions f;
    if (q.executeStep()) {
      f.present = true;
      f.function1 = QString::fromUtf8(q.getColumn(0).getText());
      f.function2 = QString::fromUtf8(q.getColumn(1).getText());
    }
    return f;
  } catch (const SQLite::Exception& e) {
    return RecordStatus::Failure(Explain(e));
  }
}

RecordStatus RecordDatabase::WriteFunctions(const QString& function1, const QString& function2) {
  return WriteSingleRow("read_function", "r_function1, r_function2", function1, &function2, true);
}

RecordStatus RecordDatabase::WriteFunctionsIfEmpty(const QString& function1, const QString& function2) {
  return WriteSingleRow("read_function", "r_function1, r_function2", function1, &function2, false);
}

RecordStatus RecordDatabase::WriteSingleRow(const char* table, const char* columns, const QString& a, const QString* b,
                                            bool editExisting) {
  const std::string t(table), cols(columns);
  const std::string values = b ? "?, ?" : "?";
  try {
    WriteTransaction txn(*this);
    SQLite::Statement count(*db_, "SELECT rowid FROM " + t + " LIMIT 1");
    if (count.executeStep()) {
      if (!editExisting) return {};
      const qint64 rowid = count.getColumn(0).getInt64();
      SQLite::Statement edit(*db_, "UPDATE " + t + " SET (" + cols + ") = (" + values + ") WHERE rowid = ?");
      edit.bind(1, a.toStdString());
      if (b) edit.bind(2, b->toStdString());
      edit.bind(b ? 3 : 2, static_cast<int64_t>(rowid));
      edit.exec();
    } else {
      SQLite::Statement add(*db_, "INSERT INTO " + t + " (" + cols + ") VALUES (" + values + ")");
      add.bind(1, a.toStdString());
      if (b) add.bind(2, b->toStdString());
      add.exec();
    }
    count.reset();
    txn.Commit();
    return {};
  } catch (const SQLite::Exception& e) {
    return RecordStatus::Failure(Explain(e));
  }
}

namespace {

// Why a file could not be made in the record folder, from the system's error.
QString CreateFailureReason(int err) {
  switch (err) {
    case EACCES:
    case EPERM:
    case EROFS:
      return QStringLiteral("its folder is read-only");
    case ENOENT:
    case ENOTDIR:
      return QStringLiteral("its folder does not exist");
    default:
      if (IsDiskFullErrno(err)) return QStringLiteral("the disk is full");
      return QString::fromLocal8Bit(std::strerror(err));
  }
}

// Makes "<file>.creating" as a new file of our own, flock-ed so that a second
// creator keeps off it. One left by a crash is removed first; a link under that
// name is removed, never followed. -1 with a reason when it cannot be had.
int StartBuilding(const QString& building, QString* why) {
  const QByteArray name = QFile::encodeName(building);
  for (int attempt = 0; attempt < 4; ++attempt) {
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0) {
      if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        // A journal left without its file would be replayed into the new one.
        for (const char* side : {"-journal", "-wal", "-shm"}) ::unlink((name + side).constData());
        return fd;
      }
      ::close(fd);
      break;
    }
    if (errno != EEXIST) {
      *why = CreateFailureReason(errno);
      return -1;
    }
    struct stat named {};
    if (::lstat(name.constData(), &named) != 0) continue;  // gone meanwhile
    if (S_ISLNK(named.st_mode)) {
      ::unlink(name.constData());
      continue;
    }
    if (!S_ISREG(named.st_mode)) {
      *why = QStringLiteral("\"%1\" is in the way").arg(building);
      return -1;
    }
    const int old = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (old < 0) continue;
    struct stat opened {};
    const bool stale = ::flock(old, LOCK_EX | LOCK_NB) == 0 && ::fstat(old, &opened) == 0 &&
                       ::lstat(name.constData(), &named) == 0 && opened.st_ino == named.st_ino &&
                       opened.st_dev == named.st_dev;
    // Removed while locked, so no other creator can be working in it.
    if (stale) RemoveRecordFile(building);
    ::close(old);
    if (!stale) break;
  }
  *why = QStringLiteral("another program is creating it");
  return -1;
}

}  // namespace

RecordStatus CreateRecordFile(const QString& path, bool withSecondFuncColumn) {
  using namespace record_texts;
  const auto fail = [&path](const QString& why) { return RecordStatus::Failure(CannotCreate(path, why)); };
  struct stat existing {};
  if (::lstat(QFile::encodeName(path).constData(), &existing) == 0) return fail(QStringLiteral("it exists already"));
  if (!QFileInfo(QFileInfo(path).absolutePath()).isDir()) return fail(QStringLiteral("its folder does not exist"));

  const QString building = path + QStringLiteral(".creating");
  QString why;
  const int lock = StartBuilding(building, &why);
  if (lock < 0) return fail(why);

  RecordStatus result;
  std::unique_ptr<SQLite::Database> db;
  try {
    // The engine opens the file made above; it may not follow a link put in its place.
    db = std::make_unique<SQLite::Database>(QFile::encodeName(building).toStdString(),
                                            SQLite::OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW,
                                            RecordDatabase::kBusyTimeoutMs);
    ApplyConnectionSettings(*db);
    db->exec("PRAGMA synchronous=FULL");
    SQLite::Transaction txn(*db);
    // Column types in the words of the original tables: Double, Text(n), Date/Time.
    db->exec(std::string("CREATE TABLE read (read_value DOUBLE, read_value_2ND DOUBLE, read_time TEXT(100), "
                         "read_func TEXT(20)") +
             (withSecondFuncColumn ? ", read_func2 TEXT(20))" : ")"));
    db->exec("CREATE TABLE read_date (r_date DATETIME)");
    db->exec("CREATE TABLE read_function (r_function1 TEXT(20), r_function2 TEXT(20))");
    // Born with its summary, so that it never needs a pass over its rows.
    record_schema::DisableTriggers(*db);
    record_schema::Install(*db);
    RecordSummary empty;
    empty.changeCount = record_schema::ChangeCount(*db).value_or(0);
    record_summary::StoreRow(*db, empty);
    txn.commit();
  } catch (const SQLite::Exception& e) {
    const int code = e.getExtendedErrorCode();
    const int sysErr = db ? sqlite3_system_errno(db->getHandle()) : 0;
    if ((code & 0xff) == SQLITE_FULL || IsDiskFullErrno(sysErr))
      result = fail(QStringLiteral("the disk is full"));
    else if ((code & 0xff) == SQLITE_CANTOPEN || (code & 0xff) == SQLITE_READONLY)
      result = fail(CreateFailureReason(sysErr ? sysErr : EACCES));
    else
      result = fail(QString::fromUtf8(e.what()));
  }
  db.reset();
  if (result) {
    // A "-wal" left by an earlier file of this name would be replayed into the
    // new one. No other creator can be putting a file in place while we hold
    // the building lock.
    RemoveRecordFile(path);  // the file is absent: this takes its stale side files
    if (const int err = PutRecordFileInPlace(building, path); err != 0)
      result = fail(err == EEXIST ? QStringLiteral("it exists already") : CreateFailureReason(err));
  }
  if (!result) RemoveRecordFile(building);
  ::close(lock);
  return result;
}

}  // namespace merilog
