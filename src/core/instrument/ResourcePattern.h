#pragma once
#include <bitset>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace merilog {

// A VISA resource search expression: "?" any one character, "*" zero or more and
// "+" one or more of the preceding element, "[...]" and "[^...]" classes,
// "\" escapes, "(...)" groups, "|" alternatives of whole expressions.
// Matching is case-insensitive and covers the whole resource string.
//
// Patterns and resources come from users and instruments, so the expression
// is parsed without recursion into a small automaton that is run over the
// resource once, all its states at a time: time grows with the resource's
// length times the pattern's, never exponentially, and the stack never deepens.
class ResourcePattern {
 public:
  static constexpr std::size_t kMaxPatternLength = 256;
  // No resource of any bus comes near this; a longer one matches nothing.
  static constexpr std::size_t kMaxResourceLength = 1024;

  // Empty when the expression is malformed (unbalanced brackets or groups, a
  // reversed range, a trailing "\") or too long; why says which.
  static std::optional<ResourcePattern> Compile(std::string_view expression, std::string* why = nullptr);
  bool Matches(std::string_view resource) const;

 private:
  struct State {
    enum class Kind { Char, Split, Empty, Match } kind;
    int set = -1;  // Char: index into sets_
    int out = -1, out1 = -1;
  };
  ResourcePattern() = default;

  std::vector<State> states_;
  std::vector<std::bitset<256>> sets_;  // the bytes each Char state takes, both cases included
  int start_ = -1;
};

bool MatchResourcePattern(std::string_view expression, std::string_view resource);

}  // namespace merilog
