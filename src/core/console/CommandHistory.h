#pragma once
#include <QString>
#include <QStringList>

namespace merilog {

// The console's earlier send texts: most recent first, no two equal, at most
// kMaxEntries (the oldest leaves).
class CommandHistory {
 public:
  static constexpr int kMaxEntries = 20;

  // Moves text to the top (adding it when new).
  void Add(const QString& text);
  void Clear() { entries_.clear(); }
  const QStringList& Entries() const { return entries_; }

 private:
  QStringList entries_;
};

}  // namespace merilog
