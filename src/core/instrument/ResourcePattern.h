#pragma once
#include <optional>
#include <regex>
#include <string>

namespace merilog {

// A VISA resource search expression: "?" any one character, "*" zero or more and
// "+" one or more of the preceding element, "[...]" and "[^...]" classes,
// "\" escapes, "(...)" groups, "|" alternatives of whole expressions.
// Matching is case-insensitive and covers the whole resource string.
class ResourcePattern {
 public:
  // Empty when the expression is malformed (unbalanced brackets or groups).
  static std::optional<ResourcePattern> Compile(const std::string& expression);
  bool Matches(const std::string& resource) const;

 private:
  explicit ResourcePattern(std::regex re) : re_(std::move(re)) {}
  std::regex re_;
};

bool MatchResourcePattern(const std::string& expression, const std::string& resource);

}  // namespace merilog
