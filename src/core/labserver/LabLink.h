#pragma once
#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/labserver/LabCopyFormat.h"
#include "core/labserver/LabForwardPolicy.h"
#include "core/labserver/LabServerSettings.h"
#include "core/labserver/PgConnection.h"

namespace merilog {

struct LabRecordState;

// A record as the server lists it.
struct LabServerRecord {
  QString bench, recordId;
  int number = 0;
  QString fileKind;
  QString date;  // "YYYY-MM-DD HH:MM:SS", empty when none
  QString function1, function2;
  long long rowCount = 0;
};

// The connection to the lab server and what is done over it. Used from one
// thread; every wait is bounded and ends at once when the interrupt is raised.
class LabLink {
 public:
  LabLink(LabServerSettings settings, std::shared_ptr<PgInterrupt> interrupt, LabForwardPolicy policy = {});

  // Connects and makes or updates the server's schema.
  bool Open();
  bool IsOpen() const { return connection_.Connected(); }
  void Close() { connection_.Close(); }

  // What went wrong last: the kind, and the text for the user (naming the server).
  PgFailure Failure() const { return failure_; }
  const QString& Problem() const { return problem_; }
  // The schema on the server is newer than this program knows.
  bool SchemaTooNew() const { return schemaTooNew_; }
  const LabServerSettings& Settings() const { return settings_; }
  const QString& ServerName() const { return serverName_; }

  // Sends what the record file holds beyond what the server has, in batches,
  // and notes the progress in the file. False when the link failed (the
  // record's own problems are put into record.problem and give true).
  bool Forward(LabRecordState& record);
  // Asks how many readings of the record the server holds (record.serverRows).
  bool AskServer(LabRecordState& record);

  std::optional<std::vector<LabServerRecord>> List(const QString& bench);
  // Every reading of a record in row order, handed over a few thousand at a time;
  // a `take` that returns false ends it with a failure.
  bool ReadReadings(const QString& bench, const QString& recordId,
                    const std::function<bool(std::vector<LabReading>&)>& take);
  std::optional<LabServerRecord> Find(const QString& bench, const QString& recordId);

 private:
  bool LinkFailed();
  bool Rollback();
  // One batch; false when the link failed. `done` when nothing is left,
  // `adjusted` when the server's count moved the start instead.
  bool SendBatch(LabRecordState& record, bool* done, bool* adjusted);

  LabServerSettings settings_;
  QString serverName_;  // DescribeServer's, worked out once
  LabForwardPolicy policy_;
  PgConnection connection_;
  PgFailure failure_ = PgFailure::None;
  QString problem_;
  bool schemaTooNew_ = false;
  QByteArray batch_;  // reused between batches
};

}  // namespace merilog
