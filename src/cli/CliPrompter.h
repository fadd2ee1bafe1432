#pragma once
#include <QStringList>
#include <cstdio>
#include <optional>

#include "core/base/Prompter.h"

namespace merilog::cli {

// Message boxes become lines on standard error ("caption: text"). A Yes/No
// question is answered by the command line (No when it gave no answer); the
// colour chooser answers with the colour given, if any.
class CliPrompter : public Prompter {
 public:
  explicit CliPrompter(bool yes = false, std::optional<Rgb> colour = std::nullopt) : yes_(yes), colour_(colour) {}

  Answer Message(const QString& text, const QString& caption, Icon, Buttons buttons) override {
    const QString line = caption.isEmpty() ? text : caption + QStringLiteral(": ") + text;
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    shown << text;
    if (buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel) return yes_ ? Answer::Yes : Answer::No;
    return Answer::Ok;
  }
  QString SaveFileName(const QString&, const QString&, const QString&) override { return {}; }
  std::optional<Rgb> ChooseColour(const Rgb&) override { return colour_; }

  // Every text shown, in order.
  QStringList shown;

 private:
  bool yes_;
  std::optional<Rgb> colour_;
};

}  // namespace merilog::cli
