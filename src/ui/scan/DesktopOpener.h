#pragma once
#include "core/base/DocumentOpener.h"

namespace merilog::ui {

// Opens a file with the desktop's default application for its kind.
class DesktopOpener : public DocumentOpener {
 public:
  bool Open(const QString& path) override;
};

}  // namespace merilog::ui
