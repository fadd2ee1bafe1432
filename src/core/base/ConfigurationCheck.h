#pragma once
#include <QString>

#include "core/base/Prompter.h"

namespace merilog {

// The start-up check of the language file. When the file does not exist the
// user is told once (caption "Error", stop icon, OK); any other failure to
// inspect it says nothing. Start-up goes on either way: without the file every
// text is English. Returns false only when the file was found missing. Without
// a path: the configuration file the texts come from (UseMessageFile).
bool CheckConfigurationFile(Prompter& prompter);
bool CheckConfigurationFile(Prompter& prompter, const QString& path);

}  // namespace merilog
