#pragma once
#include <optional>

#include "core/base/Prompter.h"

namespace merilog::cli {

// Shows every message box on standard error; a Yes/No question is answered by
// the command line, and refused when it gave no answer; OK/Cancel boxes are
// answered Cancel.
class PrintingPrompter : public Prompter {
 public:
  explicit PrintingPrompter(std::optional<bool> answer = std::nullopt) : answer_(answer) {}
  Answer Message(const QString& text, const QString& caption, Icon icon, Buttons buttons) override;
  QString SaveFileName(const QString&, const QString&, const QString&) override { return {}; }
  std::optional<Rgb> ChooseColour(const Rgb&) override { return std::nullopt; }
  bool refused = false;
  int shown = 0;

 private:
  std::optional<bool> answer_;
};

}  // namespace merilog::cli
