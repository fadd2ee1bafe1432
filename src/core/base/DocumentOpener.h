#pragma once
#include <QString>

namespace merilog {

// Hands a file to the desktop's default application for its kind (a written
// spreadsheet). The window opens it through the desktop; tests and the command
// line put something else in its place.
class DocumentOpener {
 public:
  virtual ~DocumentOpener() = default;
  // False when no application could be started for it.
  virtual bool Open(const QString& path) = 0;
};

}  // namespace merilog
