#include "ui/console/CommandConsoleDialog.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/console/ConsoleModel.h"
#include "ui/widgets/DialogParts.h"

namespace merilog::ui {

CommandConsoleDialog::CommandConsoleDialog(QWidget* parent)
    : QDialog(parent), model_(std::make_unique<ConsoleModel>()) {
  Build();
  Connect();
  model_->onChanged = [this] { Render(); };
  Render();
}

CommandConsoleDialog::~CommandConsoleDialog() {
  model_->onChanged = nullptr;
}

void CommandConsoleDialog::Build() {
  auto* top = new QVBoxLayout(this);
  chooser_ = new QComboBox(this);
  chooser_->setMinimumContentsLength(30);
  top->addWidget(chooser_);

  sendCaption_ = new QLabel(this);
  top->addWidget(sendCaption_);
  // The history sits at the send box's right end: only its drop-down button shows.
  auto* sendRow = new QHBoxLayout;
  sendRow->setSpacing(0);
  send_ = new QLineEdit(this);
  history_ = new QComboBox(this);
  history_->setFixedWidth(history_->sizeHint().height());
  history_->view()->setMinimumWidth(360);
  sendRow->addWidget(send_);
  sendRow->addWidget(history_);
  top->addLayout(sendRow);

  auto* buttons = new QHBoxLayout;
  query_ = new QPushButton(this);
  write_ = new QPushButton(this);
  read_ = new QPushButton(this);
  for (QPushButton* b : {query_, write_, read_}) {
    b->setAutoDefault(false);
    buttons->addWidget(b);
  }
  buttons->addStretch();
  top->addLayout(buttons);

  receivedCaption_ = new QLabel(this);
  received_ = new QPlainTextEdit(this);
  received_->setReadOnly(true);
  received_->setMinimumSize(420, 140);
  waiting_ = new QLabel(this);
  top->addWidget(receivedCaption_);
  top->addWidget(received_);
  top->addWidget(waiting_);

  auto* exitRow = new QHBoxLayout;
  exit_ = new QPushButton(this);
  exit_->setAutoDefault(false);
  exitRow->addStretch();
  exitRow->addWidget(exit_);
  top->addLayout(exitRow);
}

void CommandConsoleDialog::Connect() {
  connect(chooser_, &QComboBox::activated, this, [this](int line) { model_->DeviceChosen(line); });
  connect(send_, &QLineEdit::textEdited, this, [this](const QString& text) { model_->SendTextEdited(text); });
  connect(history_, &QComboBox::activated, this, [this](int entry) {
    model_->HistoryChosen(entry);
    Render();
  });
  connect(query_, &QPushButton::clicked, this, [this] {
    model_->Query();
    Render();
  });
  // Enter in the send box sends a Query, as a terminal would; while one waits it does nothing.
  connect(send_, &QLineEdit::returnPressed, this, [this] {
    if (model_->View().queryButton.enabled) query_->click();
  });
  connect(write_, &QPushButton::clicked, this, [this] {
    model_->Write();
    Render();
  });
  connect(read_, &QPushButton::clicked, this, [this] {
    model_->Read();
    Render();
  });
  connect(exit_, &QPushButton::clicked, this, [this] { reject(); });
}

void CommandConsoleDialog::reject() {
  model_->Exit();
  QDialog::reject();
}

void CommandConsoleDialog::Open(const DeviceHandOver& devices) {
  model_->HandOverDevices(devices);
  model_->Opening();
  Render();
  send_->setFocus();
}

int CommandConsoleDialog::Run(const DeviceHandOver& devices) {
  Open(devices);
  return exec();
}

void CommandConsoleDialog::Render() {
  const ConsoleView& v = model_->View();
  setWindowTitle(v.title);
  sendCaption_->setText(v.sendCaption);
  receivedCaption_->setText(v.receivedCaption);
  query_->setText(v.queryText);
  write_->setText(v.writeText);
  read_->setText(v.readText);
  exit_->setText(v.exitText);

  SetItems(chooser_, v.deviceNames);
  chooser_->setPlaceholderText(v.chooserText);
  chooser_->setCurrentIndex(v.currentDevice);
  ApplyControlState(chooser_, v.chooser);

  if (send_->text() != v.sendText) send_->setText(v.sendText);
  ApplyControlState(send_, v.sendBox);
  SetItems(history_, v.historyEntries);
  history_->setCurrentIndex(v.historySelected);
  ApplyControlState(history_, v.history);
  if (received_->toPlainText() != v.receivedText) received_->setPlainText(v.receivedText);
  ApplyControlState(received_, v.receivedBox);
  ApplyControlState(query_, v.queryButton);
  ApplyControlState(write_, v.writeButton);
  ApplyControlState(read_, v.readButton);
  ApplyControlState(exit_, v.exitButton);
  waiting_->setText(v.waiting ? v.waitingText : QString());
  if (v.focusRequests != focusRequests_) {
    focusRequests_ = v.focusRequests;
    send_->setFocus();
  }
}

}  // namespace merilog::ui
