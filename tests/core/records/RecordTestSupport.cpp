#include "RecordTestSupport.h"

#include <grp.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDirIterator>
#include <cerrno>

#include "core/records/RecordIndex.h"

namespace merilog::test {

namespace {
constexpr uid_t kNobody = 65534;
}

void HandOverToNobody(const QString& path) {
  if (geteuid() != 0) return;
  ASSERT_EQ(chown(QFile::encodeName(path).constData(), kNobody, kNobody), 0);
  QDirIterator it(path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) ASSERT_EQ(chown(QFile::encodeName(it.next()).constData(), kNobody, kNobody), 0);
}

std::string KeptTables(const QString& path) {
  auto db = RawOpen(path, SQLite::OPEN_READONLY);
  std::string text;
  for (const char* sql : {"SELECT * FROM read_summary", "SELECT * FROM read_pyramid ORDER BY level, block"}) {
    SQLite::Statement q(db, sql);
    while (q.executeStep()) {
      for (int c = 0; c < q.getColumnCount(); ++c) {
        if (std::string(q.getColumnName(c)) == "change_count") continue;
        const SQLite::Column v = q.getColumn(c);
        // Every bit of a double, which its text form would round.
        text += v.getType() == SQLITE_FLOAT ? QString::asprintf("%a", v.getDouble()).toStdString() : v.getString();
        text += ",";
      }
      text += "\n";
    }
  }
  return text;
}

std::string FreshTables(const QString& path, const QString& scratch) {
  QFile::remove(scratch);
  if (!QFile::copy(path, scratch)) return "cannot copy";
  RawOpen(scratch).exec("DELETE FROM read_summary");
  if (!KeepRecordSummary(scratch)) return "not kept";
  return KeptTables(scratch);
}

ChildResult RunInChild(const std::function<int(std::string& out)>& fn, bool unprivileged) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return {};
  if (pid == 0) {
    close(fds[0]);
    int code = 0;
    std::string out;
    if (unprivileged && geteuid() == 0) {
      if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) {
        out = "cannot drop privileges";
        code = 99;
      }
    }
    if (code == 0) code = fn(out);
    // A blocking pipe write takes the whole of the few lines a child reports.
    if (write(fds[1], out.data(), out.size()) != static_cast<ssize_t>(out.size())) code = 98;
    _exit(code);
  }
  close(fds[1]);
  ChildResult r;
  char buf[4096];
  for (;;) {
    const ssize_t n = read(fds[0], buf, sizeof buf);
    if (n > 0)
      r.output.append(buf, static_cast<size_t>(n));
    else if (n == 0 || errno != EINTR)
      break;
  }
  close(fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

}  // namespace merilog::test
