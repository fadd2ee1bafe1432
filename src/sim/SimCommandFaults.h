#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "sim/ScpiParser.h"

namespace merilog::sim {

// Misbehaviour of single commands, so that tests reach the program's paths for
// a setting the meter will not take or an answer it did not expect. Headers are
// given as SCPI patterns ("[SENSe:]VOLTage[:DC]:RANGe"), matched in either form.
class SimCommandFaults {
 public:
  // The meter takes matching setting commands without effect and queues a
  // settings-conflict error (-221).
  void Refuse(std::string_view header);
  // Matching queries are answered with this text instead (a line feed follows).
  void Answer(std::string_view header, std::string text);
  void Clear() { rules_.clear(); }

  enum class Action { None, Refuse, Answer };
  // What to do with a parsed command; *answer is set for Action::Answer.
  Action Find(const ScpiCommand& cmd, std::string* answer) const;

 private:
  struct Rule {
    ScpiPattern header;
    bool query;
    std::string answer;
  };
  std::vector<Rule> rules_;
};

}  // namespace merilog::sim
