#include "ui/scan/DesktopOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace merilog::ui {

bool DesktopOpener::Open(const QString& path) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

}  // namespace merilog::ui
