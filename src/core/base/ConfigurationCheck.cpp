#include "core/base/ConfigurationCheck.h"

#include <filesystem>
#include <system_error>

#include "core/base/MessageTable.h"

namespace merilog {

bool CheckConfigurationFile(Prompter& prompter) {
  return CheckConfigurationFile(prompter, MessageFilePath());
}

bool CheckConfigurationFile(Prompter& prompter, const QString& path) {
  std::error_code error;
  const auto status = std::filesystem::status(std::filesystem::path(path.toStdU16String()), error);
  // Only "not there" is worth a word; a file we may not inspect may still be readable.
  if (status.type() != std::filesystem::file_type::not_found) return true;
  prompter.Message(QStringLiteral("You lost the important file: MERILOG.ini , Please reinstall.\n the application. "
                                  "Otherwise, the application can't support other \nlanguages except English."),
                   QStringLiteral("Error"), Prompter::Icon::Stop, Prompter::Buttons::Ok);
  return false;
}

}  // namespace merilog
