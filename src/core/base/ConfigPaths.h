#pragma once
#include <QString>

namespace merilog {

// Folder that holds "MERILOG.ini": $MERILOG_CONFIG_DIR when set; else, for an
// installed program (../share/merilog beside it), the user's own copy in
// $XDG_CONFIG_HOME/merilog (or ~/.config/merilog when that is unset or not an
// absolute path), copied from the installed,
// read-only file on first start so the language choice can be written; else
// the build tree's copy of the shipped file (running from a build tree).
QString ConfigurationDirectory();
QString ConfigurationFilePath();

// The same decision from its inputs, for tests: the environment's folders and
// the folder of the installed data (empty when not installed). Copies the file
// when the user's copy is missing; keeps the installed folder if that fails.
QString ResolveConfigurationDirectory(const QString& configDirVariable, const QString& installedDataDir,
                                      const QString& xdgConfigHome, const QString& home);

// The working folder of a program started from the desktop's menu: MERILOG in
// the user's home, created with its DB folder on first start. Empty when it
// cannot be made.
QString MenuWorkingFolder(const QString& home);

// The version the programs print: the project's, and the commit built from.
const char* VersionText();

}  // namespace merilog
