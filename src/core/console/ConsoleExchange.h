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

// One press of a console button on the meter's session thread; returns the
// received text. The send text goes out literally ('%' included, any length)
// with a line feed; an answer is read to its end, whatever its length, and
// loses its trailing white space. A null session answers as a silent meter.
QString ConsoleExchange(Session* session, ConsoleAction action, const std::string& sendText);

}  // namespace merilog
