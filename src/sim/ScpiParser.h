#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace merilog::sim {

// One command of a program message, e.g. "SENS:VOLT:DC:RANG 10" or "func?".
struct ScpiCommand {
  std::vector<std::string> nodes;  // header nodes, upper-cased, without ':' and '?'
  bool common = false;             // "*IDN?" and the other IEEE 488.2 common commands
  bool query = false;
  bool absolute = false;            // the header began with ':'
  std::vector<std::string> params;  // trimmed parameters, quotes kept
};

// Splits one program message (without its line feed) at ';' outside quotes.
std::vector<std::string_view> SplitProgramMessage(std::string_view message);
// Parses one command; false when it is not a well-formed header.
bool ParseCommand(std::string_view text, ScpiCommand* out);

// A keyword in SCPI notation: the upper-case letters and digits form the short
// form ("VOLTage" -> VOLT), the whole word upper-cased the long form.
class ScpiKeyword {
 public:
  explicit ScpiKeyword(std::string_view desc);
  // node must already be upper case.
  bool Matches(std::string_view node) const { return node == short_ || node == long_; }

 private:
  std::string short_;
  std::string long_;
};

// A header pattern such as "[SENSe:]{F}:RANGe[:UPPer]": nodes separated by ':',
// a node in brackets is optional, "{F}" stands for one of a list of function paths.
class ScpiPattern {
 public:
  explicit ScpiPattern(std::string_view text);
  // Whole-header match. slotChoices are tried for "{F}"; the chosen one's index
  // is stored in *slot (-1 when the pattern has no slot).
  bool Match(const std::vector<std::string>& nodes, const std::vector<ScpiPattern>* slotChoices = nullptr,
             int* slot = nullptr) const;

 private:
  struct Element {
    bool isSlot = false;
    bool optional = false;
    ScpiKeyword keyword{""};
  };
  bool MatchFrom(std::size_t i, const std::vector<std::string>& nodes, std::size_t j,
                 const std::vector<ScpiPattern>* slotChoices, int* slot,
                 const std::function<bool(std::size_t)>& rest) const;
  std::vector<Element> elements_;
};

// Parameter helpers. Numbers may carry a unit ("0.1 V", "10000 ", "1 mV").
bool ParseScpiNumber(std::string_view text, double* value);
std::optional<bool> ParseScpiBool(std::string_view text);
std::string Unquote(std::string_view text);
std::string ToUpper(std::string_view text);
std::string_view Trim(std::string_view text);

// Answer formats of the meter family.
std::string FormatReal(double v);  // "+1.23456789E+00"
std::string Quote(std::string_view text);

}  // namespace merilog::sim
