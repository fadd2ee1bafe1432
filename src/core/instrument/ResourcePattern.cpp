#include "core/instrument/ResourcePattern.h"

namespace merilog {
namespace {

bool IsRegexSpecial(char c) {
  static const std::string kSpecial = R"(\^$.|?*+()[]{}/)";
  return kSpecial.find(c) != std::string::npos;
}

void AppendLiteral(std::string& out, char c) {
  if (IsRegexSpecial(c)) out += '\\';
  out += c;
}

// Translates to an ECMAScript regular expression; nullopt on a malformed expression.
std::optional<std::string> Translate(const std::string& in) {
  std::string out;
  bool haveAtom = false;  // whether "*" or "+" has something to repeat
  int depth = 0;
  for (std::size_t i = 0; i < in.size(); ++i) {
    const char c = in[i];
    switch (c) {
      case '\\':
        if (i + 1 >= in.size()) return std::nullopt;
        AppendLiteral(out, in[++i]);
        haveAtom = true;
        break;
      case '?':
        out += '.';
        haveAtom = true;
        break;
      case '*':
      case '+':
        // A leading repeat has nothing before it; read it as "any characters".
        if (!haveAtom) out += '.';
        out += c;
        haveAtom = false;
        break;
      case '[': {
        std::size_t j = i + 1;
        std::string cls = "[";
        if (j < in.size() && in[j] == '^') {
          cls += '^';
          ++j;
        }
        bool closed = false;
        bool first = true;
        for (; j < in.size(); ++j) {
          const char d = in[j];
          if (d == ']' && !first) {
            closed = true;
            break;
          }
          first = false;
          if (d == '\\' || d == '[' || d == ']' || d == '^') cls += '\\';
          cls += d;
        }
        if (!closed) return std::nullopt;
        out += cls + ']';
        i = j;
        haveAtom = true;
        break;
      }
      case '(':
        ++depth;
        out += '(';
        haveAtom = false;
        break;
      case ')':
        if (--depth < 0) return std::nullopt;
        out += ')';
        haveAtom = true;
        break;
      case '|':
        out += '|';
        haveAtom = false;
        break;
      default:
        AppendLiteral(out, c);
        haveAtom = true;
        break;
    }
  }
  if (depth != 0) return std::nullopt;
  return out;
}

}  // namespace

std::optional<ResourcePattern> ResourcePattern::Compile(const std::string& expression) {
  auto translated = Translate(expression);
  if (!translated) return std::nullopt;
  try {
    return ResourcePattern(std::regex("(?:" + *translated + ")", std::regex::ECMAScript | std::regex::icase));
  } catch (const std::regex_error&) {
    return std::nullopt;
  }
}

bool ResourcePattern::Matches(const std::string& resource) const { return std::regex_match(resource, re_); }

bool MatchResourcePattern(const std::string& expression, const std::string& resource) {
  auto p = ResourcePattern::Compile(expression);
  return p && p->Matches(resource);
}

}  // namespace merilog
