#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <random>

#include "RecordTestSupport.h"
#include "core/base/Clock.h"
#include "core/records/RecordAppender.h"
#include "core/records/RecordCsv.h"
#include "core/records/RecordFigures.h"
#include "core/records/RecordList.h"
#include "core/records/RecordSession.h"
#include "support/ScriptedPrompter.h"

namespace merilog {
namespace {

using test::At;
using test::ReadBytes;
using test::Std;
using test::WriteBytes;

bool AnyContains(const QStringList& texts, const QString& a, const QString& b) {
  for (const QString& t : texts)
    if (t.contains(a) && t.contains(b)) return true;
  return false;
}

class RecordBadFilesTest : public test::RecordFolderFixture {
 protected:
  void SetUp() override {
    test::RecordFolderFixture::SetUp();
    test::MakeRecord(RecordPath(1), true, At(2024, 1, 2, 3, 4, 5), "DCV", "NONE");
    test::MakeRecord(RecordPath(7), true, At(2024, 1, 2, 3, 4, 5), "ACV", "NONE");
  }
  RecordResult<std::unique_ptr<RecordAppender>> Prepare(int n) {
    return PrepareRecord(n, "VOLT", "NONE", prompter_, clock_);
  }
  test::ScriptedPrompter prompter_;
  FixedClock clock_{At(2024, 5, 6, 7, 8, 9)};
};

TEST_F(RecordBadFilesTest, FilesThatAreNoRecordsAreNamedAndLeftAlone) {
  std::mt19937 rng(3);
  QByteArray random(8192, '\0');
  for (char& c : random) c = static_cast<char>(rng());
  QByteArray older("\x00\x01\x00\x00Standard Jet DB\x00", 20);
  older.append(QByteArray(4000, '\x5a'));
  WriteBytes(RecordPath(2), random);
  WriteBytes(RecordPath(3), older);
  WriteBytes(RecordPath(4), QByteArray());  // an empty file is an empty database to the engine
  {
    auto partial = test::RawOpen(RecordPath(5), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    partial.exec("CREATE TABLE read (read_value DOUBLE, read_value_2ND DOUBLE, read_time TEXT(100))");
    auto noTime = test::RawOpen(DbfilePath(6), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    noTime.exec("CREATE TABLE read (read_value DOUBLE, read_value_2ND DOUBLE)");
    noTime.exec("CREATE TABLE read_date (r_date DATETIME)");
    noTime.exec("CREATE TABLE read_function (r_function1 TEXT(20), r_function2 TEXT(20))");
  }
  const QByteArray before5 = ReadBytes(RecordPath(5));
  ASSERT_TRUE(QDir().mkpath(RecordPath(8)));  // a folder under a record's name

  const RecordList list = ListRecords(RecordListKind::Viewer, folder_);
  ASSERT_EQ(list.entries.size(), 2u);
  EXPECT_EQ(list.entries[0].number, 1);
  EXPECT_EQ(list.entries[1].number, 7);
  EXPECT_EQ(list.problems.size(), 6) << Std(list.problems.join("\n"));
  EXPECT_TRUE(AnyContains(list.problems, "Record 2.mdb", "is not a record database"));
  EXPECT_TRUE(AnyContains(list.problems, "Record 3.mdb", "older database format"));
  EXPECT_TRUE(AnyContains(list.problems, "Record 4.mdb", "the table read is missing"));
  EXPECT_TRUE(AnyContains(list.problems, "Record 5.mdb", "the table read_date is missing, the table read_function"));
  EXPECT_TRUE(AnyContains(list.problems, "DBfile_DB6.mdb", "the column read_time of table read is missing"));
  EXPECT_TRUE(AnyContains(list.problems, "Record 8.mdb", "it is a folder, not a file"));

  QString continuation;
  for (int n : {2, 3, 4, 5, 8}) {
    const RecordCheck c = CheckRecord(n, prompter_, continuation);
    EXPECT_TRUE(c.error.contains(QStringLiteral("Record %1.mdb").arg(n))) << Std(c.error);
    auto p = Prepare(n);
    ASSERT_FALSE(p.ok());
    EXPECT_TRUE(p.error().contains(QStringLiteral("Record %1.mdb").arg(n))) << Std(p.error());
  }
  EXPECT_EQ(ReadBytes(RecordPath(2)), random);
  EXPECT_EQ(ReadBytes(RecordPath(3)), older);
  EXPECT_EQ(ReadBytes(RecordPath(5)), before5);
  auto good = Prepare(7);
  ASSERT_TRUE(good.ok()) << Std(good.error());
  EXPECT_TRUE(good.value()->Append(1, kNoSecondValue, QTime(1, 1, 1)).ok());
  EXPECT_TRUE(good.value()->Close().ok());
}

TEST_F(RecordBadFilesTest, LockedFileIsReportedAsInUseAndFreedLater) {
  auto other = std::make_unique<SQLite::Database>(test::RawOpen(RecordPath(1)));
  other->exec("PRAGMA locking_mode=EXCLUSIVE");
  other->exec("BEGIN EXCLUSIVE");
  other->exec("INSERT INTO read (read_value) VALUES (1)");

  auto p = Prepare(1);
  ASSERT_FALSE(p.ok());
  EXPECT_TRUE(p.error().contains("\"" + RecordPath(1) + "\" is in use by another program")) << Std(p.error());
  const RecordList list = ListRecords(RecordListKind::Chart, folder_);
  ASSERT_EQ(list.entries.size(), 1u);
  EXPECT_EQ(list.entries[0].number, 7);
  EXPECT_TRUE(AnyContains(list.problems, "Record 1.mdb", "in use"));

  other->exec("COMMIT");
  other.reset();  // the other program closes the file
  auto again = Prepare(1);
  ASSERT_TRUE(again.ok()) << Std(again.error());
  EXPECT_TRUE(again.value()->Close().ok());
}

// One writer per record: a second one, in this process or another, is refused
// with the file's name, and a killed writer leaves no lock behind.
TEST_F(RecordBadFilesTest, RecordBeingWrittenIsRefusedUntilItsWriterEnds) {
  const std::string refused = "The record file \"" + Std(RecordPath(1)) +
                              "\" is being written by another reading run or by another meter of this run. Please "
                              "select a different record.";
  const auto expectRefused = [&](const char* who) {
    SCOPED_TRACE(who);
    auto p = Prepare(1);
    ASSERT_FALSE(p.ok());
    EXPECT_EQ(Std(p.error()), refused);
    auto a = RecordAppender::Open(RecordPath(1));
    ASSERT_FALSE(a.ok());
    EXPECT_EQ(Std(a.error()), refused);
  };

  {  // two meters of one run on the same record
    auto first = Prepare(1);
    ASSERT_TRUE(first.ok()) << Std(first.error());
    ASSERT_TRUE(first.value()->Append(1, kNoSecondValue, QTime(1, 1, 1)).ok());
    expectRefused("same process");
    // Readers are welcome meanwhile, and the writer goes on.
    QString continuation;
    EXPECT_EQ(Std(CheckRecord(1, prompter_, continuation).storedFunction1), "DCV");
    ASSERT_TRUE(first.value()->Append(2, kNoSecondValue, QTime(1, 1, 2)).ok());
    ASSERT_TRUE(first.value()->Close().ok());
  }

  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  std::fflush(nullptr);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {  // another program writing the record, until killed
    auto a = RecordAppender::Open(RecordPath(1));
    const char c = a.ok() && a.value()->Append(3, kNoSecondValue, QTime(1, 1, 3)).ok() ? 'y' : 'n';
    if (write(ready[1], &c, 1) != 1) _exit(1);
    for (;;) pause();
  }
  close(ready[1]);
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  close(ready[0]);
  EXPECT_EQ(c, 'y');
  expectRefused("other process");
  ASSERT_EQ(kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);

  auto after = Prepare(1);
  ASSERT_TRUE(after.ok()) << Std(after.error());
  ASSERT_TRUE(after.value()->Append(4, kNoSecondValue, QTime(1, 1, 4)).ok());
  ASSERT_TRUE(after.value()->Close().ok());
  // One writer at a time keeps the kept figures equal to the rows.
  auto db = RecordDatabase::Open(RecordPath(1), RecordDatabase::Access::Read);
  ASSERT_TRUE(db.ok());
  auto figures = ReadRecordFigures(*db.value());
  ASSERT_TRUE(figures.ok());
  EXPECT_TRUE(figures->fromSummary);
  EXPECT_EQ(figures->value.count, test::RowCount(RecordPath(1)));
}

// Whatever sits under the temporary name of a record being made is removed,
// never followed, and never changed through a link.
TEST_F(RecordBadFilesTest, PlantedLinksAndLeftoversAreNeverFollowed) {
  const QString outside = base_ + "/outside.txt";
  WriteBytes(outside, "keep me");
  ASSERT_EQ(chmod(QFile::encodeName(outside).constData(), 0444), 0);
  const QString absent = base_ + "/absent.txt";
  const QString building = RecordPath(5) + ".creating";
  const auto link = [](const QString& target, const QString& name) {
    return symlink(QFile::encodeName(target).constData(), QFile::encodeName(name).constData()) == 0;
  };
  const struct {
    const char* what;
    std::function<bool()> plant;
    const char* error;  // empty: the record is made
  } cases[] = {
      {"link to a read-only file", [&] { return link(outside, building); }, ""},
      {"link to nowhere", [&] { return link(absent, building); }, ""},
      {"leftover of a crash", [&] { return QFile(building).open(QIODevice::WriteOnly); }, ""},
      {"folder in the way", [&] { return QDir().mkpath(building); }, "Record 5.mdb.creating\" is in the way"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(c.plant());
    auto p = Prepare(5);
    if (*c.error) {
      ASSERT_FALSE(p.ok());
      EXPECT_NE(Std(p.error()).find(c.error), std::string::npos) << Std(p.error());
      EXPECT_FALSE(QFileInfo::exists(RecordPath(5)));
      ASSERT_TRUE(QDir(building).removeRecursively());
    } else {
      ASSERT_TRUE(p.ok()) << Std(p.error());
      ASSERT_TRUE(p.value()->Close().ok());
      EXPECT_FALSE(QFileInfo(building).isSymLink() || QFileInfo::exists(building));
      ASSERT_TRUE(RemoveRecordFile(RecordPath(5)));
    }
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(outside).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    EXPECT_EQ(ReadBytes(outside), "keep me");
    EXPECT_FALSE(QFileInfo::exists(absent));
  }
  // Deleting a record that is a planted link removes the link alone.
  ASSERT_TRUE(link(outside, RecordPath(6)));
  EXPECT_TRUE(RemoveRecordFile(RecordPath(6)));
  EXPECT_FALSE(QFileInfo(RecordPath(6)).isSymLink());
  struct stat st {};
  ASSERT_EQ(stat(QFile::encodeName(outside).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
}

// Permissions bind an ordinary user; when the tests run as root the checks run
// in a child that has become the user nobody. A read-only file, then a read-only
// folder: both can be listed, neither written into.
TEST_F(RecordBadFilesTest, ReadOnlyFileAndFolderCanBeListedButNotWritten) {
  test::HandOverToNobody(base_);
  const auto r = test::RunInChild(
      [&](std::string& out) {
        auto prepared = [&](int n) {
          auto p = Prepare(n);
          return "prepare" + std::to_string(n) + "=" + Std(p.ok() ? QStringLiteral("ok") : p.error()) + "\n";
        };
        if (chmod(QFile::encodeName(RecordPath(1)).constData(), 0444) != 0) return 10;
        out += "listed=" + std::to_string(ListRecords(RecordListKind::Viewer, folder_).entries.size()) + "\n";
        out += prepared(1) + prepared(7);
        if (chmod(QFile::encodeName(RecordPath(1)).constData(), 0644) != 0 ||
            chmod(QFile::encodeName(folder_).constData(), 0555) != 0)
          return 11;
        const RecordList list = ListRecords(RecordListKind::Viewer, folder_);
        out += "folder listed=" + std::to_string(list.entries.size()) +
               " problems=" + std::to_string(list.problems.size()) + "\n" + Std(list.problems.join("\n")) + "\n";
        out += prepared(8) + prepared(1);
        out += "csv=" + std::to_string(static_cast<int>(WriteRecordCsv(RecordPath(1), folder_ + "/x.csv", "").outcome));
        chmod(QFile::encodeName(folder_).constData(), 0755);
        return 0;
      },
      true);
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const std::string expected[] = {
      "listed=2\nprepare1=The record file \"" + Std(RecordPath(1)) +
          "\" is read-only; readings cannot be saved into it.\nprepare7=ok\n",
      "folder listed=2 problems=0\n",
      "prepare8=The record file \"" + Std(RecordPath(8)) + "\" cannot be created: its folder is read-only.\n",
      "prepare1=The record file \"" + Std(RecordPath(1)) + "\"",
      "csv=" + std::to_string(static_cast<int>(CsvExport::Outcome::CannotOpen)),
  };
  for (const auto& e : expected) EXPECT_NE(r.output.find(e), std::string::npos) << e << "\n---\n" << r.output;
  EXPECT_EQ(r.output.find("prepare1=ok"), std::string::npos) << r.output;
  EXPECT_EQ(test::RowCount(RecordPath(1)), 0);
  EXPECT_FALSE(QFileInfo::exists(RecordPath(8)));
}

// Appends until the disk refuses, lets room come back, closes; reports what happened.
std::string FillUntilRefused(const QString& path, const std::function<void()>& makeRoom) {
  std::string out;
  auto a = RecordAppender::Open(path);
  if (!a) return "open=" + Std(a.error());
  long long appended = 0;
  QString error;
  for (; appended < 400000 && error.isEmpty(); ++appended) {
    RecordStatus s = a.value()->Append(static_cast<double>(appended), kNoSecondValue, QTime(1, 2, 3, 4));
    if (!s) error = s.error;
  }
  out += "error=" + Std(error) + "\n";
  out += "pending=" + std::to_string(a.value()->PendingRows()) + "\n";
  makeRoom();
  RecordStatus closed = a.value()->Close();
  out += "close=" + Std(closed.ok() ? QStringLiteral("ok") : closed.error) + "\n";
  out += "appended=" + std::to_string(appended) + "\n";
  return out;
}

long long Reported(const std::string& out, const std::string& key) {
  const size_t at = out.find(key + "=");
  return at == std::string::npos ? -1 : std::stoll(out.substr(at + key.size() + 1));
}

// The refusal was named, readings waited, and all of them went in at the close.
void ExpectReadingsWaitedForRoom(const std::string& out, const std::string& error) {
  EXPECT_NE(out.find("error=" + error), std::string::npos) << out;
  EXPECT_NE(out.find("readings are not saved yet"), std::string::npos) << out;
  EXPECT_GT(Reported(out, "pending"), 0) << out;
  EXPECT_NE(out.find("close=ok\n"), std::string::npos) << out;
  EXPECT_GT(Reported(out, "appended"), 1000) << out;
}

// A real full disk: a small memory file system mounted in a private mount
// namespace of the child (needs the right to mount; skipped without it).
// First a record is made with 0 to 40 pages left: every attempt either gives a
// ready record or fails naming the full disk, and a failed one leaves nothing
// in the folder (no empty record, no side files). Then readings are appended
// until the disk refuses them, and room comes back.
TEST_F(RecordBadFilesTest, FullDiskIsNamedLeavesNothingBehindAndReadingsWaitForRoom) {
  const QString small = base_ + "/small";
  ASSERT_TRUE(QDir().mkpath(small + "/DB"));
  const QString path = RecordFilePath(RecordFileKind::Record, small + "/DB", 2);
  const auto r = test::RunInChild(
      [&](std::string& out) {
        if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", QFile::encodeName(small).constData(), "tmpfs", 0, "size=512k") != 0)
          return 77;
        if (!QDir().mkpath(small + "/DB") || !QDir::setCurrent(small)) return 10;
        // Fill the disk, then give back a few pages at a time.
        const int filler = open(QFile::encodeName(small + "/filler").constData(), O_WRONLY | O_CREAT, 0644);
        if (filler < 0) return 11;
        const std::string page(4096, 'f');
        off_t full = 0;
        for (ssize_t n; (n = write(filler, page.data(), page.size())) > 0;) full += n;
        int made = 0, refused = 0;
        for (int free = 0; free <= 40; ++free) {
          if (ftruncate(filler, std::max<off_t>(0, full - free * 4096)) != 0) return 12;
          auto p = PrepareRecord(1, "VOLT", "NONE", prompter_, clock_);
          if (p.ok()) {
            ++made;
            // With too little room to fold the log back in, it stays beside the record, as it must.
            p.value()->Close();
            RemoveRecordFile(small + "/DB/Record 1.mdb");
          } else {
            ++refused;
            if (!p.error().contains("the disk is full") && !p.error().contains("disk refused"))
              out += "unclear: " + Std(p.error()) + "\n";
            const QStringList left = QDir(small + "/DB").entryList(QDir::Files | QDir::Hidden | QDir::System);
            if (!left.isEmpty())
              out += "refused with " + std::to_string(free) + " pages left: " + Std(left.join(", ")) + "\n";
          }
        }
        out += "made=" + std::to_string(made) + " refused=" + std::to_string(refused) + "\n";

        if (ftruncate(filler, 0) != 0 || !CreateRecordFile(path, true)) return 13;
        out += FillUntilRefused(
            path, [&] { mount("tmpfs", QFile::encodeName(small).constData(), "tmpfs", MS_REMOUNT, "size=8m"); });
        out += "rows=" + std::to_string(test::RowCount(path)) + "\n";
        auto raw = test::RawOpen(path, SQLite::OPEN_READONLY);
        out += "integrity=" + raw.execAndGet("PRAGMA integrity_check").getString() + "\n";
        return 0;
      },
      false);
  if (r.exitCode == 77) GTEST_SKIP() << "no right to mount a small file system here";
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(r.output.find("pages"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("unclear"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("made=0 "), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("refused=0"), std::string::npos) << r.output;
  ExpectReadingsWaitedForRoom(r.output, "The record file \"" + Std(path) + "\" cannot be written: the disk is full.");
  EXPECT_EQ(Reported(r.output, "rows"), Reported(r.output, "appended")) << r.output;
  EXPECT_NE(r.output.find("integrity=ok\n"), std::string::npos) << r.output;
}

// A file-size limit makes the operating system refuse writes the way a full
// disk does, without any right to mount.
TEST_F(RecordBadFilesTest, RefusedWritesKeepReadingsUntilThereIsRoomAgain) {
  test::MakeRecord(RecordPath(2), true);
  const auto r = test::RunInChild(
      [&](std::string& out) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = 512 * 1024;
        if (setrlimit(RLIMIT_FSIZE, &small) != 0) return 12;
        out = FillUntilRefused(RecordPath(2), [&] { setrlimit(RLIMIT_FSIZE, &saved); });  // room comes back
        return 0;
      },
      false);
  ASSERT_EQ(r.exitCode, 0) << r.output;
  ExpectReadingsWaitedForRoom(r.output, "The record file \"" + Std(RecordPath(2)) +
                                            "\" cannot be written: the disk refused the data (it may be full).");
  const long long appended = Reported(r.output, "appended");
  // Every reading reached the file once there was room again.
  auto raw = test::RawOpen(RecordPath(2), SQLite::OPEN_READONLY);
  EXPECT_EQ(raw.execAndGet("PRAGMA integrity_check").getString(), "ok");
  EXPECT_EQ(raw.execAndGet("SELECT count(*) FROM read").getInt64(), appended);
  EXPECT_EQ(raw.execAndGet("SELECT sum(read_value) FROM read").getInt64(), appended * (appended - 1) / 2);
  EXPECT_EQ(test::RowCount(RecordPath(1)), 0);  // the other records are untouched and readable
}

}  // namespace
}  // namespace merilog
