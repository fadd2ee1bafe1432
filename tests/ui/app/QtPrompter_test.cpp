// The Qt prompter: what the user presses, or Esc, becomes the answer the logic sees.
#include "ui/app/QtPrompter.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "../widgets/WidgetTestApp.h"

namespace merilog::ui {
namespace {

// Answers the next message box with a button (or Esc when none) and keeps a note of the box.
void AnswerNextBox(QMessageBox::StandardButton press, QString* seen = nullptr) {
  QTimer::singleShot(0, [seen, press] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr) << "no message box";
    if (seen)
      *seen =
          QString("%1|%2|%3|%4").arg(box->text(), box->windowTitle()).arg(box->icon()).arg(int(box->standardButtons()));
    if (press == QMessageBox::NoButton)
      box->reject();
    else
      box->button(press)->click();
  });
}

TEST(QtPrompter, BoxShowsTheMessageAndThePressOrEscIsTheAnswer) {
  test::App();
  QtPrompter p;
  QString seen;
  AnswerNextBox(QMessageBox::No, &seen);
  EXPECT_EQ(p.Message("Continue the record?", "ERROR", Prompter::Icon::Exclamation, Prompter::Buttons::YesNo),
            Prompter::Answer::No);
  EXPECT_EQ(seen, QString("Continue the record?|ERROR|%1|%2")
                      .arg(QMessageBox::Warning)
                      .arg(int(QMessageBox::Yes | QMessageBox::No)));
  AnswerNextBox(QMessageBox::Ok, &seen);
  EXPECT_EQ(p.Message("x", "", Prompter::Icon::Stop, Prompter::Buttons::OkCancel), Prompter::Answer::Ok);
  EXPECT_TRUE(seen.startsWith(QString("x||%1|").arg(QMessageBox::Critical))) << seen.toStdString();

  // Esc backs out of a question, and is the only answer a plain message has.
  AnswerNextBox(QMessageBox::NoButton);
  EXPECT_EQ(p.Message("q", "", Prompter::Icon::Question, Prompter::Buttons::YesNoCancel), Prompter::Answer::Cancel);
  AnswerNextBox(QMessageBox::NoButton);
  EXPECT_EQ(p.Message("q", "", Prompter::Icon::None, Prompter::Buttons::Ok), Prompter::Answer::Ok);
}

}  // namespace
}  // namespace merilog::ui
