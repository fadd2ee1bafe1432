#include "core/labserver/LabLink.h"

#include <QFileInfo>

#include "core/labserver/LabCopyFormat.h"
#include "core/labserver/LabRecordState.h"
#include "core/labserver/LabServerSchema.h"
#include "core/labserver/LabServerTexts.h"

namespace merilog {

namespace {

constexpr char kClaimRecord[] =
    "INSERT INTO merilog.record AS r (bench, record_id, record_number, file_kind, r_date, r_function1, r_function2) "
    "VALUES ($1, $2, $3, $4, $5, $6, $7) "
    "ON CONFLICT (bench, record_id) DO UPDATE SET record_number = EXCLUDED.record_number, "
    "file_kind = EXCLUDED.file_kind, r_date = EXCLUDED.r_date, r_function1 = EXCLUDED.r_function1, "
    "r_function2 = EXCLUDED.r_function2, last_forwarded = now() "
    "RETURNING r.last_row_id, r.row_count";
constexpr char kCopyReadings[] =
    "COPY merilog.reading (bench, record_id, row_id, read_value, read_value_2nd, read_time) FROM STDIN (FORMAT binary)";
constexpr char kRecordDone[] =
    "UPDATE merilog.record SET row_count = row_count + $3, last_row_id = $4, last_forwarded = now() "
    "WHERE bench = $1 AND record_id = $2";
constexpr char kListColumns[] =
    "SELECT bench, record_id, coalesce(record_number, 0), coalesce(file_kind, ''), "
    "coalesce(to_char(r_date, 'YYYY-MM-DD HH24:MI:SS'), ''), coalesce(r_function1, ''), coalesce(r_function2, ''), "
    "row_count FROM merilog.record ";

// Each adjustment to the server's view of a record re-reads the file; more
// than this in one forward means the server keeps changing under us.
constexpr int kMaxAdjustments = 4;

std::optional<QByteArray> Utf8OrNull(const QString& text) {
  if (text.isEmpty()) return std::nullopt;
  return text.toUtf8();
}

LabServerRecord RecordFrom(const PgRows& rows, size_t i) {
  LabServerRecord r;
  r.bench = QString::fromUtf8(rows.Text(i, 0));
  r.recordId = QString::fromUtf8(rows.Text(i, 1));
  r.number = rows.Text(i, 2).toInt();
  r.fileKind = QString::fromUtf8(rows.Text(i, 3));
  r.date = QString::fromUtf8(rows.Text(i, 4));
  r.function1 = QString::fromUtf8(rows.Text(i, 5));
  r.function2 = QString::fromUtf8(rows.Text(i, 6));
  r.rowCount = rows.Text(i, 7).toLongLong();
  return r;
}

// A note that cannot be written costs only a question to the server next time.
void NoteSent(const QString& path, const QString& recordId, long long rowid) {
  if (auto file = RecordForwardFile::Open(path)) file.value()->SetSent(recordId, rowid);
}

}  // namespace

LabLink::LabLink(LabServerSettings settings, std::shared_ptr<PgInterrupt> interrupt, LabForwardPolicy policy)
    : settings_(std::move(settings)),
      serverName_(DescribeServer(settings_.connection)),
      policy_(std::move(policy)),
      connection_(std::move(interrupt), policy_.limits) {}

bool LabLink::LinkFailed() {
  failure_ = connection_.Failure();
  const QString server = ServerName();
  switch (failure_) {
    case PgFailure::BadSetting:
      problem_ = lab_texts::BadSetting(connection_.Error());
      break;
    case PgFailure::Refused:
      problem_ = lab_texts::Refused(server, connection_.Error());
      break;
    case PgFailure::Statement:
      problem_ = lab_texts::Failed(server, connection_.Error());
      break;
    default:
      problem_ = lab_texts::Unreachable(server, connection_.Error());
  }
  return false;
}

bool LabLink::Open() {
  schemaTooNew_ = false;
  if (!connection_.Connect(settings_.connection)) return LinkFailed();
  int version = 0;
  if (!lab_schema::Ensure(connection_, &schemaTooNew_, &version)) {
    if (schemaTooNew_) {
      failure_ = PgFailure::Refused;
      problem_ = lab_texts::SchemaNewer(ServerName(), version, lab_schema::KnownVersion());
      connection_.Close();
      return false;
    }
    LinkFailed();
    // A refused statement here (no right to make the schema) is the server refusing us.
    if (failure_ == PgFailure::Statement) failure_ = PgFailure::Refused;
    connection_.Close();
    return false;
  }
  failure_ = PgFailure::None;
  problem_.clear();
  return true;
}

bool LabLink::Rollback() {
  return connection_.Exec("ROLLBACK").has_value();
}

bool LabLink::Forward(LabRecordState& record) {
  if (!record.problem.isEmpty()) return true;
  int adjustments = 0;
  for (bool done = false, adjusted = false; !done;) {
    if (!SendBatch(record, &done, &adjusted)) return false;
    if (adjusted && ++adjustments > kMaxAdjustments) {
      record.problem = QStringLiteral("the lab server keeps changing what it holds of it");
      break;
    }
  }
  return true;
}

bool LabLink::SendBatch(LabRecordState& record, bool* done, bool* adjusted) {
  *done = true;
  *adjusted = false;
  if (!QFileInfo(record.path).isFile()) {
    record.facts.waiting = 0;  // deleted: nothing more of it will come
    return true;
  }
  auto file = RecordForwardFile::Open(record.path);
  if (!file) {
    record.problem = file.error();
    return true;
  }
  auto identity = file.value()->Identity(settings_.bench);
  if (!identity) {
    record.problem = identity.error();
    return true;
  }
  long long start = identity->sentRowid;
  // The file may have been deleted and made anew under its number: a new record.
  if (identity->recordId == record.identity.recordId) start = std::max(start, record.identity.sentRowid);
  record.identity = identity.value();
  record.identity.sentRowid = start;
  // Counting what waits would read every waiting row again for each batch.
  auto facts = file.value()->ReadFacts(start, RecordForwardFile::Count::None);
  if (!facts) {
    record.problem = facts.error();
    return true;
  }
  const long long waiting = record.facts.waiting, rows = record.facts.rows;
  record.facts = facts.value();
  record.facts.waiting = waiting;
  record.facts.rows = rows;
  const LabCopyEncoder encoder(record.identity.bench, record.identity.recordId);
  auto chunk = file.value()->ReadRows(start, policy_.batchRows, encoder, &batch_);
  if (!chunk) {
    record.problem = chunk.error();
    return true;
  }
  file.value().reset();  // never hold the file while the server is waited for
  if (chunk->rows == 0) {
    record.facts.waiting = 0;
    return true;
  }

  const auto& id = record.identity;
  const QByteArray bench = id.bench.toUtf8(), recordId = id.recordId.toUtf8();
  auto statementFailed = [&] {
    if (connection_.Failure() != PgFailure::Statement) return LinkFailed();
    const QString why = connection_.Error();
    if (!Rollback()) return LinkFailed();
    record.problem = lab_texts::Failed(ServerName(), why);
    return true;
  };
  if (!connection_.Exec("BEGIN")) return LinkFailed();
  auto claimed = connection_.Exec(
      kClaimRecord,
      {bench, recordId, QByteArray::number(record.number),
       FileKindName(record.kind).toUtf8(),
       Utf8OrNull(record.facts.date), Utf8OrNull(record.facts.function1), Utf8OrNull(record.facts.function2)});
  if (!claimed) return statementFailed();
  const long long serverLast = claimed->Text(0, 0).toLongLong();
  const long long serverRows = claimed->Text(0, 1).toLongLong();
  record.serverRows = serverRows;
  if (serverLast != start) {
    // The server knows better than the file what it holds (the note of the
    // last batch was lost, another forwarder was first, or the server was put
    // back from a copy): go on from there.
    if (!Rollback()) return LinkFailed();
    record.identity.sentRowid = serverLast;
    NoteSent(record.path, id.recordId, serverLast);
    *done = false;
    *adjusted = true;
    return true;
  }
  if (!connection_.CopyIn(kCopyReadings, batch_)) return statementFailed();
  if (policy_.beforeCommit) policy_.beforeCommit();
  if (!connection_.Exec(kRecordDone,
                        {bench, recordId, QByteArray::number(chunk->rows), QByteArray::number(chunk->lastRowid)}))
    return statementFailed();
  if (!connection_.Exec("COMMIT")) return LinkFailed();
  record.identity.sentRowid = chunk->lastRowid;
  record.serverRows = serverRows + chunk->rows;
  *done = chunk->rows < policy_.batchRows;
  record.facts.waiting = *done ? 0 : std::max(0LL, record.facts.waiting - chunk->rows);
  NoteSent(record.path, id.recordId, chunk->lastRowid);
  return true;
}

bool LabLink::AskServer(LabRecordState& record) {
  if (record.identity.recordId.isEmpty()) return true;
  const auto found = Find(record.identity.bench, record.identity.recordId);
  if (!found && failure_ != PgFailure::None) return false;
  record.serverRows = found ? found->rowCount : 0;
  return true;
}

std::optional<std::vector<LabServerRecord>> LabLink::List(const QString& bench) {
  std::optional<PgRows> rows;
  if (bench.isEmpty())
    rows = connection_.Exec((QByteArray(kListColumns) + "ORDER BY bench, first_forwarded, record_id").constData());
  else
    rows = connection_.Exec(
        (QByteArray(kListColumns) + "WHERE bench = $1 ORDER BY bench, first_forwarded, record_id").constData(),
        {bench.toUtf8()});
  if (!rows) {
    LinkFailed();
    return std::nullopt;
  }
  std::vector<LabServerRecord> out;
  for (size_t i = 0; i < rows->rows.size(); ++i) out.push_back(RecordFrom(*rows, i));
  return out;
}

std::optional<LabServerRecord> LabLink::Find(const QString& bench, const QString& recordId) {
  auto rows = connection_.Exec((QByteArray(kListColumns) + "WHERE bench = $1 AND record_id = $2").constData(),
                               {bench.toUtf8(), recordId.toUtf8()});
  if (!rows) {
    LinkFailed();
    return std::nullopt;
  }
  if (rows->rows.empty()) {
    failure_ = PgFailure::None;
    problem_.clear();
    return std::nullopt;
  }
  return RecordFrom(*rows, 0);
}

bool LabLink::ReadReadings(const QString& bench, const QString& recordId,
                           const std::function<bool(std::vector<LabReading>&)>& take) {
  constexpr size_t kHandOver = 4096;
  const QByteArray sql =
      "COPY (SELECT row_id, read_value, read_value_2nd, read_time FROM merilog.reading WHERE bench = " +
      connection_.Literal(bench.toUtf8()) + " AND record_id = " + connection_.Literal(recordId.toUtf8()) +
      " ORDER BY row_id) TO STDOUT (FORMAT binary)";
  LabCopyDecoder decoder;
  std::vector<LabReading> rows;
  bool taken = true;
  const bool copied = connection_.CopyOut(sql, [&](const char* data, int size) {
    if (!decoder.Feed(data, size, &rows)) return false;
    if (rows.size() >= kHandOver) {
      taken = take(rows);
      rows.clear();
    }
    return taken;
  });
  if (!copied) {
    if (!decoder.Error().isEmpty()) {
      failure_ = PgFailure::Statement;
      problem_ = lab_texts::Failed(ServerName(), decoder.Error());
      return false;
    }
    if (!taken) return false;
    return LinkFailed();
  }
  if (!decoder.Finished()) {
    failure_ = PgFailure::Statement;
    problem_ = lab_texts::Failed(ServerName(), QStringLiteral("the copy ended early"));
    return false;
  }
  return rows.empty() || take(rows);
}

}  // namespace merilog
