#pragma once
#include <memory>
#include <string>

#include "core/instrument/Session.h"
#include "core/instrument/VisaLibraryBackend.h"

namespace merilog {

// One session of a vendor VISA library. Status codes pass through unchanged:
// they are VISA's own.
class VisaLibrarySession final : public Session {
 public:
  VisaLibrarySession(std::shared_ptr<VisaLibraryBackend::ResourceManagerHandle> rm, visa::ViSession vi,
                     std::string resource);
  ~VisaLibrarySession() override;
  VisaLibrarySession(const VisaLibrarySession&) = delete;
  VisaLibrarySession& operator=(const VisaLibrarySession&) = delete;

  Status Write(std::string_view bytes) override;
  ReadResult Read(std::size_t maxBytes) override;
  Status SetTimeout(int ms) override;
  Status Clear() override;
  Status Close() override;
  const std::string& Resource() const override { return resource_; }

 private:
  std::shared_ptr<VisaLibraryBackend::ResourceManagerHandle> rm_;
  visa::ViSession vi_;
  bool open_ = true;
  std::string resource_;
};

}  // namespace merilog
