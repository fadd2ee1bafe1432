#include "core/console/ConsoleModel.h"

#include "core/base/MessageTable.h"
#include "core/instrument/SessionWorker.h"

namespace merilog {

ConsoleModel::ConsoleModel() {
  SetTexts();
  view_.sendText = QStringLiteral("*IDN?");
  UpdateButtons();
}

void ConsoleModel::HandOverDevices(const DeviceHandOver& handOver) {
  meters_.clear();
  for (const HandedDevice& d : handOver.devices) {
    if (d.displayName.empty()) continue;
    if (static_cast<int>(meters_.size()) == kMaxDevices) break;
    meters_.push_back({d.worker, QString::fromStdString(d.displayName)});
  }
}

void ConsoleModel::SetTexts() {
  view_.title = LookupMessage("31", "Command Control");
  view_.sendCaption = LookupMessage("180", "Send String");
  view_.receivedCaption = LookupMessage("181", "String Received");
  view_.queryText = LookupMessage("182", "Query");
  view_.writeText = LookupMessage("183", "Write");
  view_.readText = LookupMessage("184", "Read");
  view_.exitText = LookupMessage("09", "Exit");
  view_.waitingText = LookupMessage("185", "Waiting for the meter's answer...");
}

void ConsoleModel::Changed() {
  if (onChanged) onChanged();
}

void ConsoleModel::Opening() {
  // An answer still awaited from the last opening belongs to nothing shown now.
  guard_ = std::make_unique<CallbackGuard>();
  view_.waiting = false;
  view_.deviceNames.clear();
  for (const Meter& m : meters_) view_.deviceNames << m.name;
  const bool any = !meters_.empty();
  view_.currentDevice = any ? 0 : -1;
  view_.chooserText = any ? QString() : LookupMessage("1000", "No Device Connected");
  SetTexts();
  view_.sendText = QStringLiteral("*IDN?");
  view_.receivedText.clear();
  history_.Clear();
  lastOutcome_ = ConsoleOutcome::Done;
  noAnswerInARow_ = 0;
  view_.historyEntries.clear();
  view_.historySelected = -1;
  view_.history.shown = false;
  UpdateButtons();
}

void ConsoleModel::UpdateButtons() {
  const bool any = !meters_.empty();
  const bool ready = any && !view_.waiting;
  view_.sendBox.enabled = any;
  view_.receivedBox.enabled = any;
  view_.queryButton.enabled = ready;
  view_.writeButton.enabled = ready;
  view_.readButton.enabled = ready;
  view_.chooser.enabled = ready;
  view_.exitButton.enabled = true;
}

void ConsoleModel::DeviceChosen(int line) {
  if (line < 0 || line >= static_cast<int>(meters_.size()) || line == view_.currentDevice) return;
  view_.currentDevice = line;
  noAnswerInARow_ = 0;  // counted per meter
}

void ConsoleModel::SendTextEdited(const QString& text) {
  view_.sendText = text;
}

void ConsoleModel::Query() {
  Exchange(ConsoleAction::Query);
}

void ConsoleModel::Write() {
  Exchange(ConsoleAction::Write);
}

void ConsoleModel::Read() {
  Exchange(ConsoleAction::Read);
}

void ConsoleModel::Exchange(ConsoleAction action) {
  if (view_.waiting || view_.currentDevice < 0) return;
  const QString sent = view_.sendText;
  SessionWorker* worker = meters_[static_cast<size_t>(view_.currentDevice)].worker;
  if (!worker) {
    Apply(action, sent, ConsoleExchange(nullptr, action, {}));
    return;
  }
  view_.waiting = true;
  UpdateButtons();
  worker->Run<ConsoleReply>(
      [action, text = sent.toStdString()](Session* session) { return ConsoleExchange(session, action, text); },
      [this, action, sent](ConsoleReply reply) {
        view_.waiting = false;
        Apply(action, sent, reply);
        Changed();
      },
      guard_->Watch());
}

void ConsoleModel::Apply(ConsoleAction action, const QString& sent, const ConsoleReply& reply) {
  view_.receivedText = reply.text;
  lastOutcome_ = reply.outcome;
  noAnswerInARow_ = reply.outcome == ConsoleOutcome::NoAnswer ? noAnswerInARow_ + 1 : 0;
  if (action != ConsoleAction::Read) {
    history_.Add(sent);
    view_.historyEntries = history_.Entries();
    view_.historySelected = 0;
    view_.history.shown = true;
    ++view_.focusRequests;
  }
  UpdateButtons();
}

void ConsoleModel::HistoryChosen(int entry) {
  if (entry < 0 || entry >= view_.historyEntries.size()) return;
  view_.historySelected = entry;
  view_.sendText = view_.historyEntries[entry];
}

void ConsoleModel::Exit() {
  guard_ = std::make_unique<CallbackGuard>();
  view_.waiting = false;
  UpdateButtons();
}

}  // namespace merilog
