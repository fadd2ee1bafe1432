#include "core/instrument/VisaLibraryBackend.h"

#include <dlfcn.h>
#include <strings.h>

#include "core/instrument/VisaLibrarySession.h"

namespace merilog {
namespace {

template <typename T>
bool Bind(void* lib, const char* name, T& fn) {
  fn = reinterpret_cast<T>(::dlsym(lib, name));
  return fn != nullptr;
}

// The name of the first entry point the library lacks, or nullptr.
const char* BindAll(void* lib, VisaApi& api) {
  if (!Bind(lib, "viOpenDefaultRM", api.viOpenDefaultRM)) return "viOpenDefaultRM";
  if (!Bind(lib, "viFindRsrc", api.viFindRsrc)) return "viFindRsrc";
  if (!Bind(lib, "viFindNext", api.viFindNext)) return "viFindNext";
  if (!Bind(lib, "viOpen", api.viOpen)) return "viOpen";
  if (!Bind(lib, "viClose", api.viClose)) return "viClose";
  if (!Bind(lib, "viSetAttribute", api.viSetAttribute)) return "viSetAttribute";
  if (!Bind(lib, "viWrite", api.viWrite)) return "viWrite";
  if (!Bind(lib, "viRead", api.viRead)) return "viRead";
  if (!Bind(lib, "viClear", api.viClear)) return "viClear";
  return nullptr;
}

}  // namespace

VisaLibraryBackend::ResourceManagerHandle::~ResourceManagerHandle() {
  api.viClose(rm);
}

std::vector<std::string> VisaLibraryBackend::DefaultLibraryNames() {
  return {"libvisa.so", "libvisa.so.0", "libiovisa.so", "librsvisa.so"};
}

VisaLibraryBackend::VisaLibraryBackend(const std::vector<std::string>& libraries) {
  std::string tried;
  for (const auto& name : libraries) {
    // Libraries are never unloaded: a vendor library may keep threads of its own.
    void* lib = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
      tried += (tried.empty() ? "" : ", ") + name;
      continue;
    }
    VisaApi api;
    if (const char* missing = BindAll(lib, api)) {
      tried += (tried.empty() ? "" : ", ") + name + " (lacks " + missing + ")";
      continue;
    }
    Start(api, name);
    return;
  }
  whyNot_ = "no VISA library found (tried " + tried + ")";
}

VisaLibraryBackend::VisaLibraryBackend(const VisaApi& api) {
  Start(api, "the VISA library");
}

void VisaLibraryBackend::Start(const VisaApi& api, const std::string& library) {
  visa::ViSession rm = 0;
  const Status st = api.viOpenDefaultRM(&rm);
  if (!IsSuccess(st)) {
    whyNot_ = library + ": viOpenDefaultRM failed (" + DescribeStatus(st) + ")";
    return;
  }
  rm_ = std::make_shared<ResourceManagerHandle>();
  rm_->api = api;
  rm_->rm = rm;
}

bool VisaLibraryBackend::IsActive(std::string* whyNot) const {
  if (rm_) return true;
  if (whyNot) *whyNot = whyNot_;
  return false;
}

std::vector<std::string> VisaLibraryBackend::List() {
  std::vector<std::string> out;
  if (!rm_) return out;
  const VisaApi& api = rm_->api;
  char description[visa::kFindBufferLength + 1] = {};
  visa::ViFindList list = 0;
  visa::ViUInt32 count = 0;
  if (!IsSuccess(api.viFindRsrc(rm_->rm, "?*INSTR", &list, &count, description))) return out;
  // The count comes from the library; bound it so a bad one cannot loop for long.
  constexpr visa::ViUInt32 kMaxResources = 1024;
  for (visa::ViUInt32 i = 0; i < count && i < kMaxResources; ++i) {
    if (i > 0) {
      description[0] = '\0';
      if (!IsSuccess(api.viFindNext(list, description))) break;
    }
    description[visa::kFindBufferLength] = '\0';
    if (description[0]) out.emplace_back(description);
  }
  api.viClose(list);
  return out;
}

bool VisaLibraryBackend::Handles(const std::string& resource) const {
  return rm_ && resource.size() > 7 && ::strcasecmp(resource.c_str() + resource.size() - 7, "::INSTR") == 0;
}

std::unique_ptr<Session> VisaLibraryBackend::Open(const std::string& resource, Status* status) {
  Status st = status::kErrorLibraryNotFound;
  std::unique_ptr<Session> session;
  if (rm_) {
    visa::ViSession vi = 0;
    st = rm_->api.viOpen(rm_->rm, resource.c_str(), visa::kNoLock, 0, &vi);
    if (IsSuccess(st)) {
      session = std::make_unique<VisaLibrarySession>(rm_, vi, resource);
      session->SetTimeout(kDefaultTimeoutMs);
      st = status::kSuccess;
    }
  }
  if (status) *status = st;
  return session;
}

}  // namespace merilog
