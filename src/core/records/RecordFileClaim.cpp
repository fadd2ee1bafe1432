#include "core/records/RecordFileClaim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "core/records/RecordTexts.h"

namespace merilog {

namespace {

using FileId = std::pair<unsigned long long, unsigned long long>;  // device, inode

struct Entry {
  int fd = -1;           // the descriptor that carries the lock; -1 until a writer needs it
  int claims = 0;        // open connections of this process to the file
  bool writing = false;  // one of them is the writer
};

// Record files may be opened from worker threads (long file jobs).
std::mutex& RegistryMutex() {
  static std::mutex m;
  return m;
}
std::map<FileId, Entry>& Registry() {
  static std::map<FileId, Entry> r;
  return r;
}

void Forget(std::map<FileId, Entry>::iterator it) {
  if (it->second.fd >= 0) ::close(it->second.fd);
  Registry().erase(it);
}

}  // namespace

RecordResult<std::unique_ptr<RecordFileClaim>> RecordFileClaim::Take(const QString& path, Use use) {
  const QByteArray name = QFile::encodeName(path);
  struct stat st {};
  if (::stat(name.constData(), &st) != 0) return RecordStatus::Failure(record_texts::NotFound(path));
  const FileId id{st.st_dev, st.st_ino};

  std::lock_guard<std::mutex> guard(RegistryMutex());
  auto it = Registry().try_emplace(id).first;
  Entry& e = it->second;
  if (use == Use::Write) {
    if (e.writing) return RecordStatus::Failure(record_texts::BeingWritten(path));
    if (e.fd < 0) {
      const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
      struct stat opened {};
      if (fd < 0 || ::fstat(fd, &opened) != 0 || opened.st_dev != st.st_dev || opened.st_ino != st.st_ino) {
        const int err = errno;
        // Only a file replaced between the two looks gets here with a descriptor.
        if (fd >= 0) ::close(fd);
        if (e.claims == 0) Forget(it);
        return RecordStatus::Failure(record_texts::OtherError(
            path, fd < 0 ? QString::fromLocal8Bit(std::strerror(err)) : QStringLiteral("it was replaced meanwhile")));
      }
      e.fd = fd;
    }
    if (::flock(e.fd, LOCK_EX | LOCK_NB) != 0) {
      const int err = errno;
      if (e.claims == 0) Forget(it);
      return RecordStatus::Failure(err == EWOULDBLOCK
                                       ? record_texts::BeingWritten(path)
                                       : record_texts::OtherError(path, QString::fromLocal8Bit(std::strerror(err))));
    }
    e.writing = true;
  }
  ++e.claims;
  return std::unique_ptr<RecordFileClaim>(new RecordFileClaim(st.st_dev, st.st_ino, use));
}

RecordFileClaim::~RecordFileClaim() {
  std::lock_guard<std::mutex> guard(RegistryMutex());
  auto it = Registry().find({device_, inode_});
  if (it == Registry().end()) return;
  Entry& e = it->second;
  if (use_ == Use::Write) {
    ::flock(e.fd, LOCK_UN);
    e.writing = false;
  }
  if (--e.claims <= 0) Forget(it);
}

}  // namespace merilog
