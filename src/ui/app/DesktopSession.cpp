#include "ui/app/DesktopSession.h"

#include <QCoreApplication>

#include "core/app/MainWindowModel.h"
#include "ui/app/MainWindow.h"

namespace merilog::ui {

std::unique_ptr<DesktopSession> DesktopSession::Start(const IoOptions& io, std::string* error) {
  std::unique_ptr<DesktopSession> s(new DesktopSession);
  if (!SetUpInstruments(io, &s->instruments_, error)) return nullptr;
  if (s->instruments_.transcript) {
    QtPrompter* prompter = &s->prompter_;
    s->instruments_.transcript->OnFailure([prompter](const std::string& failure) {
      // Called on the thread that wrote the line; the message belongs to the window's thread.
      QString text = QString::fromStdString(failure) + QLatin1Char('.');
      text[0] = text[0].toUpper();
      QMetaObject::invokeMethod(
          QCoreApplication::instance(),
          [prompter, text] {
            prompter->Message(text, QStringLiteral("Error"), Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
          },
          Qt::QueuedConnection);
    });
  }
  s->model_ = std::make_unique<MainWindowModel>(*s->instruments_.resources, s->prompter_, s->clock_,
                                                s->instruments_.lanResources);
  s->window_ = std::make_unique<MainWindow>(*s->model_, s->prompter_);
  s->window_->OfferScan(*s->instruments_.resources, s->instruments_.lanResources, s->prompter_, s->clock_);
  s->prompter_.SetParent(s->window_.get());
  s->model_->Initialise();
  s->window_->show();
  return s;
}

DesktopSession::~DesktopSession() = default;

}  // namespace merilog::ui
