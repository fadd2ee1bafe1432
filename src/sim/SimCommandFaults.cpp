#include "sim/SimCommandFaults.h"

namespace merilog::sim {

void SimCommandFaults::Refuse(std::string_view header) {
  rules_.push_back({ScpiPattern(header), false, {}});
}

void SimCommandFaults::Answer(std::string_view header, std::string text) {
  rules_.push_back({ScpiPattern(header), true, std::move(text)});
}

SimCommandFaults::Action SimCommandFaults::Find(const ScpiCommand& cmd, std::string* answer) const {
  for (const Rule& rule : rules_) {
    if (rule.query != cmd.query || cmd.common || !rule.header.Match(cmd.nodes)) continue;
    if (!rule.query) return Action::Refuse;
    *answer = rule.answer;
    return Action::Answer;
  }
  return Action::None;
}

}  // namespace merilog::sim
