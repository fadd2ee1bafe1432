#include "core/instrument/GpibBackend.h"
#include "core/instrument/HislipBackend.h"
#include "core/instrument/ResourceManager.h"
#include "core/instrument/TcpSocketBackend.h"
#include "core/instrument/UsbtmcBackend.h"
#include "core/instrument/VisaLibraryBackend.h"
#include "core/instrument/Vxi11Backend.h"

namespace merilog {

void AddHardwareBackends(ResourceManager& rm, const std::vector<std::string>& lanResources) {
  // The order decides who opens a resource more than one backend could reach:
  // the kernel driver, linux-gpib and our LAN protocols before a vendor library,
  // which may not be installed.
  rm.AddBackend(std::make_unique<UsbtmcBackend>());
  rm.AddBackend(std::make_unique<GpibBackend>());
  rm.AddBackend(std::make_unique<Vxi11Backend>(lanResources));
  rm.AddBackend(std::make_unique<HislipBackend>(lanResources));
  rm.AddBackend(std::make_unique<VisaLibraryBackend>());
  rm.AddBackend(std::make_unique<TcpSocketBackend>(lanResources));
}

}  // namespace merilog
