#include "ui/app/QtPrompter.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace merilog::ui {

namespace {

QMessageBox::Icon ToQt(Prompter::Icon icon) {
  switch (icon) {
    case Prompter::Icon::Information:
      return QMessageBox::Information;
    case Prompter::Icon::Exclamation:
      return QMessageBox::Warning;
    case Prompter::Icon::Question:
      return QMessageBox::Question;
    case Prompter::Icon::Stop:
      return QMessageBox::Critical;
    case Prompter::Icon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQt(Prompter::Buttons buttons) {
  switch (buttons) {
    case Prompter::Buttons::OkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case Prompter::Buttons::YesNo:
      return QMessageBox::Yes | QMessageBox::No;
    case Prompter::Buttons::YesNoCancel:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case Prompter::Buttons::Ok:
      break;
  }
  return QMessageBox::Ok;
}

}  // namespace

Prompter::Answer QtPrompter::Message(const QString& text, const QString& caption, Icon icon, Buttons buttons) {
  QMessageBox box(ToQt(icon), caption, text, ToQt(buttons), parent_);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return Answer::Yes;
    case QMessageBox::No:
      return Answer::No;
    case QMessageBox::Ok:
      return Answer::Ok;
    default:
      break;
  }
  // Esc or the close box: the button that backs out of the question.
  switch (buttons) {
    case Buttons::Ok:
      return Answer::Ok;
    case Buttons::YesNo:
      return Answer::No;
    default:
      return Answer::Cancel;
  }
}

QString QtPrompter::SaveFileName(const QString& caption, const QString& suggestedName, const QString& filter) {
  return QFileDialog::getSaveFileName(parent_, caption, suggestedName, filter);
}

std::optional<Rgb> QtPrompter::ChooseColour(const Rgb& initial) {
  const QColor chosen = QColorDialog::getColor(QColor(initial.r, initial.g, initial.b), parent_);
  if (!chosen.isValid()) return std::nullopt;
  return Rgb{chosen.red(), chosen.green(), chosen.blue()};
}

}  // namespace merilog::ui
