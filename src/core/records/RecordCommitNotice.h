#pragma once
#include <QString>
#include <functional>
#include <memory>

namespace merilog {

// Tells whoever listens that rows were committed to a record file
// (RecordAppender, once per commit). The lab server's forwarder listens; the
// appenders only call RowsWritten, which costs a lock and a map when nobody
// listens. Listeners run on the committing thread and must return at once.
class RecordCommitNotice {
 public:
  using Listener = std::function<void(const QString& path)>;

  // Listens until the returned object is destroyed.
  class Subscription {
   public:
    ~Subscription();
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;

   private:
    friend class RecordCommitNotice;
    explicit Subscription(int id) : id_(id) {}
    int id_;
  };
  static std::unique_ptr<Subscription> Subscribe(Listener listener);

  // From any thread.
  static void RowsWritten(const QString& path);
};

}  // namespace merilog
