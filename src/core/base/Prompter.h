#pragma once
#include <QString>
#include <optional>

namespace merilog {

struct Rgb {
  int r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

// Every message box, save-file chooser and colour chooser goes through this
// interface, so the logic never touches widgets and tests can answer prompts.
class Prompter {
 public:
  enum class Icon { None, Information, Exclamation, Question, Stop };
  enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
  enum class Answer { Ok, Cancel, Yes, No };

  virtual ~Prompter() = default;
  virtual Answer Message(const QString& text, const QString& caption, Icon icon, Buttons buttons) = 0;
  // Empty string when the user cancels.
  virtual QString SaveFileName(const QString& caption, const QString& suggestedName, const QString& filter) = 0;
  // Empty when the user cancels.
  virtual std::optional<Rgb> ChooseColour(const Rgb& initial) = 0;
};

}  // namespace merilog
