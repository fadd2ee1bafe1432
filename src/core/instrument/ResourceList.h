#pragma once
#include <string>
#include <vector>

namespace merilog {

// Resource strings name one instrument whatever the case of their letters.
bool ListsResource(const std::vector<std::string>& list, const std::string& resource);
// Appends each of more not in into yet, so one named twice is listed once.
void AppendNewResources(std::vector<std::string>& into, const std::vector<std::string>& more);

}  // namespace merilog
