#pragma once
#include <optional>

#include "core/base/Prompter.h"

namespace merilog::cli {

// Message boxes of the models a subcommand drives become lines on standard
// error ("caption: text"). A question takes the answer given on the command
// line (--yes), else No.
class CliPrompter : public Prompter {
 public:
  explicit CliPrompter(std::optional<bool> answer = std::nullopt) : answer_(answer) {}
  Answer Message(const QString& text, const QString& caption, Icon icon, Buttons buttons) override;
  QString SaveFileName(const QString&, const QString&, const QString&) override { return {}; }
  std::optional<Rgb> ChooseColour(const Rgb&) override { return std::nullopt; }

  int Shown() const { return shown_; }

 private:
  std::optional<bool> answer_;
  int shown_ = 0;
};

}  // namespace merilog::cli
