#pragma once
#include <QDialog>

#include "core/app/AboutBoxModel.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTabBar;

namespace merilog::ui {

// The About box with its language chooser: renders AboutBoxModel and forwards
// to it. Made anew at every opening.
class AboutDialog : public QDialog {
 public:
  explicit AboutDialog(QWidget* parent = nullptr);

  AboutBoxModel& Model() { return model_; }
  // The link label's rectangle in the dialog's coordinates.
  QRect LinkRect() const;

  // For the screenshot script and tests.
  QTabBar* Tabs() const { return tabs_; }
  QComboBox* LanguageChooser() const { return languages_; }

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Render();

  AboutBoxModel model_;
  QTabBar* tabs_ = nullptr;
  QLabel *icon_ = nullptr, *name_ = nullptr, *version_ = nullptr, *notice_ = nullptr, *link_ = nullptr;
  QComboBox* languages_ = nullptr;
  QPushButton* ok_ = nullptr;
};

// Makes the box and runs it modally; the main window's model decides what follows.
void ShowAboutBox(QWidget* parent);

}  // namespace merilog::ui
