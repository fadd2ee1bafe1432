#include "core/base/OutputTarget.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>

namespace merilog {

namespace {

// Writes smaller than this are gathered before they reach the file.
constexpr size_t kBufferBytes = 256 * 1024;
// Tries at a free temporary name before giving up.
constexpr int kTemporaryNameTries = 100;

QString Shown(const QString& path) {
  return QDir::toNativeSeparators(path);
}

QString ErrnoText(int error) {
  return qt_error_string(error);
}

// What a name that is there but is no regular file is, in words.
QString KindOf(mode_t mode) {
  if (S_ISCHR(mode) || S_ISBLK(mode)) return QStringLiteral("a device");
  if (S_ISFIFO(mode)) return QStringLiteral("a pipe");
  if (S_ISSOCK(mode)) return QStringLiteral("a socket");
  return QStringLiteral("something other than a file");
}

}  // namespace

OutputTarget::OutputTarget(QString path) : path_(std::move(path)) {}

OutputTarget::~OutputTarget() {
  Discard();
}

QString OutputTarget::Failure(const QString& path, const QString& reason) {
  return QStringLiteral("The file \"%1\" cannot be written: %2.").arg(Shown(path), reason);
}

QString OutputTarget::Problem(const QString& path) {
  if (path.isEmpty()) return QStringLiteral("No file name was given.");
  const QByteArray name = QFile::encodeName(path);
  struct stat st {};
  if (::stat(name.constData(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return QStringLiteral("\"%1\" is a folder; give a file name.").arg(Shown(path));
    if (!S_ISREG(st.st_mode))
      return QStringLiteral("\"%1\" is %2, not a file; it is left as it is.").arg(Shown(path), KindOf(st.st_mode));
    // As a program that writes the file in place would find it.
    if (::access(name.constData(), W_OK) != 0)
      return QStringLiteral("The file \"%1\" cannot be replaced: %2.").arg(Shown(path), ErrnoText(errno));
  } else if (errno != ENOENT) {
    return Failure(path, ErrnoText(errno));
  } else if (path.endsWith(QLatin1Char('/')) || path.endsWith(QDir::separator())) {
    return QStringLiteral("\"%1\" names a folder; give a file name.").arg(Shown(path));
  }
  const QString folder = QFileInfo(path).absolutePath();
  const QByteArray folderName = QFile::encodeName(folder);
  if (::stat(folderName.constData(), &st) != 0) {
    if (errno == ENOENT) return QStringLiteral("The folder \"%1\" does not exist.").arg(Shown(folder));
    return QStringLiteral("The folder \"%1\" cannot be used: %2.").arg(Shown(folder), ErrnoText(errno));
  }
  if (!S_ISDIR(st.st_mode)) return QStringLiteral("\"%1\" is not a folder.").arg(Shown(folder));
  // The temporary file and the rename both need a folder that takes new names.
  if (::access(folderName.constData(), W_OK | X_OK) != 0)
    return QStringLiteral("The folder \"%1\" cannot be written: %2.").arg(Shown(folder), ErrnoText(errno));
  return {};
}

bool OutputTarget::Open() {
  Discard();
  error_.clear();
  if (const QString problem = Problem(path_); !problem.isEmpty()) {
    error_ = problem;
    return false;
  }
  // A link to a file keeps being a link: the file it points to is replaced.
  const QFileInfo info(path_);
  finalPath_ = info.isSymLink() && info.exists() ? info.canonicalFilePath() : path_;
  const QFileInfo final(finalPath_);
  struct stat existing {};
  const bool replaces = ::stat(QFile::encodeName(finalPath_).constData(), &existing) == 0;
  for (int i = 0; i < kTemporaryNameTries && fd_ < 0; ++i) {
    tempPath_ = final.absoluteDir().filePath(QStringLiteral(".%1.%2.part")
                                                 .arg(final.fileName().left(40))
                                                 .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
    // 0666 lets the process's umask decide, as for any new file.
    fd_ = ::open(QFile::encodeName(tempPath_).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    const int error = errno;
    tempPath_.clear();
    return Fail(ErrnoText(error));
  }
  if (replaces) ::fchmod(fd_, existing.st_mode & 07777);  // a replaced file keeps its permissions
  buffer_.clear();
  buffer_.reserve(kBufferBytes);
  return true;
}

bool OutputTarget::Write(const char* data, size_t size) {
  if (fd_ < 0) return false;
  if (buffer_.size() + size > kBufferBytes && !FlushBuffer()) return false;
  if (size >= kBufferBytes) return WriteOut(data, size);
  buffer_.append(data, size);
  return true;
}

bool OutputTarget::Commit() {
  if (fd_ < 0) return false;
  if (!FlushBuffer()) return false;
  // Some file systems report a lost write only here.
  if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) return Fail(ErrnoText(errno));
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && errno != EINTR) return Fail(ErrnoText(errno));
  // Something may have taken the name while we wrote.
  if (const QString problem = Problem(path_); !problem.isEmpty()) {
    Discard();
    error_ = problem;
    return false;
  }
  if (::rename(QFile::encodeName(tempPath_).constData(), QFile::encodeName(finalPath_).constData()) != 0)
    return Fail(ErrnoText(errno));
  tempPath_.clear();
  // The rename itself reaches the disk with the folder; a folder that cannot be synced changes nothing.
  const int folder =
      ::open(QFile::encodeName(QFileInfo(finalPath_).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
  return true;
}

void OutputTarget::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!tempPath_.isEmpty()) ::unlink(QFile::encodeName(tempPath_).constData());
  tempPath_.clear();
  buffer_.clear();
}

bool OutputTarget::Fail(const QString& reason) {
  error_ = Failure(path_, reason);
  Discard();
  return false;
}

bool OutputTarget::WriteOut(const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd_, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Fail(ErrnoText(errno));
    if (n == 0) return Fail(ErrnoText(EIO));
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool OutputTarget::FlushBuffer() {
  if (buffer_.empty()) return true;
  const bool ok = WriteOut(buffer_.data(), buffer_.size());
  buffer_.clear();
  return ok;
}

QString WriteWholeFile(const QString& path, const QByteArray& bytes) {
  OutputTarget target(path);
  if (target.Open() && target.Write(bytes) && target.Commit()) return {};
  return target.Error();
}

}  // namespace merilog
