#include "core/instrument/TranscriptLog.h"

#include <cstdio>

namespace merilog {

std::string EscapeBytes(std::string_view bytes) {
  std::string s;
  s.reserve(bytes.size() + 2);
  s += '"';
  for (unsigned char c : bytes) {
    switch (c) {
      case '\n':
        s += "\\n";
        break;
      case '\r':
        s += "\\r";
        break;
      case '\t':
        s += "\\t";
        break;
      case '"':
        s += "\\\"";
        break;
      case '\\':
        s += "\\\\";
        break;
      default:
        if (c >= 0x20 && c < 0x7F) {
          s += static_cast<char>(c);
        } else {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02X", c);
          s += buf;
        }
    }
  }
  s += '"';
  return s;
}

std::shared_ptr<TranscriptLog> TranscriptLog::Open(const std::string& path, std::string* error,
                                                   std::shared_ptr<const Clock> clock) {
  std::shared_ptr<TranscriptLog> log(
      new TranscriptLog(path, clock ? std::move(clock) : std::make_shared<SystemClock>()));
  if (!log->file_.open(QIODevice::WriteOnly | QIODevice::Append)) {
    if (error) *error = "cannot write the transcript " + path + ": " + log->file_.errorString().toStdString();
    return nullptr;
  }
  return log;
}

TranscriptLog::TranscriptLog(std::string path, std::shared_ptr<const Clock> clock)
    : path_(std::move(path)), clock_(std::move(clock)), file_(QString::fromStdString(path_)) {}

void TranscriptLog::Line(const std::string& resource, std::string_view text) {
  const QByteArray stamp = clock_->Now().toString("yyyy-MM-dd HH:mm:ss.zzz").toUtf8();
  std::string line;
  line.reserve(static_cast<std::size_t>(stamp.size()) + resource.size() + text.size() + 3);
  line.append(stamp.constData(), static_cast<std::size_t>(stamp.size()));
  line += ' ';
  line += resource;
  line += ' ';
  line += text;
  line += '\n';
  std::lock_guard<std::mutex> lock(mutex_);
  file_.write(line.data(), static_cast<qint64>(line.size()));
  file_.flush();
}

void TranscriptLog::Sent(const std::string& resource, std::string_view bytes, Status st) {
  std::string text = "-> " + EscapeBytes(bytes);
  if (!IsSuccess(st)) text += " " + DescribeStatus(st) + " (" + std::to_string(st) + ")";
  Line(resource, text);
}

void TranscriptLog::Received(const std::string& resource, const ReadResult& r) {
  std::string text = "<- ";
  if (!IsSuccess(r.status)) {
    text += DescribeStatus(r.status) + " (" + std::to_string(r.status) + ")";
    if (!r.bytes.empty()) text += " " + EscapeBytes(r.bytes);
  } else {
    text += EscapeBytes(r.bytes);
    if (!r.end) text += " (more)";
  }
  Line(resource, text);
}

void TranscriptLog::Note(const std::string& resource, std::string_view what, Status st) {
  std::string text(what);
  if (!IsSuccess(st)) text += ": " + DescribeStatus(st) + " (" + std::to_string(st) + ")";
  Line(resource, text);
}

}  // namespace merilog
