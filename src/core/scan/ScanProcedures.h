#pragma once
#include <string>
#include <vector>

#include "core/instrument/QueryDevice.h"

namespace merilog {

// The exchanges of the scan dialog with one meter, as plain procedures over its
// session: they run on the meter's session thread, and tests call them directly.
// Every one goes through the scan form of the query.

// Read time-out of every session the scan dialog opens.
inline constexpr int kScanSessionTimeoutMs = 30000;

// The identification of a search candidate: sets the time-out, sends "L0\n"
// (its answer is not read) and asks "*IDN?\n". Empty when it did not answer.
std::string IdentifyScanCandidate(Session* session);
// A scanner-capable meter names "P7700A" in its identification, though not as
// its very first characters.
bool IsScannerIdentification(const std::string& identification);

// The card size and the functions configured per channel.
struct CardReadBack {
  bool answered = false;                     // every question was answered
  std::string state;                         // the answer to "Rout:state?\n"
  int channelCount = 0;                      // 10 or 20; 0 without a card
  std::vector<std::string> functionAnswers;  // "Rout:scan:func? %d\n" for channels 1..channelCount
  std::string firstChannelAgain;             // channel 1 asked once more, for the selector
};
// The card size from a state answer: 10 when it starts with "1", 20 with "2", else 0.
int ChannelCountFromState(const std::string& state);
CardReadBack ReadScannerCard(Session* session);

// Sends each command in order. A failed write shows up at the next question.
void SendScanCommands(Session* session, const std::vector<std::string>& commands);

}  // namespace merilog
