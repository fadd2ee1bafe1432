#include "core/records/RecordCommitNotice.h"

#include <map>
#include <mutex>

namespace merilog {

namespace {

struct Listeners {
  std::mutex mutex;
  std::map<int, RecordCommitNotice::Listener> byId;
  int nextId = 1;
};

Listeners& Registry() {
  static Listeners l;
  return l;
}

}  // namespace

RecordCommitNotice::Subscription::~Subscription() {
  Listeners& l = Registry();
  std::lock_guard lock(l.mutex);
  l.byId.erase(id_);
}

std::unique_ptr<RecordCommitNotice::Subscription> RecordCommitNotice::Subscribe(Listener listener) {
  Listeners& l = Registry();
  std::lock_guard lock(l.mutex);
  const int id = l.nextId++;
  l.byId.emplace(id, std::move(listener));
  return std::unique_ptr<Subscription>(new Subscription(id));
}

void RecordCommitNotice::RowsWritten(const QString& path) {
  Listeners& l = Registry();
  // Held while the listeners run, so a subscription that ends waits for them.
  std::lock_guard lock(l.mutex);
  for (const auto& [id, listener] : l.byId) listener(path);
}

}  // namespace merilog
