#include "core/console/CommandHistory.h"

namespace merilog {

void CommandHistory::Add(const QString& text) {
  entries_.removeAll(text);
  entries_.prepend(text);
  while (entries_.size() > kMaxEntries) entries_.removeLast();
}

}  // namespace merilog
