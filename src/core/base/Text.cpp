#include "core/base/Text.h"

#include <algorithm>

namespace merilog {

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

bool ContainsAny(std::string_view text, std::initializer_list<std::string_view> parts) {
  return std::any_of(parts.begin(), parts.end(), [&](std::string_view p) { return Contains(text, p); });
}

bool FoundAfterFirstCharacter(std::string_view text, std::string_view part) {
  const auto at = text.find(part);
  return at != std::string_view::npos && at > 0;
}

std::string StripQuotesAndLineFeeds(std::string text) {
  text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return c == '"' || c == '\n'; }), text.end());
  return text;
}

}  // namespace merilog
