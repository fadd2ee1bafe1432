#pragma once
#include <memory>
#include <string>
#include <vector>

#include "core/instrument/ResourceManager.h"
#include "core/instrument/TranscriptLog.h"

namespace merilog {

// How the programs reach instruments, from their command lines.
struct IoOptions {
  bool simulate = false;
  std::string benchFile;                  // empty: the default simulated bench
  std::vector<std::string> lanResources;  // TCPIP0::host::port::SOCKET, ::inst0::INSTR, ::hislip0::INSTR
  std::string transcriptFile;             // empty: no transcript
  // The configuration file the program resolved at start-up; its [Instruments]
  // section lists LAN meters. Empty: none are configured.
  std::string configFile;
};

// Finds the configuration file once, at start-up, and hands it to all that
// read it: the program's texts and the instruments' set-up.
void ResolveConfigurationFile(IoOptions& io);

// What every program reaches instruments through: the backends (the simulated
// bench when asked for, then the hardware), and the LAN resources discovery
// searches after the buses (the language file's [Instruments] ResourceN, then
// the command line's). The window and the command line both set up here, so
// they cannot differ.
struct Instruments {
  std::unique_ptr<ResourceManager> resources;
  std::vector<std::string> lanResources;
  // The transcript every exchange is written to (null: none). Programs ask it
  // whether a write failed, and say so.
  std::shared_ptr<TranscriptLog> transcript;
};

// False with a message when a LAN resource (of the language file or the command
// line) is malformed, or the bench or transcript file cannot be used.
bool SetUpInstruments(const IoOptions& options, Instruments* out, std::string* error);

}  // namespace merilog
