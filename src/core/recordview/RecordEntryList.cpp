#include "core/recordview/RecordEntryList.h"

#include "core/base/JobRunner.h"
#include "core/base/Prompter.h"
#include "core/records/RecordTexts.h"

namespace merilog {

void RecordEntryList::Fill(JobRunner& jobs, Prompter& prompter, const QString& folder, RecordListKind kind,
                           std::function<void()> filled) {
  Clear();
  const int generation = generation_;
  jobs.Start<RecordList>([folder, kind](JobProgress&) { return ListRecords(kind, folder); },
                         [this, &prompter, generation, filled = std::move(filled)](RecordList list) {
                           if (generation != generation_) return;
                           entries_ = std::move(list.entries);
                           filled();
                           if (!list.problems.isEmpty())
                             prompter.Message(list.problems.join(QLatin1Char('\n')), record_texts::ErrorCaption(),
                                              Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
                         });
}

void RecordEntryList::Clear() {
  ++generation_;
  entries_.clear();
}

QStringList RecordEntryList::Labels() const {
  QStringList labels;
  for (const RecordListEntry& e : entries_) labels << e.label;
  return labels;
}

const RecordListEntry* RecordEntryList::At(int index) const {
  return index >= 0 && index < static_cast<int>(entries_.size()) ? &entries_[static_cast<size_t>(index)] : nullptr;
}

}  // namespace merilog
