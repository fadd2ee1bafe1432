#include "core/console/ConsoleExchange.h"

#include "core/instrument/QueryDevice.h"
#include "core/instrument/Session.h"

namespace merilog {

QString NoValueText() {
  return QStringLiteral("Couldn't return a value.");
}

QString WriteFailedText() {
  return QStringLiteral("FAIL.");
}

QString EscapeControlCharacters(const QString& text) {
  QString shown;
  shown.reserve(text.size());
  for (const QChar c : text) {
    if (c.category() != QChar::Other_Control) {
      shown += c;
    } else if (c == u'\n') {
      shown += QStringLiteral("\\n");
    } else if (c == u'\r') {
      shown += QStringLiteral("\\r");
    } else if (c == u'\t') {
      shown += QStringLiteral("\\t");
    } else {
      shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
    }
  }
  return shown;
}

namespace {

ConsoleOutcome OutcomeOf(Status status) {
  if (IsSuccess(status)) return ConsoleOutcome::Done;
  return status == status::kErrorTimeout || status == status::kErrorConnectionLost ? ConsoleOutcome::NoAnswer
                                                                                   : ConsoleOutcome::Failed;
}

}  // namespace

ConsoleReply ConsoleExchange(Session* session, ConsoleAction action, const std::string& sendText) {
  if (!session) return {action == ConsoleAction::Write ? WriteFailedText() : NoValueText(), ConsoleOutcome::NoAnswer};
  if (action != ConsoleAction::Read) {
    const Status written = session->Write(sendText + '\n');
    if (action == ConsoleAction::Write) return {IsSuccess(written) ? QString() : WriteFailedText(), OutcomeOf(written)};
  }
  ReadResult r = ReadAnswer(*session);
  if (!IsSuccess(r.status)) return {NoValueText(), OutcomeOf(r.status)};
  return {QString::fromUtf8(TrimRight(std::move(r.bytes))), ConsoleOutcome::Done};
}

}  // namespace merilog
