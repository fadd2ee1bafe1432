#include "cli/BurstCommand.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <optional>

#include "cli/CliMeters.h"
#include "cli/CliPrompter.h"
#include "core/base/Clock.h"
#include "core/base/MessageTable.h"
#include "core/burst/MultipleReadingsModel.h"
#include "core/records/RecordFolder.h"

namespace merilog::cli {

namespace {

std::atomic<bool> interrupted{false};

void OnInterrupt(int) {
  interrupted = true;
}

struct BurstArgs {
  int device = 0;
  int record = 0;
  QString count;
  std::optional<bool> answer;
};

bool ParseBurstArgs(const QStringList& args, BurstArgs* out, std::string* error) {
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == "--yes") {
      out->answer = true;
      continue;
    }
    if (a != "--device" && a != "--record" && a != "--count") {
      *error = "unknown burst option \"" + a.toStdString() + "\"";
      return false;
    }
    if (i + 1 >= args.size()) {
      *error = a.toStdString() + " needs a value";
      return false;
    }
    const QString value = args[++i];
    bool ok = true;
    if (a == "--count") {
      out->count = value;  // the dialog's own check judges it
    } else if (a == "--device") {
      out->device = value.toInt(&ok);
      if (!ok || out->device < 1) return *error = "--device takes a device-list line 1, 2, ...", false;
    } else {
      out->record = value.toInt(&ok);
      if (!ok || out->record < kFirstRecordNumber || out->record > kLastRecordNumber)
        return *error = "--record takes 1 to 10", false;
    }
  }
  if (!out->device || !out->record || out->count.isEmpty()) {
    *error = "burst needs --device K, --record N and --count C";
    return false;
  }
  return true;
}

int ExitCode(BurstEnd end) {
  switch (end) {
    case BurstEnd::Completed:
    case BurstEnd::Stopped:
      return 0;
    case BurstEnd::FunctionChanged:
    case BurstEnd::HasReadings:
      return 1;
    case BurstEnd::MeterFailed:
      return 2;
    case BurstEnd::RecordFailed:
      return 3;
  }
  return 1;
}

// Runs the event loop until the model has nothing in flight.
void WaitUntilIdle(const MultipleReadingsModel& model) {
  while (!model.Idle()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

}  // namespace

int RunBurstCommand(const CliOptions& options, const QStringList& args) {
  BurstArgs ba;
  std::string error;
  if (!ParseBurstArgs(args, &ba, &error)) {
    std::fprintf(stderr, "merilog-cli: %s\n", error.c_str());
    return 2;
  }
  CliMeters meters;
  if (!meters.Discover(options.io, &error)) {
    std::fprintf(stderr, "merilog-cli: %s\n", error.c_str());
    return 1;
  }
  CliPrompter prompter(ba.answer);
  SystemClock clock;
  MultipleReadingsModel model(prompter, clock);
  if (meters.Count() == 0) {
    std::fprintf(stderr, "%s\n", LookupMessage("1000", "No Device Connected").toLocal8Bit().constData());
    return 1;
  }
  if (ba.device > meters.Count()) {
    std::fprintf(stderr, "merilog-cli: no meter on line %d (%d found)\n", ba.device, meters.Count());
    return 1;
  }
  model.HandOverDevices(meters.HandOver(HandOverDialog::MultipleReadings));
  model.Opening();
  WaitUntilIdle(model);
  model.DeviceSelected(ba.device - 1);
  model.RecordChosen(ba.record - 1);
  if (!model.NumberEdited(ba.count)) return 1;

  const bool terminal = ::isatty(STDERR_FILENO);
  model.onChanged = [&] {
    if (!terminal || !model.View().progressShown) return;
    std::fprintf(stderr, "\r%-60s", model.View().progressText.toLocal8Bit().constData());
    std::fflush(stderr);
  };
  interrupted = false;
  auto previous = std::signal(SIGINT, OnInterrupt);
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (interrupted) model.Stop();
  });
  poll.start(20);
  model.Start();
  WaitUntilIdle(model);
  std::signal(SIGINT, previous);
  if (terminal && model.LastResult()) std::fputc('\n', stderr);

  const auto& result = model.LastResult();
  if (!result) return 1;  // refused before the meter was asked
  if (result->refilled) {
    std::printf("readings: %lld\n", result->readings);
    std::printf("seconds: %.3f\n", result->seconds);
    std::printf("readings_per_s: %.0f\n", result->seconds > 0 ? result->readings / result->seconds : 0.0);
  }
  return ExitCode(result->end);
}

}  // namespace merilog::cli
