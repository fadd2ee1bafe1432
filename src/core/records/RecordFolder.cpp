#include "core/records/RecordFolder.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "core/base/Prompter.h"
#include "core/records/RecordTexts.h"

namespace merilog {

namespace {

void ShowFolderNotFound(Prompter& prompter, RecordFolderCaller caller) {
  prompter.Message(record_texts::FolderNotFound(), RecordFolderCaption(caller), Prompter::Icon::None,
                   Prompter::Buttons::Ok);
}

}  // namespace

QString RecordFolderCaption(RecordFolderCaller caller) {
  switch (caller) {
    case RecordFolderCaller::SessionCheck:
      return record_texts::CaptionSessionCheck();
    case RecordFolderCaller::ListCheck:
      return record_texts::CaptionListCheck();
    case RecordFolderCaller::ChartDraw:
      return record_texts::CaptionChartDraw();
    case RecordFolderCaller::Viewer:
      return record_texts::CaptionViewer();
    case RecordFolderCaller::MultipleReadings:
      return record_texts::CaptionMultipleReadings();
  }
  return {};
}

QString RecordFilePath(RecordFileKind kind, const QString& folder, int number) {
  const QString name = kind == RecordFileKind::Record ? QStringLiteral("Record %1.mdb").arg(number)
                                                      : QStringLiteral("DBfile_DB%1.mdb").arg(number);
  return folder + QLatin1Char('/') + name;
}

QString DeriveRecordFolder(const QString& currentDirectory) {
  if (currentDirectory.contains(QLatin1String("DB"))) return currentDirectory;
  QString base = currentDirectory;
  if (base.endsWith(QLatin1Char('/')) && base.size() > 1) base.chop(1);
  return base == QLatin1String("/") ? QStringLiteral("/DB") : base + QStringLiteral("/DB");
}

std::optional<QString> FindRecordFolder(Prompter& prompter, RecordFolderCaller caller) {
  // An unreadable current directory (it was removed under us) gives an empty
  // path; deriving "/DB" from it would pick an unrelated folder.
  const QString current = QDir::currentPath();
  if (current.isEmpty() || !QFileInfo(current).isDir()) {
    ShowFolderNotFound(prompter, caller);
    return std::nullopt;
  }
  const QString folder = DeriveRecordFolder(current);
  if (!QDir::setCurrent(folder)) {
    ShowFolderNotFound(prompter, caller);
    return std::nullopt;
  }
  return folder;
}

bool EnterRecordFolder(const QString& folder, Prompter& prompter, RecordFolderCaller caller) {
  if (!folder.isEmpty() && QDir::setCurrent(folder)) return true;
  ShowFolderNotFound(prompter, caller);
  return false;
}

bool RecordFileExists(const QString& path) {
  QFileInfo info(path);
  if (info.exists()) return true;
  const QString folder = info.absolutePath();
  if (!QFileInfo(folder).isDir() && QDir().mkpath(folder)) QDir::setCurrent(folder);
  return false;
}

bool RecordFileExists(RecordFileKind kind, const QString& folder, int number) {
  return RecordFileExists(RecordFilePath(kind, folder, number));
}

namespace {

// Removes a name; a link is removed itself, never followed.
bool RemoveName(const QString& path) {
  const QByteArray name = QFile::encodeName(path);
  struct stat st {};
  if (::lstat(name.constData(), &st) != 0) return errno == ENOENT;
  if (S_ISDIR(st.st_mode)) return false;
  return ::unlink(name.constData()) == 0 || errno == ENOENT;
}

}  // namespace

bool RemoveRecordFile(const QString& path) {
  // The main file goes first: should it stay, its "-wal" may hold rows that are
  // not yet in it and must stay too.
  if (!RemoveName(path)) return false;
  bool removed = true;
  for (const char* suffix : {"-wal", "-shm", "-journal"})
    if (!RemoveName(path + QLatin1String(suffix))) removed = false;
  return removed;
}

int PutRecordFileInPlace(const QString& from, const QString& to) {
  const QByteArray a = QFile::encodeName(from), b = QFile::encodeName(to);
  if (::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // File systems without that flag: a hard link fails as well when the name is taken.
  if (::link(a.constData(), b.constData()) != 0) return errno;
  ::unlink(a.constData());
  return 0;
}

}  // namespace merilog
