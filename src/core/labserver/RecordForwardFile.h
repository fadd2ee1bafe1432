#pragma once
#include <QByteArray>
#include <QString>
#include <memory>

#include "core/records/RecordResult.h"

namespace SQLite {
class Database;
}

namespace merilog {

class LabCopyEncoder;
class RecordFileClaim;

// What the forwarder keeps in a record file: the table lab_forward, one row,
// made the first time the forwarder meets the file. Programs that do not know
// it never see it; the record's own tables are only read.
//
//   lab_forward
//     record_id   TEXT     the record's identity, a UUID made with the table. A
//                          record deleted and made again under its number is a
//                          new file, so it gets a new identity; the number alone
//                          never names a record on the server.
//     bench       TEXT     the bench the record's rows are keyed by on the server:
//                          this bench's name when the identity was made, the
//                          origin bench for a record pulled from the server
//     sent_rowid  INTEGER  every row of read whose rowid is at most this is on the
//                          lab server (as last confirmed by it); 0 at first
//     sent_at     TEXT     when that was last confirmed, local "YYYY-MM-DD HH:MM:SS"
struct ForwardIdentity {
  QString recordId;
  QString bench;
  long long sentRowid = 0;
};

namespace lab_forward {
// Makes the table and its row. Call inside a write transaction.
void Create(SQLite::Database& db, const ForwardIdentity& identity);
}  // namespace lab_forward

// A record file opened for the forwarder: a read claim like every reader's
// (so the process's locks on the file stay right), and a connection that reads
// the record and writes nothing but lab_forward. Open only briefly: the
// forwarder never holds a file while it waits for the server.
class RecordForwardFile {
 public:
  static RecordResult<std::unique_ptr<RecordForwardFile>> Open(const QString& path);
  ~RecordForwardFile();
  RecordForwardFile(const RecordForwardFile&) = delete;
  RecordForwardFile& operator=(const RecordForwardFile&) = delete;

  // The record's identity; made now (a new UUID under `benchForNew`) when the
  // file has none.
  RecordResult<ForwardIdentity> Identity(const QString& benchForNew);

  // read_date and read_function as the server keeps them, and the rows.
  struct Facts {
    QString date;  // r_date as "YYYY-MM-DD HH:MM:SS", empty when none or unreadable
    QString function1, function2;
    long long rows = -1;     // rows of read, when counted
    long long waiting = -1;  // rows of read after `after`, when counted
  };
  // Counting reads the rows counted: the waiting ones only, or all of them.
  enum class Count { None, Waiting, All };
  RecordResult<Facts> ReadFacts(long long after, Count count);

  // Encodes up to maxRows rows of read after `after`, in rowid order, into
  // `out` (a whole COPY batch); nothing is added when there are none.
  struct Chunk {
    long long rows = 0;
    long long lastRowid = 0;
  };
  RecordResult<Chunk> ReadRows(long long after, long long maxRows, const LabCopyEncoder& encoder, QByteArray* out);

  // Notes that the server holds every row up to `rowid`, when the file still
  // carries `recordId` (it may have been deleted and made anew meanwhile).
  RecordStatus SetSent(const QString& recordId, long long rowid);

 private:
  RecordForwardFile(QString path, std::unique_ptr<RecordFileClaim> claim, std::unique_ptr<SQLite::Database> db);
  QString path_;
  std::unique_ptr<RecordFileClaim> claim_;  // released after the connection closes
  std::unique_ptr<SQLite::Database> db_;
};

}  // namespace merilog
