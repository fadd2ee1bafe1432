#pragma once
#include <QDialog>
#include <QKeyEvent>

namespace merilog::ui {

// A record dialog over its presentation model: the opening, the modal run,
// Enter handed to the model with the field that has the focus (the dialog
// never closes on it), and the model told when the dialog closes.
template <class Model>
class ModelDialog : public QDialog {
 public:
  ModelDialog(Model& model, QWidget* parent) : QDialog(parent), model_(model) {}

  // Runs the opening and shows the dialog modally.
  int Run() {
    Open();
    return exec();
  }
  // The opening without the modal loop (screenshots, tests).
  void Open() {
    model_.Opening();
    Render();
  }
  virtual void Render() = 0;

 protected:
  virtual void Enter(const QWidget* focus) = 0;

  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      Enter(focusWidget());
      Render();
      event->accept();
      return;
    }
    QDialog::keyPressEvent(event);
  }
  void done(int result) override {
    model_.Closing();
    QDialog::done(result);
  }

  Model& model_;
};

}  // namespace merilog::ui
