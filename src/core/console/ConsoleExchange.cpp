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

QString ConsoleExchange(Session* session, ConsoleAction action, const std::string& sendText) {
  if (!session) return action == ConsoleAction::Write ? WriteFailedText() : NoValueText();
  if (action != ConsoleAction::Read) {
    const Status written = session->Write(sendText + '\n');
    if (action == ConsoleAction::Write) return IsSuccess(written) ? QString() : WriteFailedText();
  }
  ReadResult r = ReadAnswer(*session);
  if (!IsSuccess(r.status)) return NoValueText();
  return QString::fromUtf8(TrimRight(std::move(r.bytes)));
}

}  // namespace merilog
