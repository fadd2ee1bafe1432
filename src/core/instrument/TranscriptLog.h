#pragma once
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "core/base/Clock.h"
#include "core/instrument/Session.h"

namespace merilog {

// A text file of every exchange with instruments, one line each:
//   2026-12-05 20:15:59.123 USB0::0x3A7D::0x6081::SN01::INSTR -> "*IDN?\n"
//   2026-12-05 20:15:59.125 USB0::0x3A7D::0x6081::SN01::INSTR <- "MERISIM,MODEL 6081,SN01,1.02\n"
//   2026-12-05 20:16:19.125 USB0::0x3A7D::0x6081::SN01::INSTR <- time-out (-1073807339)
// Bytes are quoted with C escapes, so line feeds and binary junk stay visible.
// Each line is flushed at once: whoever debugs a meter sees what happened before a hang.
class TranscriptLog {
 public:
  // Appends to the file (created if missing). Null with a message when it cannot be opened.
  static std::shared_ptr<TranscriptLog> Open(const std::string& path, std::string* error,
                                             std::shared_ptr<const Clock> clock = nullptr);
  ~TranscriptLog();
  TranscriptLog(const TranscriptLog&) = delete;
  TranscriptLog& operator=(const TranscriptLog&) = delete;

  void Sent(const std::string& resource, std::string_view bytes, Status st);
  void Received(const std::string& resource, const ReadResult& r);
  // Anything else worth a line: "open", "close", "clear", "time-out 20000 ms".
  void Note(const std::string& resource, std::string_view what, Status st = status::kSuccess);

  const std::string& Path() const { return path_; }

  // Whether a line could not be written (a full disk, /dev/full, a lost
  // mount), and the text that says so, naming the file. Writing goes on: a
  // later line may get through, but the transcript has a gap.
  bool Failed() const;
  std::string Error() const;
  // Called once, on the first failed write, from the thread that wrote; the
  // window hands it over to its own thread to tell the user.
  void OnFailure(std::function<void(const std::string& error)> handler);

 private:
  TranscriptLog(std::string path, std::shared_ptr<const Clock> clock);
  void Line(const std::string& resource, std::string_view text);

  std::string path_;
  std::shared_ptr<const Clock> clock_;
  int fd_ = -1;
  mutable std::mutex mutex_;  // one log may serve sessions of several threads (the simulated meter server)
  std::string error_;         // the first failure; empty while every line went in
  std::function<void(const std::string&)> onFailure_;
};

// "*IDN?\n" -> "\"*IDN?\\n\"": printable ASCII as is, the rest as C escapes.
std::string EscapeBytes(std::string_view bytes);

}  // namespace merilog
