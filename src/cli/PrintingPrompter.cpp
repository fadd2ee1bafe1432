#include "cli/PrintingPrompter.h"

#include <iostream>

namespace merilog::cli {

Prompter::Answer PrintingPrompter::Message(const QString& text, const QString& caption, Icon, Buttons buttons) {
  ++shown;
  std::cerr << (caption.isEmpty() ? "" : caption.toStdString() + ": ") << text.toStdString() << "\n";
  if (buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel) {
    if (!answer_) {
      std::cerr << "merilog-cli: no answer given (--yes or --no); not continuing\n";
      refused = true;
      return Answer::No;
    }
    std::cerr << (*answer_ ? "yes" : "no") << "\n";
    return *answer_ ? Answer::Yes : Answer::No;
  }
  return buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
}

}  // namespace merilog::cli
