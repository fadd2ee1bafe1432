#pragma once
#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

typedef struct pg_conn PGconn;

namespace merilog {

// Wakes a PgConnection's waits from another thread, for good: a forwarder that
// is asked to stop leaves whatever it waits for at once.
class PgInterrupt {
 public:
  PgInterrupt();
  ~PgInterrupt();
  PgInterrupt(const PgInterrupt&) = delete;
  PgInterrupt& operator=(const PgInterrupt&) = delete;
  // From any thread.
  void Raise();
  bool Raised() const { return raised_.load(); }
  int Fd() const { return fd_; }

 private:
  int fd_ = -1;
  std::atomic<bool> raised_{false};
};

// Why an operation on the server failed.
enum class PgFailure {
  None,
  BadSetting,   // the connection string cannot be read
  Unreachable,  // no server answered (down, starting, no route, too slow)
  Refused,      // a server answered and refused us (password, role, database, rights)
  Lost,         // the connection broke or went silent during an operation
  Statement,    // the server refused a statement (its SQLSTATE says why)
  Interrupted,  // PgInterrupt raised
};

// Rows of a statement's result as texts (the server's text format); a NULL is
// an empty optional.
struct PgRows {
  std::vector<std::vector<std::optional<QByteArray>>> rows;
  QByteArray Text(size_t row, size_t column) const;
};

// One connection to a PostgreSQL server through libpq, used from one thread.
// Every wait is bounded and watches the interrupt: the connection is made
// without blocking (PQconnectStartParams), statements and COPY run in
// non-blocking mode, and nothing waits past the idle limit without a byte
// moving. Host-name lookup is the only step libpq does not let us bound.
class PgConnection {
 public:
  struct Limits {
    int connectMs = 10000;  // from start to a usable connection
    int idleMs = 60000;     // waiting for the server while a statement runs
  };

  PgConnection(std::shared_ptr<PgInterrupt> interrupt, Limits limits);
  ~PgConnection();
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  bool Connect(const QString& conninfo);
  bool Connected() const { return conn_ != nullptr; }
  void Close();

  // One statement with text parameters ($1, $2, ...; an empty optional is NULL).
  std::optional<PgRows> Exec(const char* sql, const std::vector<std::optional<QByteArray>>& params = {});
  // Runs "COPY ... FROM STDIN" and sends `data` as its contents.
  bool CopyIn(const char* copySql, const QByteArray& data);
  // Runs "COPY ... TO STDOUT" and hands the data to `sink` piece by piece; a
  // sink that returns false ends it with a failure.
  bool CopyOut(const QByteArray& copySql, const std::function<bool(const char*, int)>& sink);
  // A literal quoted for a statement text.
  QByteArray Literal(const QByteArray& text);

  PgFailure Failure() const { return failure_; }
  // What went wrong, as libpq or the server says it; the password never appears.
  const QString& Error() const { return error_; }
  // The server's SQLSTATE of the last refused statement ("23505"), empty otherwise.
  const QByteArray& SqlState() const { return sqlState_; }

 private:
  enum class Wait { Ready, TimedOut, Interrupted, Error };
  Wait WaitFor(int fd, short events, int ms);
  bool Flush();
  bool Fail(PgFailure failure, const QString& error);
  bool FailFromConnection(PgFailure otherwise);
  // Collects the results of the statement sent; the last one is returned.
  struct Outcome;
  bool Collect(Outcome* out);
  bool ReadMore();

  std::shared_ptr<PgInterrupt> interrupt_;
  Limits limits_;
  PGconn* conn_ = nullptr;
  PgFailure failure_ = PgFailure::None;
  QString error_;
  QByteArray sqlState_;
};

}  // namespace merilog
