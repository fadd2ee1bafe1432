#include "core/scan/ScanProcedures.h"

#include "core/base/Text.h"

namespace merilog {

std::string IdentifyScanCandidate(Session* session) {
  if (!session) return {};
  session->SetTimeout(kScanSessionTimeoutMs);
  QueryDevice(session, QueryForm::Scan, "L0\n");
  return QueryDevice(session, QueryForm::Scan, "*IDN?\n").text;
}

bool IsScannerIdentification(const std::string& identification) {
  return FoundAfterFirstCharacter(identification, "P7700A");
}

int ChannelCountFromState(const std::string& state) {
  if (state.empty()) return 0;
  if (state.front() == '1') return 10;
  return state.front() == '2' ? 20 : 0;
}

CardReadBack ReadScannerCard(Session* session) {
  CardReadBack card;
  const QueryAnswer state = QueryDevice(session, QueryForm::Scan, "Rout:state?\n");
  card.state = state.text;
  card.answered = !state.Failed();
  card.channelCount = ChannelCountFromState(card.state);
  if (!card.answered || card.channelCount == 0) return card;
  for (int c = 1; c <= card.channelCount; ++c) {
    const QueryAnswer a = QueryDevice(session, QueryForm::Scan, "Rout:scan:func? " + std::to_string(c) + "\n");
    // A meter that stops answering is not asked twenty times for nothing.
    if (a.Failed()) return card.answered = false, card;
    card.functionAnswers.push_back(a.text);
  }
  const QueryAnswer again = QueryDevice(session, QueryForm::Scan, "Rout:scan:func? 1\n");
  card.answered = !again.Failed();
  card.firstChannelAgain = again.text;
  return card;
}

void SendScanCommands(Session* session, const std::vector<std::string>& commands) {
  for (const std::string& command : commands) QueryDevice(session, QueryForm::Scan, command);
}

}  // namespace merilog
