#include "core/scan/ScanChannelText.h"

#include <QStringList>

#include "core/scan/ScanFieldRules.h"
#include "core/scan/ScanFunctionTable.h"
#include "core/scan/ScanPlan.h"

namespace merilog {

namespace {

int FunctionByLabel(const QString& label) {
  const auto table = ScanFunctionTable();
  for (int i = 0; i < kScanFunctionCount; ++i)
    if (label.compare(QLatin1String(table[static_cast<std::size_t>(i)].label), Qt::CaseInsensitive) == 0) return i;
  return -1;
}

}  // namespace

QString ParseScanChannelText(const QString& text, ScanChannelText* out) {
  const auto eq = text.indexOf('=');
  bool ok = false;
  const int channel = eq > 0 ? text.left(eq).toInt(&ok) : 0;
  const QStringList parts = text.mid(eq + 1).split(':');
  const int function = FunctionByLabel(parts.value(0));
  if (eq <= 0 || !ok || channel < 1 || channel > kMaxScanChannels || function < 0 || parts.size() > 3)
    return QStringLiteral(
               "--channel takes C=FUNC[:R[:I]] with C from 1 to %1 and FUNC one of None, DCV, ACV, DCI, ACI, "
               "Freq, 2W, 4W, not \"%2\"")
        .arg(kMaxScanChannels)
        .arg(text);
  *out = ScanChannelText{channel, function, parts.size() > 1 ? parts[1] : QString(),
                         parts.size() > 2 ? parts[2] : QString()};
  if (!IsCurrentFunction(function))
    return parts.size() > 1 ? QStringLiteral("only a DCI or ACI channel takes R and I: \"%1\"").arg(text) : QString();
  QString problem = ShuntProblem(out->shuntR);
  if (problem.isEmpty()) problem = OffsetProblem(out->offset);
  return problem.isEmpty() ? problem : QStringLiteral("channel %1: %2").arg(channel).arg(problem);
}

}  // namespace merilog
