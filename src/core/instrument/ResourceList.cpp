#include "core/instrument/ResourceList.h"

#include <algorithm>

#include "core/base/Text.h"

namespace merilog {

bool ListsResource(const std::vector<std::string>& list, const std::string& resource) {
  const std::string key = Upper(resource);
  return std::any_of(list.begin(), list.end(), [&](const std::string& r) { return Upper(r) == key; });
}

void AppendNewResources(std::vector<std::string>& into, const std::vector<std::string>& more) {
  for (const std::string& r : more)
    if (!ListsResource(into, r)) into.push_back(r);
}

}  // namespace merilog
