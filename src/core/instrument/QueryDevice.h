#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "core/instrument/Session.h"

namespace merilog {

// The windows that talk to meters each send commands and read answers in a
// slightly different way; one policy per caller keeps those differences in data.
enum class QueryForm { MainWindow, MultipleReadings, DeviceSettings, Scan, ReadingSettings };

// Every form writes the command's bytes as they are and reads an answer to its
// end, so a long answer is never cut nor left to spoil the next query.
struct QueryPolicy {
  bool idnNotSent;       // a command containing "*IDN?" is not sent and answers empty
  bool removeQuotes;     // strips every double quote
  bool removeLineFeeds;  // strips every line feed
};

const QueryPolicy& PolicyFor(QueryForm form);

constexpr std::size_t kQueryPieceBytes = 1024;
// Bound on one answer so a babbling instrument cannot exhaust memory.
constexpr std::size_t kMaxAnswerBytes = 64u << 20;

// One exchange: the command, and the answer when it asks for one.
struct QueryAnswer {
  std::string text;  // cleaned as the form prescribes; empty after a failed read
  Status status = status::kSuccess;
  bool asked = false;  // an answer was read (the command held "?" after its first character)
  bool Failed() const { return asked && !IsSuccess(status); }
};

// The query of one form on a session: sends the command and, when it asks for
// one, reads the answer. A null session answers nothing with an invalid-object
// status. Never throws.
QueryAnswer QueryDevice(Session* session, QueryForm form, const std::string& command);

// True when the command asks for an answer: a "?" after its first character.
bool CommandExpectsAnswer(const std::string& command);
// Removes trailing blanks, tabs, carriage returns and line feeds.
std::string TrimRight(std::string s);
// Reads one whole answer in pieces of kQueryPieceBytes until its end of message.
ReadResult ReadAnswer(Session& session);
// The same, going on from the answer's first piece, already read.
ReadResult ReadAnswer(Session& session, ReadResult first);

// Whether a meter's function answer (quotes and line feed removed) may go back
// to it inside a command such as "<name>:RANGe:AUTO?": letters, digits and ':'
// only, at most kMaxFunctionNameLength of them. A garbled or hostile answer is
// not echoed back.
constexpr std::size_t kMaxFunctionNameLength = 32;
bool IsFunctionName(std::string_view name);

}  // namespace merilog
