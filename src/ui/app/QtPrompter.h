#pragma once
#include <QPointer>
#include <QWidget>

#include "core/base/Prompter.h"

namespace merilog::ui {

// The prompter of the running program: modal Qt message boxes, save-file and
// colour choosers, centred on a parent window.
class QtPrompter : public Prompter {
 public:
  explicit QtPrompter(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  Answer Message(const QString& text, const QString& caption, Icon icon, Buttons buttons) override;
  QString SaveFileName(const QString& caption, const QString& suggestedName, const QString& filter) override;
  std::optional<Rgb> ChooseColour(const Rgb& initial) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace merilog::ui
