#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "RecordTestSupport.h"
#include "core/records/RecordAppender.h"

namespace merilog {
namespace {

// Appends value = row number until killed, reporting the committed total on
// the pipe after each commit. Slow mode appends one row per millisecond, so
// commits come from the time rule; fast mode is a burst, committed by count.
[[noreturn]] void AppendUntilKilled(const QString& path, int reportFd, bool slow) {
  auto a = RecordAppender::Open(path);
  if (!a) _exit(3);
  const long long base = test::RowCount(path);
  long long reported = -1;
  for (long long i = base;; ++i) {
    if (!a.value()->Append(static_cast<double>(i), i % 2 ? kNoSecondValue : -static_cast<double>(i),
                           QTime::fromMSecsSinceStartOfDay(static_cast<int>(i % 86400000))))
      _exit(4);
    const long long committed = base + a.value()->CommittedRows();
    if (committed != reported) {
      reported = committed;
      if (write(reportFd, &committed, sizeof committed) != sizeof committed) _exit(5);
    }
    if (slow) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

class RecordDurabilityTest : public test::RecordFolderFixture {};

// A process killed in the middle of appending leaves a record that opens,
// passes the integrity check and holds every row committed before the kill,
// whole and in order; ten kills in a row on the same record.
TEST_F(RecordDurabilityTest, KilledWriterLosesNoCommittedRow) {
  test::MakeRecord(RecordPath(1), true, test::At(2024, 3, 5, 14, 3, 27), "DCV", "NONE");
  std::mt19937 rng(12345);
  long long previousRows = 0;
  for (int round = 0; round < 10; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const bool slow = round % 2 == 1;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::fflush(nullptr);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(fds[0]);
      AppendUntilKilled(RecordPath(1), fds[1], slow);
    }
    close(fds[1]);

    // Wait for a few commits, then kill at a random moment of the stream.
    const long long threshold = previousRows + (slow ? 200 : 20000 + rng() % 30000);
    long long committed = previousRows, value = 0;
    while (committed < threshold) {
      const ssize_t n = read(fds[0], &value, sizeof value);
      ASSERT_EQ(n, static_cast<ssize_t>(sizeof value)) << "the writer stopped early";
      committed = value;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(rng() % (slow ? 150000 : 20000)));
    ASSERT_EQ(kill(pid, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit code " << WEXITSTATUS(status);
    while (read(fds[0], &value, sizeof value) == static_cast<ssize_t>(sizeof value)) committed = value;
    close(fds[0]);

    auto raw = test::RawOpen(RecordPath(1), SQLite::OPEN_READONLY);
    EXPECT_EQ(raw.execAndGet("PRAGMA integrity_check").getString(), "ok");
    const long long rows = raw.execAndGet("SELECT count(*) FROM read").getInt64();
    EXPECT_GE(rows, committed);
    // Rows are whole and in order: row k holds value k.
    SQLite::Statement q(raw, "SELECT read_value, read_time FROM read WHERE rowid > ? ORDER BY rowid");
    q.bind(1, static_cast<int64_t>(previousRows > 100 ? previousRows - 100 : 0));
    long long k = previousRows > 100 ? previousRows - 100 : 0;
    bool inOrder = true;
    while (q.executeStep()) {
      inOrder =
          inOrder && q.getColumn(0).getDouble() == static_cast<double>(k) && q.getColumn(1).getString().size() == 12;
      ++k;
    }
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(k, rows);
    previousRows = rows;
  }
}

}  // namespace
}  // namespace merilog
