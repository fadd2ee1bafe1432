#include "core/app/IoSetup.h"

#include "core/base/ConfigPaths.h"
#include "core/base/MessageTable.h"
#include "core/instrument/DeviceDiscovery.h"
#include "core/instrument/LanResource.h"
#include "core/instrument/TranscriptBackend.h"
#include "core/instrument/TranscriptLog.h"
#include "sim/SimBackend.h"
#include "sim/SimBench.h"

namespace merilog {

void ResolveConfigurationFile(IoOptions& io) {
  const QString path = ConfigurationFilePath();
  UseMessageFile(path);
  io.configFile = path.toStdString();
}

namespace {

// A resource as a message quotes it: whole unless it is far too long to read.
std::string Quoted(const std::string& resource) {
  constexpr std::size_t kShown = 80;
  return "\"" + (resource.size() <= kShown ? resource : resource.substr(0, kShown) + "...") + "\"";
}

// Every LAN resource must be one of the three LAN forms; a malformed one is
// named with its origin and reason rather than dropped without a word.
bool CheckLanResources(const std::vector<std::string>& resources, const std::string& origin, std::string* error) {
  for (const std::string& r : resources) {
    std::string why;
    if (LanResource::Parse(r, &why)) continue;
    if (error) *error = "the LAN resource " + Quoted(r) + " " + origin + " cannot be used: " + why;
    return false;
  }
  return true;
}

}  // namespace

bool SetUpInstruments(const IoOptions& options, Instruments* out, std::string* error) {
  const QString iniPath = QString::fromStdString(options.configFile);
  if (!CheckLanResources(ReadConfiguredResources(iniPath), "in the [Instruments] section of " + iniPath.toStdString(),
                         error) ||
      !CheckLanResources(options.lanResources, "on the command line", error))
    return false;
  std::shared_ptr<TranscriptLog> log;
  if (!options.transcriptFile.empty()) {
    log = TranscriptLog::Open(options.transcriptFile, error);
    if (!log) return false;
  }
  out->transcript = log;
  out->lanResources = DiscoveryLanResources(iniPath, options.lanResources);
  // Build the backends in a scratch manager, then wrap each for the transcript.
  ResourceManager plain;
  if (options.simulate) {
    std::shared_ptr<sim::SimBench> bench;
    if (options.benchFile.empty()) {
      bench = sim::SimBench::Default();
    } else {
      std::string why;
      bench = sim::SimBench::LoadFile(options.benchFile, &why);
      if (!bench) {
        if (error) *error = why.empty() ? "cannot load the bench file " + options.benchFile : why;
        return false;
      }
    }
    plain.AddBackend(std::make_unique<sim::SimBackend>(bench));
  }
  AddHardwareBackends(plain, out->lanResources);

  out->resources = std::make_unique<ResourceManager>();
  for (auto& b : plain.TakeBackends())
    out->resources->AddBackend(log ? WithTranscript(std::move(b), log) : std::move(b));
  return true;
}

}  // namespace merilog
