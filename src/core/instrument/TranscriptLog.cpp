#include "core/instrument/TranscriptLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

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
  // Appended to, a line per write: whoever debugs a meter sees what happened before a hang.
  log->fd_ = ::open(QFile::encodeName(QString::fromStdString(path)).constData(),
                    O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY, 0644);
  if (log->fd_ < 0) {
    if (error) *error = "cannot write the transcript " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  return log;
}

TranscriptLog::TranscriptLog(std::string path, std::shared_ptr<const Clock> clock)
    : path_(std::move(path)), clock_(std::move(clock)) {}

TranscriptLog::~TranscriptLog() {
  if (fd_ >= 0) ::close(fd_);
}

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
  std::function<void(const std::string&)> tell;
  std::string failure;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    int err = 0;
    for (std::size_t done = 0; done < line.size() && err == 0;) {
      const ssize_t n = ::write(fd_, line.data() + done, line.size() - done);
      if (n > 0)
        done += static_cast<std::size_t>(n);
      else if (n < 0 && errno != EINTR)
        err = errno;
      else if (n == 0)
        err = EIO;
    }
    if (err != 0 && error_.empty()) {
      error_ = failure = "cannot write the transcript " + path_ + ": " + std::strerror(err);
      tell = std::move(onFailure_);
    }
  }
  if (tell) tell(failure);  // outside the lock: the handler may ask Failed()
}

bool TranscriptLog::Failed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return !error_.empty();
}

std::string TranscriptLog::Error() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return error_;
}

void TranscriptLog::OnFailure(std::function<void(const std::string& error)> handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  onFailure_ = std::move(handler);
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
