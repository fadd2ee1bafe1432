#include "core/instrument/ResourceManager.h"

#include <QString>
#include <algorithm>
#include <set>

#include "core/instrument/ResourcePattern.h"

namespace merilog {
namespace {

int InterfaceRank(const std::string& resource) {
  const QString r = QString::fromStdString(resource).toUpper();
  if (r.startsWith("USB")) return 0;
  if (r.startsWith("GPIB")) return 1;
  if (r.startsWith("TCPIP")) return 2;
  return 3;
}

}  // namespace

static std::vector<std::string> FindIn(const ResourceManager::BackendList& backends, const std::string& pattern,
                                       Status* status);
static std::unique_ptr<Session> OpenIn(const ResourceManager::BackendList& backends, const std::string& resource,
                                       Status* status);

void ResourceManager::AddBackend(std::shared_ptr<Backend> backend) {
  auto next = std::make_shared<BackendList>(*backends_);
  next->push_back(std::move(backend));
  backends_ = std::move(next);
}

ResourceManager::BackendList ResourceManager::TakeBackends() {
  BackendList taken = *backends_;
  backends_ = std::make_shared<const BackendList>();
  return taken;
}

std::vector<std::string> ResourceManager::Find(const std::string& pattern, Status* status) {
  return FindIn(*backends_, pattern, status);
}

std::unique_ptr<Session> ResourceManager::Open(const std::string& resource, Status* status) {
  return OpenIn(*backends_, resource, status);
}

std::function<std::vector<std::string>()> ResourceManager::Finder(const std::string& pattern) const {
  return [backends = backends_, pattern] { return FindIn(*backends, pattern, nullptr); };
}

std::function<std::unique_ptr<Session>()> ResourceManager::Opener(const std::string& resource) const {
  return [backends = backends_, resource] { return OpenIn(*backends, resource, nullptr); };
}

std::function<std::unique_ptr<Session>(const std::string&)> ResourceManager::AnyOpener() const {
  return [backends = backends_](const std::string& resource) { return OpenIn(*backends, resource, nullptr); };
}

static std::vector<std::string> FindIn(const ResourceManager::BackendList& backends, const std::string& pattern,
                                       Status* status) {
  std::vector<std::string> found;
  const auto compiled = ResourcePattern::Compile(pattern);
  if (!compiled) {
    if (status) *status = status::kErrorInvalidExpression;
    return found;
  }
  std::set<std::string> seen;
  for (const auto& b : backends) {
    if (!b->IsActive(nullptr)) continue;
    for (const auto& r : b->List()) {
      const std::string key = QString::fromStdString(r).toUpper().toStdString();
      if (compiled->Matches(r) && seen.insert(key).second) found.push_back(r);
    }
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const std::string& a, const std::string& b) { return InterfaceRank(a) < InterfaceRank(b); });
  if (status) *status = found.empty() ? status::kErrorResourceNotFound : status::kSuccess;
  return found;
}

static std::unique_ptr<Session> OpenIn(const ResourceManager::BackendList& backends, const std::string& resource,
                                       Status* status) {
  // The first active backend that claims the resource opens it. Listing every
  // backend here would rescan buses (a GPIB scan asks 120 addresses) on each open.
  Backend* chosen = nullptr;
  for (const auto& b : backends) {
    if (b->IsActive(nullptr) && b->Handles(resource)) {
      chosen = b.get();
      break;
    }
  }
  // None active: let a claiming backend say why it cannot open.
  if (!chosen) {
    for (const auto& b : backends) {
      if (b->Handles(resource)) {
        chosen = b.get();
        break;
      }
    }
  }
  if (!chosen) {
    if (status) *status = status::kErrorResourceNotFound;
    return nullptr;
  }
  Status st = status::kSuccess;
  auto session = chosen->Open(resource, &st);
  if (!session && IsSuccess(st)) st = status::kErrorResourceNotFound;
  if (status) *status = st;
  return session;
}

}  // namespace merilog
