#pragma once
#include <QStringList>
#include <functional>
#include <vector>

#include "core/records/RecordList.h"

namespace merilog {

class JobRunner;
class Prompter;

// The records a record dialog lists and chooses from, read by a job.
class RecordEntryList {
 public:
  // Lists the records of `folder` on a job of `jobs`; when they come, `filled`
  // runs (unless the list was filled or cleared again meanwhile), then one
  // message names every file that could not be read (such files are not listed).
  void Fill(JobRunner& jobs, Prompter& prompter, const QString& folder, RecordListKind kind,
            std::function<void()> filled);
  void Clear();

  const std::vector<RecordListEntry>& Entries() const { return entries_; }
  QStringList Labels() const;
  // The entry at a position of the list, or null.
  const RecordListEntry* At(int index) const;

 private:
  std::vector<RecordListEntry> entries_;
  int generation_ = 0;
};

}  // namespace merilog
