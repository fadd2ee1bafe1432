#pragma once
// Writes that fail as on a full disk, for the tests of what is reported then.
#include <signal.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QStringList>
#include <optional>

#include "support/TestSupport.h"

namespace merilog::test {

// In this process, no file may grow past `bytes` while the object lives: a
// write beyond fails with EFBIG (SIGXFSZ is ignored meanwhile).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    old_handler_ = ::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &old_);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    ::signal(SIGXFSZ, old_handler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit old_{};
  sighandler_t old_handler_{};
};

struct FullDiskRun {
  int exitCode = -1;
  QString out, err;
  QStringList left;  // the names in the full folder afterwards
  QString how;       // "tmpfs" or "file-size limit"
};

// Runs a program with `folder` full: a small tmpfs mounted on it in a mount
// namespace of the program's own (which needs root) and filled to the last
// byte; where that cannot be set up, with no file of the program allowed to
// grow at all. Nothing when neither works (the caller skips).
inline std::optional<FullDiskRun> RunOnFullDisk(const QString& program, const QStringList& args, const QString& folder,
                                                const QString& workingDir) {
  FullDiskRun run;
  const QString listing = QDir(workingDir).filePath(QStringLiteral("full-disk-listing.txt"));
  const QString script = QStringLiteral(
      "mount -t tmpfs -o size=64k tmpfs \"$1\" || exit 97\n"
      "cat /dev/zero > \"$1/filler\" 2>/dev/null\n"
      "dir=$1; list=$2; shift 2\n"
      "\"$@\"; rc=$?\n"
      "ls -A \"$dir\" | grep -vx filler > \"$list\"\n"
      "exit $rc\n");
  run.exitCode = RunProgram(
      QStringLiteral("unshare"),
      QStringList{"-m", "--propagation", "private", "sh", "-c", script, "sh", folder, listing, program} + args,
      &run.out, &run.err, 60000, workingDir);
  if (run.exitCode >= 0 && run.exitCode != 97) {
    QFile list(listing);
    if (list.open(QIODevice::ReadOnly))
      run.left = QString::fromUtf8(list.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QFile::remove(listing);
    run.how = QStringLiteral("tmpfs");
    return run;
  }
  // No mount namespace here: a file-size limit of nothing, for this program only.
  run.exitCode =
      RunProgram(QStringLiteral("sh"),
                 QStringList{"-c", "trap '' XFSZ; ulimit -f 0 || exit 97; exec \"$@\"", "sh", program} + args, &run.out,
                 &run.err, 60000, workingDir);
  if (run.exitCode < 0 || run.exitCode == 97) return std::nullopt;
  run.left = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
  run.how = QStringLiteral("file-size limit");
  return run;
}

}  // namespace merilog::test
