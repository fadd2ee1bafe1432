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
  bool mapSlot;           // slot goes through the slot map before addressing a session
  bool idnBypassesMap;    // "*IDN?" uses the index it is given (discovery asks before mapping exists)
  bool l0BypassesMap;     // a command containing "L0" uses the index it is given
  bool idnNotSent;        // a command containing "*IDN?" is not sent and answers empty
  bool removeQuotes;      // strips every double quote
  bool removeLineFeeds;   // strips every line feed
  bool tracksConnection;  // keeps the connection flag the acquisition cycle checks
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

// The query of one form on a session it already holds (no slot mapping): sends
// the command and, when it asks for one, reads the answer. A null session
// answers nothing with an invalid-object status. Never throws.
QueryAnswer QueryDevice(Session* session, QueryForm form, const std::string& command);

class DeviceQuery {
 public:
  explicit DeviceQuery(QueryForm form) : form_(form) {}

  // Sessions addressed by index: all raw sessions for the main window, the
  // dialog's own copies for the others. Not owned.
  void SetSessions(std::vector<Session*> sessions) { sessions_ = std::move(sessions); }
  const std::vector<Session*>& Sessions() const { return sessions_; }
  // slot -> session index, for the forms that map slots.
  void SetSlotMap(std::vector<int> map) { slotMap_ = std::move(map); }
  const std::vector<int>& SlotMap() const { return slotMap_; }

  // Sends the command; when it holds "?" after its first character, reads the
  // answer and returns it cleaned as the form prescribes. Never throws.
  std::string Query(int slot, const std::string& command);

  QueryForm Form() const { return form_; }
  Status LastStatus() const { return lastStatus_; }
  // 1 after a successful read, 0 after a failed one (main-window form only).
  int ConnectionFlag() const { return connectionFlag_; }
  void SetConnectionFlag(int flag) { connectionFlag_ = flag; }

 private:
  Session* Resolve(int slot, const std::string& command) const;

  QueryForm form_;
  std::vector<Session*> sessions_;
  std::vector<int> slotMap_;
  Status lastStatus_ = status::kSuccess;
  int connectionFlag_ = 1;
};

// True when the command asks for an answer: a "?" after its first character.
bool CommandExpectsAnswer(const std::string& command);
// Removes trailing blanks, tabs, carriage returns and line feeds.
std::string TrimRight(std::string s);
// Reads one whole answer in pieces of kQueryPieceBytes until its end of message.
ReadResult ReadAnswer(Session& session);

// Whether a meter's function answer (quotes and line feed removed) may go back
// to it inside a command such as "<name>:RANGe:AUTO?": letters, digits and ':'
// only, at most kMaxFunctionNameLength of them. A garbled or hostile answer is
// not echoed back.
constexpr std::size_t kMaxFunctionNameLength = 32;
bool IsFunctionName(std::string_view name);

}  // namespace merilog
