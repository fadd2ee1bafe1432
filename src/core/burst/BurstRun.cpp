#include "core/burst/BurstRun.h"

#include <SQLiteCpp/SQLiteCpp.h>

#include <algorithm>
#include <chrono>
#include <optional>

#include "core/base/Clock.h"
#include "core/instrument/QueryDevice.h"
#include "core/measure/ChartNumberText.h"
#include "core/records/RecordDatabase.h"
#include "core/records/RecordFigures.h"
#include "core/records/RecordFolder.h"
#include "core/records/RecordFormat.h"
#include "core/records/RecordTexts.h"
#include "core/records/RecordVerdict.h"
#include "core/records/RecordWriter.h"

namespace merilog {

namespace {

using Steady = std::chrono::steady_clock;

// Rows go to the writer's thread in small groups: at most this many, or as
// many as came in this time.
constexpr std::size_t kHandOverRows = 256;
constexpr int kHandOverMs = 10;

// A function name as the verdict compares it: without line feeds and double
// quotes. Nothing when the answer is no function name (a garbled answer must not
// become the record's function).
std::optional<QString> FunctionOf(const QueryAnswer& answer) {
  std::string s = answer.text;
  std::erase_if(s, [](char c) { return c == '\n' || c == '"'; });
  if (!IsFunctionName(s)) return std::nullopt;
  return AbbreviateFunction(QString::fromStdString(s));
}

double Seconds(Steady::time_point from) {
  return std::chrono::duration<double>(Steady::now() - from).count();
}

// An undated DBfile record may still hold rows; writing into it would mix them
// with this burst's, so it is refused like a dated one.
bool HoldsReadings(const QString& path, QString* error) {
  auto db = RecordDatabase::Open(path, RecordDatabase::Access::Read);
  if (!db) {
    *error = db.error();
    return false;
  }
  try {
    return record_summary::LastRowid(db.value()->Sql()) > 0;
  } catch (const SQLite::Exception& e) {
    *error = db.value()->Explain(e);
    return false;
  }
}

}  // namespace

BurstRow ParseBurstAnswer(std::string_view answer) {
  BurstRow row;
  const auto comma = answer.find(',');
  if (comma != std::string_view::npos) {
    row.value = LeadingNumber(answer.substr(0, comma));
    row.value2nd = LeadingNumber(answer.substr(comma + 1));
  } else {
    row.value = LeadingNumber(answer.substr(0, 15));
    row.value2nd = kNoSecondValue;
  }
  return row;
}

BurstResult RunBurst(Session* session, const BurstRequest& request, const BurstControl& control) {
  static const SystemClock systemClock;
  const Clock& clock = request.clock ? *request.clock : systemClock;
  BurstResult result;
  auto end = [&result](BurstEnd how, QString message = {}) {
    result.end = how;
    result.message = std::move(message);
    return result;
  };

  QueryDevice(session, QueryForm::MultipleReadings, "sample:count " + std::to_string(1) + "\n");

  // The record: a DBfile file is used as it is; a record file is made when
  // missing and its date moved to this start.
  const QString dbfilePath = RecordFilePath(RecordFileKind::DBfile, request.folder, request.number);
  const bool useDBfile = RecordFileExists(dbfilePath);
  const QString path = useDBfile ? dbfilePath : RecordFilePath(RecordFileKind::Record, request.folder, request.number);
  QString stored1, stored2;
  if (!useDBfile) {
    if (!RecordFileExists(path))
      if (RecordStatus s = CreateRecordFile(path, false); !s) return end(BurstEnd::RecordFailed, s.error);
    auto db = RecordDatabase::Open(path, RecordDatabase::Access::Write);
    if (!db) return end(BurstEnd::RecordFailed, db.error());
    if (RecordStatus s = db.value()->WriteDate(clock.Now()); !s) return end(BurstEnd::RecordFailed, s.error);
    auto functions = db.value()->ReadFunctions();
    if (!functions) return end(BurstEnd::RecordFailed, functions.error());
    stored1 = functions->function1;
    stored2 = functions->function2;
  }

  const QueryAnswer idn = QueryDevice(session, QueryForm::MultipleReadings, "*idn?\n");
  if (idn.Failed()) return end(BurstEnd::MeterFailed);
  const bool dual = idn.text.find("6082", 1) != std::string::npos;
  const std::optional<QString> function1 = FunctionOf(QueryDevice(session, QueryForm::MultipleReadings, "func?\n"));
  if (!function1) return end(BurstEnd::MeterFailed);
  QString function2 = QStringLiteral("NONE");
  if (dual) {
    const std::optional<QString> f2 = FunctionOf(QueryDevice(session, QueryForm::MultipleReadings, "func2?\n"));
    if (!f2) return end(BurstEnd::MeterFailed);
    function2 = *f2;
  }

  const BurstVerdict verdict = DecideBurstVerdict(stored1, stored2, *function1, function2, request.datedDBfileEntry);
  if (verdict.outcome == BurstVerdict::Outcome::FunctionChanged) return end(BurstEnd::FunctionChanged, verdict.message);
  if (verdict.outcome == BurstVerdict::Outcome::HasReadings) return end(BurstEnd::HasReadings, verdict.message);
  if (useDBfile) {
    QString error;
    const bool holds = HoldsReadings(dbfilePath, &error);
    if (!error.isEmpty()) return end(BurstEnd::RecordFailed, error);
    if (holds) return end(BurstEnd::HasReadings, DecideBurstVerdict({}, {}, *function1, function2, true).message);
  }

  auto db = RecordDatabase::Open(path, RecordDatabase::Access::Write);
  if (!db) return end(BurstEnd::RecordFailed, db.error());
  if (RecordStatus s = db.value()->WriteFunctionsIfEmpty(*function1, function2); !s)
    return end(BurstEnd::RecordFailed, s.error);
  auto appender = RecordAppender::Adopt(std::move(db.value()), request.policy);
  if (!appender) return end(BurstEnd::RecordFailed, appender.error());

  // The disk's syncs run on the writer's thread, so the meter is asked again at
  // once; rows are handed over at least every kHandOverMs, so a killed burst
  // loses no more than that and the appender's batch.
  RecordWriter writer({});
  const int record = writer.Adopt(std::move(appender.value()));
  std::vector<RecordWriter::Row> batch;
  const Steady::time_point start = Steady::now();
  Steady::time_point lastReport = start, batchStart = start;
  long long taken = 0;
  result.end = BurstEnd::Completed;
  while (taken < request.count) {
    if (control.stop && control.stop->load(std::memory_order_relaxed)) {
      result.end = BurstEnd::Stopped;
      break;
    }
    const QueryAnswer answer = QueryDevice(session, QueryForm::MultipleReadings, "read?\n");
    // After Stop nothing more is written: an answer that comes later is dropped.
    if (control.stop && control.stop->load(std::memory_order_relaxed)) {
      result.end = BurstEnd::Stopped;
      break;
    }
    if (answer.Failed()) {
      result.end = BurstEnd::MeterFailed;
      break;
    }
    const BurstRow row = ParseBurstAnswer(answer.text);
    batch.push_back({record, row.value, row.value2nd, FormatReadTime(clock.TimeOfDay())});
    ++taken;
    const Steady::time_point now = Steady::now();
    if (batch.size() == 1) batchStart = now;
    if (batch.size() >= kHandOverRows || now - batchStart >= std::chrono::milliseconds(kHandOverMs)) {
      writer.Append(std::move(batch));
      batch.clear();
    }
    if (control.progress && now - lastReport >= std::chrono::milliseconds(BurstControl::kProgressMs)) {
      lastReport = now;
      control.progress(taken, Seconds(start));
    }
  }
  if (!batch.empty()) writer.Append(std::move(batch));
  const RecordWriter::Closed closed = writer.CloseAll();
  result.seconds = Seconds(start);
  result.readings = taken - closed.unsaved;
  if (!closed.error.isEmpty()) {
    result.end = BurstEnd::RecordFailed;
    result.message = closed.error;
    if (closed.unsaved > 0) result.message += record_texts::ReadingsNotSaved(closed.unsaved);
  }
  if (control.progress) control.progress(result.readings, result.seconds);
  result.list = ListRecords(RecordListKind::MultipleReadings, request.folder);
  result.refilled = true;
  return result;
}

}  // namespace merilog
