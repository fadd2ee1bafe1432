#pragma once
#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace merilog {

// One reading as the server's merilog.reading holds it.
struct LabReading {
  long long rowId = 0;
  std::optional<double> value, value2nd;  // NULL when the file holds none (or no number)
  std::optional<QByteArray> time;         // read_time, UTF-8
  bool operator==(const LabReading&) const = default;
};

// PostgreSQL's binary COPY format for merilog.reading: no text is parsed on
// either side, so a double arrives bit for bit and a batch costs the server
// little more than its index.
class LabCopyEncoder {
 public:
  // Rows of one record: bench and record identity (a UUID text) lead every row.
  LabCopyEncoder(const QString& bench, const QString& recordId);
  // A new batch in `out` (cleared): the header.
  void Begin(QByteArray* out) const;
  void Add(QByteArray* out, long long rowId, const std::optional<double>& value, const std::optional<double>& value2nd,
           const char* time, int timeBytes) const;
  void End(QByteArray* out) const;

 private:
  QByteArray prefix_;  // field count, bench, record_id
};

// Reads "COPY (SELECT row_id, read_value, read_value_2nd, read_time ...) TO
// STDOUT (FORMAT binary)" as it arrives, in pieces of any size. Everything is
// checked against the bytes received: a malformed stream stops with an error.
class LabCopyDecoder {
 public:
  // False when the data is not what was asked for.
  bool Feed(const char* data, int size, std::vector<LabReading>* out);
  bool Finished() const { return finished_; }
  const QString& Error() const { return error_; }

 private:
  bool Fail(const QString& why);
  QByteArray pending_;
  bool headerRead_ = false;
  bool finished_ = false;
  QString error_;
};

// A text of the file made fit for the server's text type: valid UTF-8 without NUL.
QByteArray ServerText(const char* text, int bytes);
// Whether it is fit as it stands (plain ASCII without NUL: every time the program writes).
bool IsServerText(const char* text, int bytes);

}  // namespace merilog
