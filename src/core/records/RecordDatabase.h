#pragma once
#include <QDateTime>
#include <QString>
#include <memory>

#include "core/records/RecordResult.h"

namespace SQLite {
class Database;
class Exception;
}  // namespace SQLite

namespace merilog {

class RecordFileClaim;

// One open record file: the tables read, read_date and read_function.
// Readers open, read and close. One writer at a time: it holds the file's write
// claim (RecordFileClaim), and keeps the file in write-ahead-log mode with full
// synchronisation while it is open, so a committed row survives a killed process
// and a power cut. A closing writer puts the file back into rollback-journal
// mode, so that readers, which cannot remove the log's side files, find none to
// make: whenever nobody writes, the folder holds the record files alone.
// Temporary data of the engine stays in memory, so nothing is written outside
// the record's folder. Every failure comes back as a text naming the file.
class RecordDatabase {
 public:
  enum class Access {
    Read,
    Write,
    // Writes only the tables this program keeps beside the record's own
    // (RecordSchema.h), in the engine's rollback journal: the record's rows
    // are not touched, so no writer settings are made.
    Keep,
  };

  // How long a statement waits for another program's lock before it gives up.
  static constexpr int kBusyTimeoutMs = 1000;

  // Opens an existing record file and checks that it is one (an SQLite
  // database holding the three tables with the columns the program uses).
  // Write is refused while another writer holds the file. The engine reads
  // the file through its normal I/O, never a memory map: a file that shrinks
  // under a read (another program, a copy over it) then gives an error rather
  // than a fault. A connection is used by one thread at a time, so the
  // engine's own locking of every call is left out.
  static RecordResult<std::unique_ptr<RecordDatabase>> Open(const QString& path, Access access);
  ~RecordDatabase();
  RecordDatabase(const RecordDatabase&) = delete;
  RecordDatabase& operator=(const RecordDatabase&) = delete;

  const QString& Path() const { return path_; }
  Access access() const { return access_; }
  // For the SQL texts the record dialogs run. Throws SQLite::Exception on
  // failure; pass it to Explain().
  SQLite::Database& Sql() { return *db_; }

  // The text the user sees for a failure of the engine on this file.
  QString Explain(const SQLite::Exception& e);

  // A write transaction that, when left without Commit (a statement threw),
  // notes the operating system's error before rolling back, so Explain can tell
  // a full disk from other failures.
  class WriteTransaction {
   public:
    explicit WriteTransaction(RecordDatabase& db);
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;
    void Commit();

   private:
    RecordDatabase& db_;
    bool open_ = false;
  };

  struct StoredDate {
    bool present = false;  // read_date has a row
    QDateTime value;       // invalid when the stored text is not a date
    QString text;          // as stored
  };
  RecordResult<StoredDate> ReadDate();
  // AddNew when read_date is empty, else Edit its first row.
  RecordStatus WriteDate(const QDateTime& when);

  struct StoredFunctions {
    bool present = false;  // read_function has a row
    QString function1, function2;
  };
  RecordResult<StoredFunctions> ReadFunctions();
  // AddNew when read_function is empty, else Edit its first row.
  RecordStatus WriteFunctions(const QString& function1, const QString& function2);
  // AddNew only; an existing row is left as it is (the burst's rule).
  RecordStatus WriteFunctionsIfEmpty(const QString& function1, const QString& function2);

 private:
  RecordDatabase(QString path, Access access, std::unique_ptr<RecordFileClaim> claim,
                 std::unique_ptr<SQLite::Database> db);
  RecordStatus CheckTables();
  RecordStatus WriteSingleRow(const char* table, const char* columns, const QString& a, const QString* b,
                              bool editExisting);

  QString path_;
  Access access_;
  std::unique_ptr<RecordFileClaim> claim_;  // released after the connection closes
  std::unique_ptr<SQLite::Database> db_;
  int failedErrno_ = 0;         // noted by a WriteTransaction that failed, read by Explain
  bool wroteSettings_ = false;  // a writer that switched the journal mode, to switch back
};

// Creates a new record file with the three empty tables; read_func2 only for a
// reading session's record (the burst's record has no such column). The file
// is built under the neighbouring name "<file>.creating" and renamed into place,
// so a crash never leaves a half-made record behind; a link or a stale file
// under that name is removed, never followed. Fails when the file exists.
RecordStatus CreateRecordFile(const QString& path, bool withSecondFuncColumn);

// The text for an engine failure on a file: code is SQLite's extended result
// code, systemErrno the operating system's error behind it (0 if none).
QString ExplainRecordFailure(const QString& path, int code, int systemErrno, const QString& detail);

}  // namespace merilog
