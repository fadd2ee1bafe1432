#pragma once
#include <QString>
#include <memory>

#include "core/records/RecordResult.h"

namespace merilog {

// This process's use of one record file, held for as long as a connection to
// it is open. A writer's claim also holds an exclusive flock(2) on the file, so
// a second writer (another program, or another meter of this run) is refused,
// and the kernel drops the lock when the writing process dies.
//
// The lock needs a descriptor of its own, and closing any descriptor of a file
// drops every POSIX lock the process holds on it, the engine's own included. So
// the descriptor is shared by all claims on the file and closed only when the
// last claim ends: every connection the records layer opens holds a claim.
class RecordFileClaim {
 public:
  enum class Use { Read, Write };

  // For Write, fails with a text naming the file when it is being written.
  static RecordResult<std::unique_ptr<RecordFileClaim>> Take(const QString& path, Use use);
  // Release only after the connection to the file has been closed.
  ~RecordFileClaim();
  RecordFileClaim(const RecordFileClaim&) = delete;
  RecordFileClaim& operator=(const RecordFileClaim&) = delete;

 private:
  RecordFileClaim(unsigned long long device, unsigned long long inode, Use use)
      : device_(device), inode_(inode), use_(use) {}

  unsigned long long device_, inode_;  // the file as it was when claimed
  Use use_;
};

}  // namespace merilog
