#pragma once
#include <QString>

namespace merilog {

// Folder that holds "MERILOG.ini": $MERILOG_CONFIG_DIR when set, else the
// installed data folder beside the program (../share/merilog), else the build
// tree's copy of the shipped file (running from a build tree).
QString ConfigurationDirectory();
QString ConfigurationFilePath();

}  // namespace merilog
