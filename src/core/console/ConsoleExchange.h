#pragma once
#include <QString>
#include <string>

namespace merilog {

class Session;

// The console's three buttons.
enum class ConsoleAction { Query, Write, Read };

// What the received box shows when a Query or Read got no answer, and when a Write failed.
QString NoValueText();      // "Couldn't return a value."
QString WriteFailedText();  // "FAIL."

// An answer as a terminal may show it: control characters (which would move
// the cursor, clear the screen or change the terminal's state) become
// "\n", "\r", "\t" or "\xNN"; everything else stays.
QString EscapeControlCharacters(const QString& text);

// How a press ended: done (an answer, or a write that went out), failed, or
// without a word from the meter (a time-out, or the connection gone).
enum class ConsoleOutcome { Done, Failed, NoAnswer };

struct ConsoleReply {
  QString text;  // the received text
  ConsoleOutcome outcome = ConsoleOutcome::Done;
};

// One press of a console button on the meter's session thread. The send text
// goes out literally ('%' included, any length) with a line feed; an answer is
// read to its end, whatever its length, and loses its trailing white space. A
// null session answers as a silent meter.
ConsoleReply ConsoleExchange(Session* session, ConsoleAction action, const std::string& sendText);

}  // namespace merilog
