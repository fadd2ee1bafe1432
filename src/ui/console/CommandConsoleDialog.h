#pragma once
#include <QDialog>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace merilog {
class ConsoleModel;
struct DeviceHandOver;
}  // namespace merilog

namespace merilog::ui {

// The Command Control dialog: renders ConsoleModel's state and forwards every
// click to it. The main window keeps one for the whole run.
class CommandConsoleDialog : public QDialog {
 public:
  explicit CommandConsoleDialog(QWidget* parent = nullptr);
  ~CommandConsoleDialog() override;

  // The opening with the meters of the latest discovery, then the modal loop.
  int Run(const DeviceHandOver& devices);
  // The opening without the modal loop (screenshots, tests).
  void Open(const DeviceHandOver& devices);
  void Render();

  ConsoleModel& Model() { return *model_; }
  // For the screenshot script and tests.
  QComboBox* DeviceChooser() const { return chooser_; }
  QLineEdit* SendBox() const { return send_; }
  QComboBox* HistoryList() const { return history_; }
  QPlainTextEdit* ReceivedBox() const { return received_; }
  QPushButton* QueryButton() const { return query_; }
  QPushButton* WriteButton() const { return write_; }
  QPushButton* ReadButton() const { return read_; }
  QPushButton* ExitButton() const { return exit_; }
  QLabel* WaitingLabel() const { return waiting_; }

  // Esc and the close box leave like Exit.
  void reject() override;

 private:
  void Build();
  void Connect();

  std::unique_ptr<ConsoleModel> model_;
  QComboBox* chooser_ = nullptr;
  QLabel *sendCaption_ = nullptr, *receivedCaption_ = nullptr, *waiting_ = nullptr;
  QLineEdit* send_ = nullptr;
  QComboBox* history_ = nullptr;
  QPlainTextEdit* received_ = nullptr;
  QPushButton *query_ = nullptr, *write_ = nullptr, *read_ = nullptr, *exit_ = nullptr;
  int focusRequests_ = 0;
};

}  // namespace merilog::ui
