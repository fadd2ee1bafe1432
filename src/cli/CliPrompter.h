#pragma once
#include <QStringList>
#include <optional>

#include "core/base/Prompter.h"

namespace merilog::cli {

// The one prompter of every subcommand: message boxes become lines on standard
// error ("caption: text"). A Yes/No or OK/Cancel question takes the answer the
// command line gave (--yes/--no), and is refused, with a note, when it gave none.
// The file and colour choosers answer with what the command line named.
class CliPrompter : public Prompter {
 public:
  explicit CliPrompter(std::optional<bool> answer = std::nullopt) : answer_(answer) {}
  // For a command whose questions change nothing that follows (the Device
  // Settings dialog's "Shift ..." boxes): each is printed as a notice alone.
  enum NoticesOnly { Notices };
  explicit CliPrompter(NoticesOnly) : notices_(true) {}
  Answer Message(const QString& text, const QString& caption, Icon icon, Buttons buttons) override;
  QString SaveFileName(const QString&, const QString&, const QString&) override { return saveName; }
  std::optional<Rgb> ChooseColour(const Rgb&) override { return colour; }

  QString saveName;
  std::optional<Rgb> colour;
  // Every text shown, in order.
  QStringList shown;

 private:
  std::optional<bool> answer_;
  bool notices_ = false;
};

}  // namespace merilog::cli
