#pragma once
#include <QByteArray>
#include <QString>
#include <string>
#include <string_view>

namespace merilog {

// A file the user asked for (an export, a picture), written whole or not at
// all: the bytes go to a temporary file in the same folder, every write, the
// flush to disk and the close are checked, and only then is it renamed to the
// user's name. A failed or abandoned write removes the temporary file and
// leaves whatever had the name before untouched.
//
// Qt's QSaveFile is not used: it keeps a write buffer whose flush at commit
// can fail (a full disk) without stopping the rename, so a truncated file was
// put in place and reported written.
class OutputTarget {
 public:
  explicit OutputTarget(QString path);
  // Discards what was written unless committed.
  ~OutputTarget();
  OutputTarget(const OutputTarget&) = delete;
  OutputTarget& operator=(const OutputTarget&) = delete;

  // Why nothing may be written to `path`, as a sentence naming the path;
  // empty when it may. A name that exists and is not a regular file (a
  // folder, a device, a pipe, a socket) is refused and never replaced; the
  // folder must exist and take new files.
  static QString Problem(const QString& path);
  // The sentence of a failed write: the file and the reason.
  static QString Failure(const QString& path, const QString& reason);

  // Checks the target and creates the temporary file; false with Error() set.
  bool Open();
  // Buffered; false (with Error() set) once any write has failed.
  bool Write(const char* data, size_t size);
  bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
  bool Write(const QByteArray& bytes) { return Write(bytes.constData(), static_cast<size_t>(bytes.size())); }
  // Writes what is buffered, syncs it to disk, closes and renames; false, with
  // the temporary file removed, on any failure.
  bool Commit();
  // Removes the temporary file; the target is left as it was.
  void Discard();

  // After a failure: a sentence naming the file and the reason.
  const QString& Error() const { return error_; }
  const QString& Path() const { return path_; }

 private:
  bool Fail(const QString& reason);
  bool WriteOut(const char* data, size_t size);
  bool FlushBuffer();

  QString path_;       // as the user gave it: used in messages
  QString finalPath_;  // where the rename goes (a symbolic link's target)
  QString tempPath_;
  int fd_ = -1;
  std::string buffer_;
  QString error_;
};

// Writes `bytes` as the whole file `path` through an OutputTarget; returns the
// error sentence, or an empty text when written.
QString WriteWholeFile(const QString& path, const QByteArray& bytes);

}  // namespace merilog
