#include "cli/RecordsCommand.h"

#include <cstdio>

#include "cli/CliHelp.h"
#include "cli/CliPrompter.h"
#include "cli/RecordOperationsCommand.h"
#include "core/records/RecordFolder.h"
#include "core/records/RecordList.h"

namespace merilog::cli {

namespace {

struct ListChoice {
  const char* word;
  RecordListKind kind;
  RecordFolderCaller caller;
};
constexpr ListChoice kChoices[] = {
    {"viewer", RecordListKind::Viewer, RecordFolderCaller::Viewer},
    {"chart", RecordListKind::Chart, RecordFolderCaller::ListCheck},
    {"burst", RecordListKind::MultipleReadings, RecordFolderCaller::MultipleReadings},
    {"settings", RecordListKind::ReadingSettings, RecordFolderCaller::ListCheck},
};

}  // namespace

int RunRecordsCommand(const QStringList& args) {
  if (IsRecordOperation(args)) return RunRecordOperation(args);
  if (args.size() > 1) {
    PrintUsageLine("records");
    return 2;
  }
  const QString word = args.isEmpty() ? QStringLiteral("viewer") : args.first();
  const ListChoice* choice = nullptr;
  for (const auto& c : kChoices)
    if (word == QLatin1String(c.word)) choice = &c;
  if (!choice) {
    std::fprintf(stderr, "merilog-cli records: unknown list \"%s\"\n", word.toLocal8Bit().constData());
    PrintUsageLine("records");
    return 2;
  }
  CliPrompter prompter;
  const auto folder = FindRecordFolder(prompter, choice->caller);
  if (!folder) return 1;
  const RecordList list = ListRecords(choice->kind, *folder);
  for (const QString& problem : list.problems) std::fprintf(stderr, "%s\n", problem.toLocal8Bit().constData());
  for (const RecordListEntry& e : list.entries) std::printf("%s\n", e.label.toLocal8Bit().constData());
  return 0;
}

}  // namespace merilog::cli
