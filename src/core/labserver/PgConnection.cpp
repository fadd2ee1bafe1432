#include "core/labserver/PgConnection.h"

#include <libpq-fe.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <cerrno>
#include <cstdint>

namespace merilog {

PgInterrupt::PgInterrupt() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

PgInterrupt::~PgInterrupt() {
  if (fd_ >= 0) ::close(fd_);
}

void PgInterrupt::Raise() {
  raised_ = true;
  const std::uint64_t one = 1;
  if (fd_ >= 0) (void)!::write(fd_, &one, sizeof one);
}

QByteArray PgRows::Text(size_t row, size_t column) const {
  if (row >= rows.size() || column >= rows[row].size() || !rows[row][column]) return {};
  return *rows[row][column];
}

namespace {

QString Trimmed(const char* text) {
  return QString::fromUtf8(text ? text : "").trimmed();
}

// Startup refusals that pass on their own: the server is starting, stopping or
// full. Their texts are the server's own, in English unless it was set up in
// another language.
bool Transient(const QString& error) {
  for (const char* word : {"starting up", "shutting down", "in recovery", "too many clients", "not yet accepting",
                           "terminating connection"})
    if (error.contains(QLatin1String(word), Qt::CaseInsensitive)) return true;
  return false;
}

}  // namespace

struct PgConnection::Outcome {
  ExecStatusType status = PGRES_EMPTY_QUERY;
  PgRows rows;
  QString error;
  QByteArray sqlState;
  bool failed = false;
};

PgConnection::PgConnection(std::shared_ptr<PgInterrupt> interrupt, Limits limits)
    : interrupt_(std::move(interrupt)), limits_(limits) {}

PgConnection::~PgConnection() {
  Close();
}

void PgConnection::Close() {
  if (conn_) PQfinish(conn_);
  conn_ = nullptr;
}

bool PgConnection::Fail(PgFailure failure, const QString& error) {
  failure_ = failure;
  error_ = error;
  // A connection that failed mid-statement is in no known state.
  if (failure != PgFailure::Statement) Close();
  return false;
}

bool PgConnection::FailFromConnection(PgFailure otherwise) {
  if (interrupt_->Raised()) return Fail(PgFailure::Interrupted, QStringLiteral("stopped"));
  const QString why = conn_ ? Trimmed(PQerrorMessage(conn_)) : QString();
  if (conn_ && PQstatus(conn_) == CONNECTION_BAD) return Fail(PgFailure::Lost, why);
  return Fail(otherwise, why);
}

PgConnection::Wait PgConnection::WaitFor(int fd, short events, int ms) {
  if (interrupt_->Raised()) return Wait::Interrupted;
  pollfd fds[2] = {{fd, events, 0}, {interrupt_->Fd(), POLLIN, 0}};
  QElapsedTimer clock;
  clock.start();
  for (;;) {
    const int left = ms - static_cast<int>(clock.elapsed());
    if (left <= 0) return Wait::TimedOut;
    const int n = ::poll(fds, 2, left);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Wait::Error;
    if (n == 0) return Wait::TimedOut;
    if (fds[1].revents || interrupt_->Raised()) return Wait::Interrupted;
    return Wait::Ready;
  }
}

bool PgConnection::Connect(const QString& conninfo) {
  Close();
  failure_ = PgFailure::None;
  error_.clear();
  sqlState_.clear();
  const QByteArray info = conninfo.toUtf8();
  // A string libpq cannot read is the setting's fault; anything failing later is the server's or the way's.
  char* parseError = nullptr;
  if (PQconninfoOption* parsed = PQconninfoParse(info.constData(), &parseError)) {
    PQconninfoFree(parsed);
  } else {
    const QString why = Trimmed(parseError);
    if (parseError) PQfreemem(parseError);
    return Fail(PgFailure::BadSetting, why.isEmpty() ? QStringLiteral("it cannot be read") : why);
  }
  // Ours come first, so that the user's connection string overrides them.
  const char* keys[] = {"fallback_application_name", "keepalives_idle", "keepalives_interval", "dbname", nullptr};
  const char* values[] = {"merilog", "30", "10", info.constData(), nullptr};
  conn_ = PQconnectStartParams(keys, values, 1);
  if (!conn_) return Fail(PgFailure::Unreachable, QStringLiteral("out of memory"));
  // A local socket fails at once, before any polling.
  if (PQstatus(conn_) == CONNECTION_BAD) return Fail(PgFailure::Unreachable, Trimmed(PQerrorMessage(conn_)));
  QElapsedTimer clock;
  clock.start();
  bool answered = false;  // a server took part: what fails now is its refusal
  PostgresPollingStatusType poll = PGRES_POLLING_WRITING;
  for (;;) {
    if (poll == PGRES_POLLING_OK) break;
    if (poll == PGRES_POLLING_FAILED) {
      const QString why = Trimmed(PQerrorMessage(conn_));
      const bool password = PQconnectionNeedsPassword(conn_) || PQconnectionUsedPassword(conn_);
      if (interrupt_->Raised()) return Fail(PgFailure::Interrupted, QStringLiteral("stopped"));
      if (password || (answered && !Transient(why))) return Fail(PgFailure::Refused, why);
      return Fail(PgFailure::Unreachable, why);
    }
    const int left = limits_.connectMs - static_cast<int>(clock.elapsed());
    const Wait w = WaitFor(PQsocket(conn_), poll == PGRES_POLLING_READING ? POLLIN : POLLOUT, left);
    if (w == Wait::Interrupted) return Fail(PgFailure::Interrupted, QStringLiteral("stopped"));
    if (w != Wait::Ready)
      return Fail(PgFailure::Unreachable,
                  QStringLiteral("no answer within %1 seconds").arg(limits_.connectMs / 1000.0, 0, 'g', 3));
    poll = PQconnectPoll(conn_);
    const ConnStatusType st = PQstatus(conn_);
    if (st == CONNECTION_AWAITING_RESPONSE || st == CONNECTION_AUTH_OK || st == CONNECTION_SETENV) answered = true;
  }
  if (PQsetnonblocking(conn_, 1) != 0) return FailFromConnection(PgFailure::Lost);
  // The server's notices (a shutdown warning) are not ours to print; failures come back as errors.
  PQsetNoticeProcessor(
      conn_, [](void*, const char*) {}, nullptr);
  return true;
}

bool PgConnection::Flush() {
  for (;;) {
    const int r = PQflush(conn_);
    if (r == 0) return true;
    if (r < 0) return FailFromConnection(PgFailure::Lost);
    const Wait w = WaitFor(PQsocket(conn_), POLLOUT | POLLIN, limits_.idleMs);
    if (w == Wait::Interrupted) return Fail(PgFailure::Interrupted, QStringLiteral("stopped"));
    if (w != Wait::Ready) return Fail(PgFailure::Lost, QStringLiteral("the server stopped answering"));
    // The server may be sending while we send; take it in so that it never blocks on us.
    if (PQconsumeInput(conn_) == 0) return FailFromConnection(PgFailure::Lost);
  }
}

bool PgConnection::ReadMore() {
  const Wait w = WaitFor(PQsocket(conn_), POLLIN, limits_.idleMs);
  if (w == Wait::Interrupted) return Fail(PgFailure::Interrupted, QStringLiteral("stopped"));
  if (w != Wait::Ready) return Fail(PgFailure::Lost, QStringLiteral("the server stopped answering"));
  if (PQconsumeInput(conn_) == 0) return FailFromConnection(PgFailure::Lost);
  return true;
}

bool PgConnection::Collect(Outcome* out) {
  for (;;) {
    while (PQisBusy(conn_))
      if (!ReadMore()) return false;
    PGresult* r = PQgetResult(conn_);
    if (!r) break;
    const ExecStatusType st = PQresultStatus(r);
    if (st == PGRES_COPY_IN || st == PGRES_COPY_OUT) {
      out->status = st;
      PQclear(r);
      return true;  // the caller goes on with the copy
    }
    if (st == PGRES_FATAL_ERROR || st == PGRES_BAD_RESPONSE || st == PGRES_NONFATAL_ERROR) {
      if (!out->failed) {
        out->failed = true;
        out->error = Trimmed(PQresultErrorMessage(r));
        out->sqlState = PQresultErrorField(r, PG_DIAG_SQLSTATE);
      }
    } else {
      out->status = st;
      if (st == PGRES_TUPLES_OK) {
        out->rows.rows.clear();
        const int n = PQntuples(r), m = PQnfields(r);
        out->rows.rows.resize(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
          auto& row = out->rows.rows[static_cast<size_t>(i)];
          row.resize(static_cast<size_t>(m));
          for (int j = 0; j < m; ++j)
            if (!PQgetisnull(r, i, j))
              row[static_cast<size_t>(j)] = QByteArray(PQgetvalue(r, i, j), PQgetlength(r, i, j));
        }
      }
    }
    PQclear(r);
  }
  if (PQstatus(conn_) == CONNECTION_BAD) return FailFromConnection(PgFailure::Lost);
  if (out->failed) {
    sqlState_ = out->sqlState;
    return Fail(PgFailure::Statement, out->error);
  }
  return true;
}

std::optional<PgRows> PgConnection::Exec(const char* sql, const std::vector<std::optional<QByteArray>>& params) {
  if (!conn_) {
    Fail(PgFailure::Lost, QStringLiteral("not connected"));
    return std::nullopt;
  }
  sqlState_.clear();
  std::vector<const char*> values;
  values.reserve(params.size());
  for (const auto& p : params) values.push_back(p ? p->constData() : nullptr);
  // Without parameters the simple protocol runs it, which takes several statements at once (migrations).
  const int sent = params.empty() ? PQsendQuery(conn_, sql)
                                  : PQsendQueryParams(conn_, sql, static_cast<int>(params.size()), nullptr,
                                                      values.data(), nullptr, nullptr, 0);
  if (!sent) {
    FailFromConnection(PgFailure::Lost);
    return std::nullopt;
  }
  Outcome out;
  if (!Flush() || !Collect(&out)) return std::nullopt;
  return std::move(out.rows);
}

bool PgConnection::CopyIn(const char* copySql, const QByteArray& data) {
  if (!conn_) return Fail(PgFailure::Lost, QStringLiteral("not connected"));
  sqlState_.clear();
  if (!PQsendQuery(conn_, copySql)) return FailFromConnection(PgFailure::Lost);
  Outcome start;
  if (!Flush() || !Collect(&start)) return false;
  if (start.status != PGRES_COPY_IN)
    return Fail(PgFailure::Statement, QStringLiteral("the server did not start the copy"));
  constexpr qsizetype kPiece = 256 * 1024;
  for (qsizetype at = 0; at < data.size();) {
    const int n = static_cast<int>(std::min(kPiece, data.size() - at));
    const int r = PQputCopyData(conn_, data.constData() + at, n);
    if (r < 0) return FailFromConnection(PgFailure::Lost);
    if (r == 0) {
      if (!Flush()) return false;
      continue;
    }
    at += n;
  }
  for (;;) {
    const int r = PQputCopyEnd(conn_, nullptr);
    if (r < 0) return FailFromConnection(PgFailure::Lost);
    if (r == 1) break;
    if (!Flush()) return false;
  }
  Outcome end;
  return Flush() && Collect(&end);
}

bool PgConnection::CopyOut(const QByteArray& copySql, const std::function<bool(const char*, int)>& sink) {
  if (!conn_) return Fail(PgFailure::Lost, QStringLiteral("not connected"));
  sqlState_.clear();
  if (!PQsendQuery(conn_, copySql.constData())) return FailFromConnection(PgFailure::Lost);
  Outcome start;
  if (!Flush() || !Collect(&start)) return false;
  if (start.status != PGRES_COPY_OUT)
    return Fail(PgFailure::Statement, QStringLiteral("the server did not start the copy"));
  bool sinkRefused = false;
  for (;;) {
    char* buffer = nullptr;
    const int n = PQgetCopyData(conn_, &buffer, 1);
    if (n > 0) {
      if (!sinkRefused && !sink(buffer, n)) sinkRefused = true;
      PQfreemem(buffer);
      continue;
    }
    if (n == 0) {
      if (!ReadMore()) return false;
      continue;
    }
    if (n == -2) return FailFromConnection(PgFailure::Lost);
    break;  // -1: the copy is over
  }
  Outcome end;
  if (!Collect(&end)) return false;
  if (sinkRefused) return Fail(PgFailure::Statement, QStringLiteral("the server sent rows this program cannot read"));
  return true;
}

QByteArray PgConnection::Literal(const QByteArray& text) {
  if (!conn_) return {};
  char* quoted = PQescapeLiteral(conn_, text.constData(), static_cast<size_t>(text.size()));
  if (!quoted) return {};
  QByteArray out(quoted);
  PQfreemem(quoted);
  return out;
}

}  // namespace merilog
