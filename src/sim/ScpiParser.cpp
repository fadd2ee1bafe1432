#include "sim/ScpiParser.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace merilog::sim {

std::string ToUpper(std::string_view text) {
  std::string s(text);
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string_view Trim(std::string_view text) {
  const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> SplitProgramMessage(std::string_view message) {
  std::vector<std::string_view> parts;
  char quote = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < message.size(); ++i) {
    const char c = message[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == ';') {
      parts.push_back(message.substr(start, i - start));
      start = i + 1;
    }
  }
  parts.push_back(message.substr(start));
  return parts;
}

bool ParseCommand(std::string_view text, ScpiCommand* out) {
  *out = ScpiCommand{};
  text = Trim(text);
  if (text.empty()) return false;
  std::size_t headerEnd = 0;
  while (headerEnd < text.size() && text[headerEnd] != ' ' && text[headerEnd] != '\t') ++headerEnd;
  std::string_view header = text.substr(0, headerEnd);
  const std::string_view rest = Trim(text.substr(headerEnd));

  if (header.back() == '?') {
    out->query = true;
    header.remove_suffix(1);
  }
  if (!header.empty() && header.front() == '*') {
    out->common = true;
    header.remove_prefix(1);
  } else if (!header.empty() && header.front() == ':') {
    out->absolute = true;
    header.remove_prefix(1);
  }
  if (header.empty()) return false;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= header.size(); ++i) {
    if (i == header.size() || header[i] == ':') {
      if (i == start) return false;  // empty node, as in "VOLT::DC"
      out->nodes.push_back(ToUpper(header.substr(start, i - start)));
      start = i + 1;
    } else {
      const unsigned char c = static_cast<unsigned char>(header[i]);
      if (!std::isalnum(c) && c != '_') return false;
    }
  }
  if (out->common && out->nodes.size() != 1) return false;

  if (!rest.empty()) {
    char quote = 0;
    std::size_t p = 0;
    for (std::size_t i = 0; i <= rest.size(); ++i) {
      if (i < rest.size() && quote) {
        if (rest[i] == quote) quote = 0;
        continue;
      }
      if (i < rest.size() && (rest[i] == '"' || rest[i] == '\'')) {
        quote = rest[i];
        continue;
      }
      if (i == rest.size() || rest[i] == ',') {
        out->params.emplace_back(Trim(rest.substr(p, i - p)));
        p = i + 1;
      }
    }
    if (quote) return false;  // unterminated string
  }
  return true;
}

ScpiKeyword::ScpiKeyword(std::string_view desc) {
  for (char c : desc) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (std::isupper(u) || std::isdigit(u)) short_ += c;
  }
  long_ = ToUpper(desc);
}

ScpiPattern::ScpiPattern(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    Element e;
    if (text[i] == '[') {
      e.optional = true;
      ++i;
    }
    if (i < text.size() && text[i] == ':') ++i;
    std::size_t j = i;
    while (j < text.size() && text[j] != ':' && text[j] != '[' && text[j] != ']') ++j;
    const std::string_view word = text.substr(i, j - i);
    if (word == "{F}")
      e.isSlot = true;
    else
      e.keyword = ScpiKeyword(word);
    if (j < text.size() && text[j] == ':' && e.optional) ++j;  // "[SENSe:]"
    if (j < text.size() && text[j] == ']') ++j;
    elements_.push_back(e);
    i = j;
  }
}

bool ScpiPattern::MatchFrom(std::size_t i, const std::vector<std::string>& nodes, std::size_t j,
                            const std::vector<ScpiPattern>* slotChoices, int* slot,
                            const std::function<bool(std::size_t)>& rest) const {
  if (i == elements_.size()) return rest(j);
  const Element& e = elements_[i];
  if (e.isSlot) {
    if (!slotChoices) return false;
    for (std::size_t k = 0; k < slotChoices->size(); ++k) {
      const auto after = [&](std::size_t j2) { return MatchFrom(i + 1, nodes, j2, slotChoices, slot, rest); };
      if ((*slotChoices)[k].MatchFrom(0, nodes, j, nullptr, nullptr, after)) {
        if (slot) *slot = static_cast<int>(k);
        return true;
      }
    }
    return false;
  }
  if (j < nodes.size() && e.keyword.Matches(nodes[j]) && MatchFrom(i + 1, nodes, j + 1, slotChoices, slot, rest))
    return true;
  return e.optional && MatchFrom(i + 1, nodes, j, slotChoices, slot, rest);
}

bool ScpiPattern::Match(const std::vector<std::string>& nodes, const std::vector<ScpiPattern>* slotChoices,
                        int* slot) const {
  if (slot) *slot = -1;
  return MatchFrom(0, nodes, 0, slotChoices, slot, [&](std::size_t j) { return j == nodes.size(); });
}

bool ParseScpiNumber(std::string_view text, double* value) {
  text = Trim(text);
  if (text.empty()) return false;
  const std::string s(text);
  char* end = nullptr;
  const double v = std::strtod(s.c_str(), &end);
  if (end == s.c_str() || !std::isfinite(v)) return false;
  std::string_view unit = Trim(std::string_view(end));
  double scale = 1.0;
  if (unit.size() >= 2) {
    // An SI prefix in front of a unit word: "100 mV", "1 uF", "10 kOHM", "1 MOHM".
    static const std::string_view kUnits[] = {"V", "A", "OHM", "HZ", "F", "S", "VAC", "VDC", "AAC", "ADC"};
    const std::string upperRest = ToUpper(unit.substr(1));
    bool knownUnit = false;
    for (auto u : kUnits) knownUnit = knownUnit || upperRest == u;
    if (knownUnit) {
      switch (unit.front()) {
        case 'p':
          scale = 1e-12;
          break;
        case 'n':
          scale = 1e-9;
          break;
        case 'u':
          scale = 1e-6;
          break;
        case 'm':
          scale = 1e-3;
          break;
        case 'k':
        case 'K':
          scale = 1e3;
          break;
        case 'M':
          scale = 1e6;
          break;
        case 'G':
          scale = 1e9;
          break;
        default:
          break;
      }
    }
  }
  for (char c : unit)
    if (!std::isalpha(static_cast<unsigned char>(c))) return false;
  if (!std::isfinite(v * scale)) return false;  // "1E308 GV"
  *value = v * scale;
  return true;
}

std::optional<bool> ParseScpiBool(std::string_view text) {
  const std::string u = ToUpper(Trim(text));
  if (u == "ON") return true;
  if (u == "OFF") return false;
  double v = 0;
  if (ParseScpiNumber(u, &v)) return std::fabs(v) >= 0.5;  // rounds to a whole number other than 0
  return std::nullopt;
}

std::string Unquote(std::string_view text) {
  text = Trim(text);
  if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front())
    return std::string(text.substr(1, text.size() - 2));
  return std::string(text);
}

std::string FormatReal(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%+.8E", v);
  return buf;
}

std::string Quote(std::string_view text) {
  std::string s;
  s.reserve(text.size() + 2);
  s += '"';
  s += text;
  s += '"';
  return s;
}

}  // namespace merilog::sim
