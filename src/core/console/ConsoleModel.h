#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "core/base/ControlState.h"
#include "core/base/WorkerThread.h"
#include "core/console/CommandHistory.h"
#include "core/console/ConsoleExchange.h"
#include "core/instrument/DeviceHandOver.h"

namespace merilog {

// Everything the Command Control dialog shows.
struct ConsoleView {
  QString title, sendCaption, receivedCaption, queryText, writeText, readText, exitText;

  ControlState chooser, sendBox, receivedBox, queryButton, writeButton, readButton, exitButton;
  QStringList deviceNames;
  int currentDevice = -1;
  QString chooserText;  // shown by an empty chooser: "No Device Connected"

  QString sendText;
  QString receivedText;

  ControlState history{false, true};  // hidden until the first command is sent
  QStringList historyEntries;
  int historySelected = -1;

  // An exchange is under way; the buttons wait, Exit does not.
  bool waiting = false;
  QString waitingText;

  // Grows each time the focus goes back into the send box.
  int focusRequests = 0;
};

// The command console: sends the send text to the chosen meter (Query, Write)
// and reads its answer (Query, Read). Each exchange runs on the meter's session
// thread, so a silent meter never holds the dialog: it shows that it waits,
// and Exit works. The main window keeps one for the whole run; each opening
// starts afresh.
class ConsoleModel {
 public:
  static constexpr int kMaxDevices = 20;

  ConsoleModel();
  ConsoleModel(const ConsoleModel&) = delete;
  ConsoleModel& operator=(const ConsoleModel&) = delete;

  // The meters of the latest discovery (worker and display name per slot).
  void HandOverDevices(const DeviceHandOver& handOver);

  const ConsoleView& View() const { return view_; }
  const CommandHistory& History() const { return history_; }
  // How the last press ended, and how many presses in a row the meter has let
  // pass without a word (a script stops a silent meter with them).
  ConsoleOutcome LastOutcome() const { return lastOutcome_; }
  int NoAnswerInARow() const { return noAnswerInARow_; }
  // Called whenever View() changed outside a handler (an answer came back).
  std::function<void()> onChanged;

  // Handlers.
  void Opening();
  void DeviceChosen(int line);
  void SendTextEdited(const QString& text);
  void Query();
  void Write();
  void Read();
  void HistoryChosen(int entry);
  // Closes at once; an answer still awaited is dropped when it comes.
  void Exit();

 private:
  void SetTexts();
  void Exchange(ConsoleAction action);
  void Apply(ConsoleAction action, const QString& sent, const ConsoleReply& reply);
  void UpdateButtons();
  void Changed();

  struct Meter {
    SessionWorker* worker = nullptr;
    QString name;
  };
  std::vector<Meter> meters_;  // the chooser's lines
  ConsoleView view_;
  CommandHistory history_;
  ConsoleOutcome lastOutcome_ = ConsoleOutcome::Done;
  int noAnswerInARow_ = 0;
  std::unique_ptr<CallbackGuard> guard_ = std::make_unique<CallbackGuard>();
};

}  // namespace merilog
