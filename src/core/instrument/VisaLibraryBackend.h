#pragma once
#include <memory>
#include <string>
#include <vector>

#include "core/instrument/Backend.h"
#include "core/instrument/VisaApi.h"

namespace merilog {

// Instruments through a vendor's VISA library, loaded when the program runs:
// without one the backend is inactive and lists nothing. It finds whatever the
// library finds ("?*INSTR") and opens any INSTR resource.
class VisaLibraryBackend final : public Backend {
 public:
  // The library's default resource manager, shared by the backend and its sessions
  // and closed after the last of them is gone.
  struct ResourceManagerHandle {
    VisaApi api;
    visa::ViSession rm = 0;
    ~ResourceManagerHandle();
  };

  static constexpr int kDefaultTimeoutMs = 2000;
  static std::vector<std::string> DefaultLibraryNames();

  // Loads the first of the named libraries that offers every entry point.
  explicit VisaLibraryBackend(const std::vector<std::string>& libraries = DefaultLibraryNames());
  // Uses the given entry points instead of loading a library.
  explicit VisaLibraryBackend(const VisaApi& api);

  std::string Name() const override { return "VISA library"; }
  bool IsActive(std::string* whyNot) const override;
  std::vector<std::string> List() override;
  bool Handles(const std::string& resource) const override;
  std::unique_ptr<Session> Open(const std::string& resource, Status* status) override;

 private:
  void Start(const VisaApi& api, const std::string& library);

  std::shared_ptr<ResourceManagerHandle> rm_;
  std::string whyNot_;
};

}  // namespace merilog
