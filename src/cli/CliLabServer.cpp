#include "cli/CliLabServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QUuid>
#include <cstdio>

#include "cli/CliHelp.h"
#include "cli/CliPrompter.h"
#include "core/base/Prompter.h"
#include "core/labserver/LabLink.h"
#include "core/labserver/LabRecordPull.h"
#include "core/labserver/LabRecordState.h"
#include "core/records/RecordFolder.h"
#include "core/records/RecordFormat.h"

namespace merilog::cli {

namespace {

// How long the end of a run waits for its last readings to reach the server.
constexpr int kFinishMs = 15000;

void Out(const QString& line) {
  std::printf("%s\n", line.toLocal8Bit().constData());
}
void Err(const QString& line) {
  std::fprintf(stderr, "merilog-cli: %s\n", line.toLocal8Bit().constData());
}

// The settings, or nothing after saying that none is set.
std::optional<LabServerSettings> Settings(const CliOptions& options, const char* command) {
  const LabServerSettings s = LabServerSettingsFor(options.server);
  if (s.Enabled()) return s;
  std::fprintf(stderr,
               "merilog-cli %s: no lab server is set (--server, MERILOG_SERVER or Connection in the [Server] section "
               "of the language file)\n",
               command);
  return std::nullopt;
}

QString Label(const LabServerRecord& r) {
  const QDateTime date = ParseRecordDate(r.date);
  QString label =
      date.isValid() ? RecordLabel(r.number, RecordDateText(date), r.function1, r.function2) : RecordLabel(r.number);
  if (r.fileKind == FileKindName(RecordFileKind::DBfile)) label += QStringLiteral("  (DBfile)");
  return label;
}

}  // namespace

CliLabServer::CliLabServer(const CliOptions& options, Prompter& prompter) {
  const LabServerSettings s = LabServerSettingsFor(options.server);
  if (!s.Enabled()) return;
  monitor_ =
      std::make_unique<LabServerMonitor>(s, QDir(DeriveRecordFolder(QDir::currentPath())).absolutePath(), prompter);
}

void CliLabServer::Finish() {
  if (!monitor_) return;
  monitor_->Forwarder().Drain(kFinishMs);
  QCoreApplication::processEvents();  // the monitor's messages, said once each
  const LabForwardStatus s = monitor_->Status();
  if (s.waiting == 0) {
    Err(QStringLiteral("lab server: every reading forwarded"));
    return;
  }
  Err(QStringLiteral("lab server: %1 readings wait%2; \"merilog-cli sync\" or the next run sends them")
          .arg(s.waiting)
          .arg(s.problem.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(s.problem)));
}

int RunSyncCommand(const CliOptions& options, const QStringList& args) {
  if (!args.isEmpty()) {
    PrintUsageLine("sync");
    return 2;
  }
  const auto settings = Settings(options, "sync");
  if (!settings) return 2;
  CliPrompter prompter;
  const auto folder = FindRecordFolder(prompter, RecordFolderCaller::Viewer);
  if (!folder) return 1;
  LabLink link(*settings, std::make_shared<PgInterrupt>());
  if (!link.Open()) {
    Err(link.Problem());
    return 1;
  }
  bool complete = true;
  for (const QString& path : ForwardablePaths(*folder)) {
    LabRecordState r = SurveyRecord(*folder, path, settings->bench);
    if (!link.Forward(r) || !link.AskServer(r)) {
      Err(link.Problem());
      return 1;
    }
    if (!r.problem.isEmpty()) {
      Out(QStringLiteral("%1: %2").arg(r.Name(), r.problem));
      complete = false;
      continue;
    }
    // Counted after sending, so that rows written meanwhile show as local only.
    const LabRecordState now = SurveyRecord(*folder, path, settings->bench, true);
    const long long local = now.facts.rows;
    Out(QStringLiteral("%1: %2 local / %3 on the server").arg(r.Name()).arg(local).arg(r.serverRows));
    if (local != r.serverRows) complete = false;
  }
  return complete ? 0 : 1;
}

bool IsServerRecordsCommand(const QStringList& args) {
  return !args.isEmpty() && (args[0] == QLatin1String("list") || args[0] == QLatin1String("pull"));
}

int RunServerRecordsCommand(const CliOptions& options, const QStringList& args) {
  const bool pull = args[0] == QLatin1String("pull");
  QString bench, recordId;
  int number = 0;
  for (int i = 1; i < args.size(); ++i) {
    const QString& a = args[i];
    if ((a == "--bench" || a == "--record-id") && i + 1 < args.size()) {
      (a == "--bench" ? bench : recordId) = args[++i];
    } else if (pull && number == 0 && !a.startsWith("--")) {
      bool ok = false;
      number = a.toInt(&ok);
      if (!ok || number < kFirstRecordNumber || number > kLastRecordNumber) {
        Err(QStringLiteral("records pull: the record number is 1 to 10"));
        return 2;
      }
    } else {
      Err(QStringLiteral("records %1: unexpected \"%2\"").arg(args[0], a));
      PrintUsageLine(pull ? "records pull" : "records list");
      return 2;
    }
  }
  if (pull && (bench.isEmpty() || recordId.isEmpty() || number == 0)) {
    Err(QStringLiteral("records pull needs --bench NAME, --record-id ID and the local record number"));
    PrintUsageLine("records pull");
    return 2;
  }
  if (pull && QUuid::fromString(recordId).isNull()) {
    Err(QStringLiteral("records pull: \"%1\" is not a record identity (as records list shows them)").arg(recordId));
    return 2;
  }
  if (!pull && !recordId.isEmpty()) {
    PrintUsageLine("records list");
    return 2;
  }
  const auto settings = Settings(options, pull ? "records pull" : "records list");
  if (!settings) return 2;
  LabLink link(*settings, std::make_shared<PgInterrupt>());
  std::optional<QString> folder;
  CliPrompter prompter;
  if (pull && !(folder = FindRecordFolder(prompter, RecordFolderCaller::Viewer))) return 1;
  if (!link.Open()) {
    Err(link.Problem());
    return 1;
  }
  if (!pull) {
    const auto records = link.List(bench);
    if (!records) {
      Err(link.Problem());
      return 1;
    }
    for (const LabServerRecord& r : *records)
      Out(QStringLiteral("%1  %2  %3  %4 readings").arg(r.bench, r.recordId, Label(r)).arg(r.rowCount));
    return 0;
  }
  auto pulled = PullRecord(link, bench, QUuid::fromString(recordId).toString(QUuid::WithoutBraces), *folder, number);
  if (!pulled) {
    std::fprintf(stderr, "%s\n", pulled.error().toLocal8Bit().constData());
    return 1;
  }
  Out(QStringLiteral("Record %1: %2 readings of record %3 of bench %4")
          .arg(number)
          .arg(pulled->readings)
          .arg(pulled->record.recordId, pulled->record.bench));
  return 0;
}

}  // namespace merilog::cli
