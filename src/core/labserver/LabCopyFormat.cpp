#include "core/labserver/LabCopyFormat.h"

#include <QUuid>
#include <QtEndian>
#include <bit>
#include <cstring>

namespace merilog {

namespace {

constexpr char kSignature[] = "PGCOPY\n\377\r\n";  // 11 bytes with its NUL
constexpr int kSignatureBytes = 11;
constexpr int kHeaderBytes = kSignatureBytes + 8;  // flags and extension length

void Put16(QByteArray* out, qint16 v) {
  const qint16 be = qToBigEndian(v);
  out->append(reinterpret_cast<const char*>(&be), 2);
}
void Put32(QByteArray* out, qint32 v) {
  const qint32 be = qToBigEndian(v);
  out->append(reinterpret_cast<const char*>(&be), 4);
}
void Put64(QByteArray* out, qint64 v) {
  const qint64 be = qToBigEndian(v);
  out->append(reinterpret_cast<const char*>(&be), 8);
}
void PutDouble(QByteArray* out, const std::optional<double>& v) {
  if (!v) return Put32(out, -1);
  Put32(out, 8);
  Put64(out, std::bit_cast<qint64>(*v));
}

qint32 Get32(const char* p) {
  return qFromBigEndian<qint32>(p);
}
qint64 Get64(const char* p) {
  return qFromBigEndian<qint64>(p);
}

}  // namespace

bool IsServerText(const char* text, int bytes) {
  for (int i = 0; i < bytes; ++i)
    if (static_cast<unsigned char>(text[i]) >= 0x80 || text[i] == 0) return false;
  return true;
}

QByteArray ServerText(const char* text, int bytes) {
  if (IsServerText(text, bytes)) return QByteArray(text, bytes);
  QByteArray out = QString::fromUtf8(text, bytes).toUtf8();
  out.replace('\0', QByteArray());
  return out;
}

LabCopyEncoder::LabCopyEncoder(const QString& bench, const QString& recordId) {
  const QUuid id = QUuid::fromString(recordId);
  if (id.isNull()) return;
  const QByteArray name = bench.toUtf8();
  Put16(&prefix_, 6);
  Put32(&prefix_, static_cast<qint32>(name.size()));
  prefix_ += name;
  Put32(&prefix_, 16);
  prefix_ += id.toRfc4122();
}

void LabCopyEncoder::Begin(QByteArray* out) const {
  out->clear();
  out->append(kSignature, kSignatureBytes);
  Put32(out, 0);
  Put32(out, 0);
}

void LabCopyEncoder::Add(QByteArray* out, long long rowId, const std::optional<double>& value,
                         const std::optional<double>& value2nd, const char* time, int timeBytes) const {
  out->append(prefix_);
  Put32(out, 8);
  Put64(out, rowId);
  PutDouble(out, value);
  PutDouble(out, value2nd);
  if (!time) {
    Put32(out, -1);
  } else {
    Put32(out, timeBytes);
    out->append(time, timeBytes);
  }
}

void LabCopyEncoder::End(QByteArray* out) const {
  Put16(out, -1);
}

bool LabCopyDecoder::Fail(const QString& why) {
  error_ = why;
  return false;
}

bool LabCopyDecoder::Feed(const char* data, int size, std::vector<LabReading>* out) {
  if (!error_.isEmpty()) return false;
  pending_.append(data, size);
  qsizetype at = 0;
  const char* p = pending_.constData();
  const qsizetype n = pending_.size();
  if (!headerRead_) {
    if (n < kHeaderBytes) return true;
    if (std::memcmp(p, kSignature, kSignatureBytes) != 0) return Fail(QStringLiteral("not a binary copy"));
    const qint32 extension = Get32(p + kSignatureBytes + 4);
    if (extension != 0) return Fail(QStringLiteral("an unknown copy header"));
    at = kHeaderBytes;
    headerRead_ = true;
  }
  while (at + 2 <= n) {
    const qint16 fields = qFromBigEndian<qint16>(p + at);
    if (fields == -1) {
      finished_ = true;
      at += 2;
      break;
    }
    if (finished_) return Fail(QStringLiteral("rows after the end of the copy"));
    if (fields != 4) return Fail(QStringLiteral("%1 columns where 4 were asked for").arg(fields));
    // Walk the four fields without consuming, so that a row cut in two waits for its rest.
    qsizetype q = at + 2;
    qint32 lengths[4];
    qsizetype starts[4];
    bool complete = true;
    for (int f = 0; f < 4; ++f) {
      if (q + 4 > n) {
        complete = false;
        break;
      }
      lengths[f] = Get32(p + q);
      q += 4;
      starts[f] = q;
      if (lengths[f] < -1) return Fail(QStringLiteral("a negative field length"));
      if (lengths[f] > 0) {
        if (lengths[f] > n - q) {
          complete = false;
          break;
        }
        q += lengths[f];
      }
    }
    if (!complete) break;
    LabReading r;
    if (lengths[0] != 8) return Fail(QStringLiteral("a row without its row id"));
    r.rowId = Get64(p + starts[0]);
    for (int f = 1; f <= 2; ++f) {
      if (lengths[f] == -1) continue;
      if (lengths[f] != 8) return Fail(QStringLiteral("a reading that is not a double"));
      (f == 1 ? r.value : r.value2nd) = std::bit_cast<double>(Get64(p + starts[f]));
    }
    if (lengths[3] >= 0) r.time = QByteArray(p + starts[3], lengths[3]);
    out->push_back(std::move(r));
    at = q;
  }
  pending_.remove(0, at);
  if (finished_ && !pending_.isEmpty()) return Fail(QStringLiteral("bytes after the end of the copy"));
  return true;
}

}  // namespace merilog
