#pragma once
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/base/Prompter.h"

namespace merilog::test {

// Records every prompt and answers from queues; an unexpected message box fails the test.
class ScriptedPrompter : public Prompter {
 public:
  struct Shown {
    QString text, caption;
    Icon icon;
    Buttons buttons;
  };

  void ExpectMessage(Answer a) { answers_.push_back(a); }
  void ExpectSaveName(QString name) { saveNames_.push_back(std::move(name)); }
  void ExpectColour(std::optional<Rgb> c) { colours_.push_back(c); }

  Answer Message(const QString& text, const QString& caption, Icon icon, Buttons buttons) override {
    shown.push_back({text, caption, icon, buttons});
    if (onMessage) onMessage();
    if (answers_.empty()) {
      ADD_FAILURE() << "unexpected message: " << text.toStdString();
      return buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
    }
    Answer a = answers_.front();
    answers_.pop_front();
    return a;
  }
  QString SaveFileName(const QString&, const QString&, const QString&) override {
    if (saveNames_.empty()) {
      ADD_FAILURE() << "unexpected save-file chooser";
      return {};
    }
    QString n = saveNames_.front();
    saveNames_.pop_front();
    return n;
  }
  std::optional<Rgb> ChooseColour(const Rgb&) override {
    if (colours_.empty()) {
      ADD_FAILURE() << "unexpected colour chooser";
      return std::nullopt;
    }
    auto c = colours_.front();
    colours_.pop_front();
    return c;
  }
  bool AllAnswersUsed() const { return answers_.empty() && saveNames_.empty() && colours_.empty(); }

  std::vector<Shown> shown;
  // Runs while each message shows: tests look at the window behind it.
  std::function<void()> onMessage;

 private:
  std::deque<Answer> answers_;
  std::deque<QString> saveNames_;
  std::deque<std::optional<Rgb>> colours_;
};

}  // namespace merilog::test
