#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "core/labserver/LabForwardPolicy.h"
#include "core/labserver/LabServerSettings.h"
#include "core/records/RecordCommitNotice.h"

class QObject;

namespace merilog {

// What the forwarder has to say, for the status line and the messages.
struct LabForwardStatus {
  enum class Link {
    Starting,     // the records have not been looked at yet
    Idle,         // nothing waits, or it waits for its batch
    Sending,      // readings are on their way
    Unreachable,  // the server is down, slow or out of reach; tried again with back-off
    Refused,      // the server refuses this bench (password, rights, a newer schema)
  };
  Link link = Link::Starting;
  long long waiting = 0;   // readings of the working folder the server lacks
  int recordsWaiting = 0;  // records they belong to
  QString problem;         // why the server is not reached (Unreachable, Refused)
  long long passes = 0;    // passes over the records so far
  // Texts to tell the user once each (a refusal, a record that cannot go), in order.
  QStringList messages;
  bool operator==(const LabForwardStatus&) const = default;
};

// Sends every reading stored in the working folder's records to the lab
// server, from a thread of its own. Writers never wait for it: they nudge it
// (RecordCommitNotice) when rows are written, and it sends them in COPY
// batches at most every minPassMs. When the server cannot be reached it tries
// again with back-off (up to maxBackoffMs); the backlog stays in the record
// files, and what was sent is noted in each file (lab_forward), so a restart
// goes on where it stopped. Every record is looked at again every rescanMs,
// for rows written by other programs and files deleted meanwhile.
class LabForwarder {
 public:
  // recordFolder: the working folder's absolute path.
  LabForwarder(LabServerSettings settings, QString recordFolder, LabForwardPolicy policy = {});
  // Stops the thread; never waits for the server longer than a moment (a
  // thread stuck in a host-name lookup is left to end on its own).
  ~LabForwarder();
  LabForwarder(const LabForwarder&) = delete;
  LabForwarder& operator=(const LabForwarder&) = delete;

  // `changed` runs on the thread that made the forwarder (through its event
  // loop) whenever the status changes.
  void OnChange(std::function<void()> changed);
  LabForwardStatus Status() const;

  // For programs about to end: one full pass now, back-off or not, and waits
  // for it (at most timeoutMs). False when it did not end in time.
  bool Drain(int timeoutMs);

 private:
  struct Shared;
  static void Loop(std::shared_ptr<Shared> shared);

  std::shared_ptr<Shared> shared_;
  QObject* mailbox_;
  std::unique_ptr<RecordCommitNotice::Subscription> subscription_;
};

// The status line for a forwarder's status; serverName as DescribeServer gives it.
QString LabStatusLine(const QString& serverName, const LabForwardStatus& status);

}  // namespace merilog
