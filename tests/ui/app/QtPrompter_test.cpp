// The Qt prompter: what the user presses, or Esc, becomes the answer the logic sees.
#include "ui/app/QtPrompter.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace merilog::ui {
namespace {

// One application object per test program, whichever test file makes it first.
void App() {
  static int argc = 1;
  static char name[] = "merilog-test";
  static char* argv[] = {name, nullptr};
  if (!QApplication::instance()) new QApplication(argc, argv);
}

struct Seen {
  QString text, title;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  int buttons = 0;
};

// Answers the next message box with a button (or Esc when none) and notes what it showed.
void AnswerNextBox(Seen* seen, QMessageBox::StandardButton press) {
  QTimer::singleShot(0, [seen, press] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) {
      ADD_FAILURE() << "no message box";
      return;
    }
    seen->text = box->text();
    seen->title = box->windowTitle();
    seen->icon = box->icon();
    seen->buttons = static_cast<int>(box->standardButtons());
    if (press == QMessageBox::NoButton)
      box->reject();
    else
      box->button(press)->click();
  });
}

TEST(QtPrompter, MessageShowsTextCaptionIconAndButtonsAndReturnsThePress) {
  App();
  QtPrompter prompter;
  Seen seen;
  AnswerNextBox(&seen, QMessageBox::No);
  EXPECT_EQ(prompter.Message("Continue the record?", "ERROR", Prompter::Icon::Exclamation, Prompter::Buttons::YesNo),
            Prompter::Answer::No);
  EXPECT_EQ(seen.text, "Continue the record?");
  EXPECT_EQ(seen.title, "ERROR");
  EXPECT_EQ(seen.icon, QMessageBox::Warning);
  EXPECT_EQ(seen.buttons, static_cast<int>(QMessageBox::Yes | QMessageBox::No));

  AnswerNextBox(&seen, QMessageBox::Ok);
  EXPECT_EQ(prompter.Message("x", "", Prompter::Icon::Stop, Prompter::Buttons::OkCancel), Prompter::Answer::Ok);
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
}

TEST(QtPrompter, EscapeBacksOutOfTheQuestion) {
  App();
  QtPrompter prompter;
  Seen seen;
  AnswerNextBox(&seen, QMessageBox::NoButton);
  EXPECT_EQ(prompter.Message("q", "", Prompter::Icon::Question, Prompter::Buttons::YesNoCancel),
            Prompter::Answer::Cancel);
  AnswerNextBox(&seen, QMessageBox::NoButton);
  EXPECT_EQ(prompter.Message("q", "", Prompter::Icon::None, Prompter::Buttons::Ok), Prompter::Answer::Ok);
}

}  // namespace
}  // namespace merilog::ui
