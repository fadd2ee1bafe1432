#include "cli/CliPrompter.h"

#include <cstdio>

namespace merilog::cli {

Prompter::Answer CliPrompter::Message(const QString& text, const QString& caption, Icon, Buttons buttons) {
  ++shown_;
  const QString line = caption.isEmpty() ? text : caption + QStringLiteral(": ") + text;
  std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
  switch (buttons) {
    case Buttons::Ok:
      return Answer::Ok;
    case Buttons::OkCancel:
      return answer_.value_or(false) ? Answer::Ok : Answer::Cancel;
    case Buttons::YesNo:
    case Buttons::YesNoCancel:
      return answer_.value_or(false) ? Answer::Yes : Answer::No;
  }
  return Answer::Cancel;
}

}  // namespace merilog::cli
