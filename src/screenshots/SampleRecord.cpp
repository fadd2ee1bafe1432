#include "screenshots/SampleRecord.h"

#include <QDateTime>
#include <QDir>
#include <cmath>

#include "core/records/RecordAppender.h"
#include "core/records/RecordDatabase.h"
#include "core/records/RecordFolder.h"

namespace merilog::ui {

namespace {
constexpr int kSampleGapAfter = 15000;
}  // namespace

bool WriteSampleRecord(int number) {
  const QString path = RecordFilePath(RecordFileKind::Record, DeriveRecordFolder(QDir::currentPath()), number);
  if (!CreateRecordFile(path, true)) return false;
  {
    auto db = RecordDatabase::Open(path, RecordDatabase::Access::Write);
    if (!db || !db.value()->WriteDate(QDateTime(QDate(2024, 3, 5), QTime(14, 3, 27))) ||
        !db.value()->WriteFunctions("DCV", "ACV"))
      return false;
  }
  auto appender = RecordAppender::Open(path, AppendPolicy{25000, 60000, 100000});
  if (!appender) return false;
  QDateTime t(QDate(2024, 3, 5), QTime(14, 3, 27));
  for (int i = 0; i < 25000; ++i, t = t.addMSecs(25)) {
    if (i == kSampleGapAfter) {
      // The meter was unplugged for a minute and a half and came back warmer:
      // the chart's line breaks there instead of joining the two levels.
      RecordGap gap;
      gap.start = t;
      gap.end = t.addSecs(90);
      gap.cause = QStringLiteral("no answer to \"read?\" (status -1073807194)");
      if (!appender.value()->AddGap(gap)) return false;
      t = gap.end;
    }
    const double level = i >= kSampleGapAfter ? 0.5 : 0.0;
    const double value = level + 1.2 + 0.25 * std::sin(i / 1800.0) + 0.02 * std::sin(i * 0.7);
    const double second = level / 2 + 0.45 + 0.1 * std::cos(i / 2600.0) + 0.01 * std::cos(i * 1.3);
    if (!appender.value()->Append(i % 9000 == 4500 ? kOverloadValue : value, second, t.time())) return false;
  }
  return appender.value()->Close().ok();
}

}  // namespace merilog::ui
