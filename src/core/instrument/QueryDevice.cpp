#include "core/instrument/QueryDevice.h"

#include <algorithm>
#include <cctype>

namespace merilog {

const QueryPolicy& PolicyFor(QueryForm form) {
  //                                  idnNo  quotes lf
  static const QueryPolicy kMain{false, true, false};
  static const QueryPolicy kMultiple{true, false, false};
  static const QueryPolicy kSettings{true, false, false};
  static const QueryPolicy kScan{false, false, true};
  static const QueryPolicy kReading{false, false, false};
  switch (form) {
    case QueryForm::MainWindow:
      return kMain;
    case QueryForm::MultipleReadings:
      return kMultiple;
    case QueryForm::DeviceSettings:
      return kSettings;
    case QueryForm::Scan:
      return kScan;
    case QueryForm::ReadingSettings:
      return kReading;
  }
  return kMain;
}

bool CommandExpectsAnswer(const std::string& command) {
  return command.find('?', 1) != std::string::npos;
}

std::string TrimRight(std::string s) {
  const auto last = s.find_last_not_of(" \t\r\n");
  s.erase(last == std::string::npos ? 0 : last + 1);
  return s;
}

ReadResult ReadAnswer(Session& session) {
  return ReadAnswer(session, session.Read(kQueryPieceBytes));
}

ReadResult ReadAnswer(Session& session, ReadResult all) {
  // Every form reads the whole answer: an answer longer than one piece is kept,
  // not cut at the piece size nor left behind to spoil the next query.
  while (IsSuccess(all.status) && !all.end && all.bytes.size() % kQueryPieceBytes == 0 && !all.bytes.empty() &&
         all.bytes.size() < kMaxAnswerBytes) {
    ReadResult more = session.Read(kQueryPieceBytes);
    all.bytes += more.bytes;
    all.status = more.status;
    all.end = more.end;
    if (more.bytes.size() != kQueryPieceBytes) break;
  }
  return all;
}

QueryAnswer QueryDevice(Session* session, QueryForm form, const std::string& command) {
  const QueryPolicy& p = PolicyFor(form);
  QueryAnswer a;
  if (p.idnNotSent && command.find("*IDN?") != std::string::npos) return a;
  a.asked = CommandExpectsAnswer(command);
  if (!session) {
    a.status = status::kErrorInvalidObject;
    return a;
  }
  if (!a.asked) {
    session->Write(command);
    return a;
  }
  // A failed write shows up as a failed read.
  ReadResult r = ReadAnswer(*session, session->WriteThenRead(command, kQueryPieceBytes));
  a.status = r.status;
  std::string answer = IsSuccess(r.status) ? std::move(r.bytes) : std::string();
  answer.erase(std::find(answer.begin(), answer.end(), '\0'), answer.end());
  if (p.removeQuotes) answer.erase(std::remove(answer.begin(), answer.end(), '"'), answer.end());
  if (p.removeLineFeeds) answer.erase(std::remove(answer.begin(), answer.end(), '\n'), answer.end());
  a.text = TrimRight(std::move(answer));
  return a;
}

bool IsFunctionName(std::string_view name) {
  if (name.empty() || name.size() > kMaxFunctionNameLength) return false;
  for (const char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != ':') return false;
  return true;
}

}  // namespace merilog
