#include "core/instrument/GpibBackend.h"
#include "core/instrument/ResourceManager.h"
#include "core/instrument/TcpSocketBackend.h"
#include "core/instrument/UsbtmcBackend.h"
#include "core/instrument/VisaLibraryBackend.h"

namespace merilog {

void AddHardwareBackends(ResourceManager& rm, const std::vector<std::string>& lanResources) {
  // The order decides who opens a resource more than one backend could reach:
  // the kernel driver and linux-gpib before a vendor library, which may not be installed.
  rm.AddBackend(std::make_unique<UsbtmcBackend>());
  rm.AddBackend(std::make_unique<GpibBackend>());
  rm.AddBackend(std::make_unique<VisaLibraryBackend>());
  rm.AddBackend(std::make_unique<TcpSocketBackend>(lanResources));
}

}  // namespace merilog
