#include "sim/IoSetup.h"

namespace merilog {

std::unique_ptr<ResourceManager> MakeResourceManager(const IoOptions& options, std::string* error) {
  auto rm = std::make_unique<ResourceManager>();
  return rm;
}

}  // namespace merilog
