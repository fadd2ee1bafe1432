#include "core/base/ProgramOptions.h"

namespace merilog {
namespace {

const QString kSection = QStringLiteral("Options");

}  // namespace

bool ReadOption(const MessageTable& table, const ProgramOption& option) {
  const QString value = table.Lookup(kSection, QString::fromLatin1(option.key), QString()).trimmed();
  if (value == u"1") return true;
  if (value == u"0") return false;
  return option.defaultOn;
}

bool WriteOption(MessageTable& table, const ProgramOption& option, bool on) {
  return table.Write(kSection, QString::fromLatin1(option.key), on ? QStringLiteral("1") : QStringLiteral("0"));
}

}  // namespace merilog
