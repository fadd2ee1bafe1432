#include "cli/CliPrompter.h"

#include <cstdio>

namespace merilog::cli {

Prompter::Answer CliPrompter::Message(const QString& text, const QString& caption, Icon, Buttons buttons) {
  shown << text;
  const QString line = caption.isEmpty() ? text : caption + QStringLiteral(": ") + text;
  std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
  if (buttons == Buttons::Ok) return Answer::Ok;
  if (notices_) return buttons == Buttons::OkCancel ? Answer::Ok : Answer::Yes;
  if (!answer_)
    std::fprintf(stderr, "merilog-cli: no answer given on the command line (--yes); not continuing\n");
  else
    std::fprintf(stderr, "%s\n", *answer_ ? "yes" : "no");
  const bool yes = answer_.value_or(false);
  if (buttons == Buttons::OkCancel) return yes ? Answer::Ok : Answer::Cancel;
  return yes ? Answer::Yes : Answer::No;
}

}  // namespace merilog::cli
