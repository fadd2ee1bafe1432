#include "sim/IoSetup.h"

#include "core/base/ConfigPaths.h"
#include "core/instrument/DeviceDiscovery.h"
#include "core/instrument/TranscriptBackend.h"
#include "core/instrument/TranscriptLog.h"
#include "sim/SimBackend.h"
#include "sim/SimBench.h"

namespace merilog {

bool SetUpInstruments(const IoOptions& options, Instruments* out, std::string* error) {
  std::shared_ptr<TranscriptLog> log;
  if (!options.transcriptFile.empty()) {
    log = TranscriptLog::Open(options.transcriptFile, error);
    if (!log) return false;
  }
  out->lanResources = DiscoveryLanResources(ConfigurationFilePath(), options.lanResources);
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
