#include "core/labserver/LabForwarder.h"

#include <QFileInfo>
#include <QObject>
#include <QPointer>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "core/labserver/LabLink.h"
#include "core/labserver/LabRecordState.h"
#include "core/labserver/LabServerTexts.h"
#include "core/records/RecordTexts.h"

namespace merilog {

namespace {

using Steady = std::chrono::steady_clock;

// How long the destructor waits for the thread before leaving it to end alone.
constexpr auto kStopWait = std::chrono::seconds(3);

}  // namespace

struct LabForwarder::Shared {
  LabServerSettings settings;
  QString folder;
  LabForwardPolicy policy;
  std::shared_ptr<PgInterrupt> interrupt = std::make_shared<PgInterrupt>();

  std::mutex mutex;
  std::condition_variable wake;
  bool stop = false;
  bool finished = false;
  std::set<QString> nudged;
  long long drainWanted = 0, drainDone = 0;
  LabForwardStatus status;
  QPointer<QObject> mailbox;
  bool ownerGone = false;
  std::function<void()> changed;  // used on the owner's thread only

  // Under mutex: the status changed; the owner hears of it through its event loop.
  void Publish(const LabForwardStatus& next) {
    std::lock_guard lock(mutex);
    const bool same = status == next;
    status = next;
    if (same || ownerGone || !mailbox) return;
    Shared* self = this;
    QMetaObject::invokeMethod(
        mailbox.data(),
        [self] {
          if (self->changed) self->changed();
        },
        Qt::QueuedConnection);
  }
};

LabForwarder::LabForwarder(LabServerSettings settings, QString recordFolder, LabForwardPolicy policy)
    : shared_(std::make_shared<Shared>()), mailbox_(new QObject) {
  shared_->settings = std::move(settings);
  shared_->folder = std::move(recordFolder);
  shared_->policy = std::move(policy);
  shared_->mailbox = mailbox_;
  std::weak_ptr<Shared> weak = shared_;
  subscription_ = RecordCommitNotice::Subscribe([weak](const QString& path) {
    if (auto s = weak.lock()) {
      std::lock_guard lock(s->mutex);
      s->nudged.insert(path);
      s->wake.notify_all();
    }
  });
  std::thread(Loop, shared_).detach();
}

LabForwarder::~LabForwarder() {
  subscription_.reset();
  {
    std::unique_lock lock(shared_->mutex);
    shared_->ownerGone = true;
    shared_->stop = true;
    shared_->interrupt->Raise();
    shared_->wake.notify_all();
    // Queued status calls still on their way die with the mailbox.
    shared_->wake.wait_for(lock, kStopWait, [this] { return shared_->finished; });
  }
  delete mailbox_;
}

void LabForwarder::OnChange(std::function<void()> changed) {
  shared_->changed = std::move(changed);
}

LabForwardStatus LabForwarder::Status() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->status;
}

bool LabForwarder::Drain(int timeoutMs) {
  std::unique_lock lock(shared_->mutex);
  const long long ticket = ++shared_->drainWanted;
  shared_->wake.notify_all();
  return shared_->wake.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                [&] { return shared_->drainDone >= ticket || shared_->finished; });
}

void LabForwarder::Loop(std::shared_ptr<Shared> shared) {
  Shared& s = *shared;
  const LabForwardPolicy& policy = s.policy;
  LabLink link(s.settings, s.interrupt, policy);
  std::map<QString, LabRecordState> records;
  LabForwardStatus status;
  std::set<QString> told;  // messages said already
  Steady::time_point lastPass{}, lastRescan{}, retryAt{};
  bool everRescanned = false;
  bool retryPending = false;  // the last attempt failed; the next waits for retryAt
  int backoffMs = 0;

  auto say = [&](const QString& text) {
    if (text.isEmpty() || !told.insert(text).second) return;
    status.messages << text;
  };
  auto totals = [&] {
    status.waiting = 0;
    status.recordsWaiting = 0;
    for (const auto& [path, r] : records) {
      if (r.Waiting() > 0) {
        status.waiting += r.Waiting();
        ++status.recordsWaiting;
      }
      // A file another program holds just now is looked at again later, without a word.
      if (!r.problem.isEmpty() && r.problem != record_texts::InUse(r.path))
        say(lab_texts::RecordConflict(r.Name(), r.problem));
    }
  };
  auto linkFailed = [&] {
    link.Close();
    backoffMs = backoffMs == 0 ? policy.firstBackoffMs : std::min(backoffMs * 2, policy.maxBackoffMs);
    retryAt = Steady::now() + std::chrono::milliseconds(backoffMs);
    retryPending = true;
    const bool refused = link.Failure() == PgFailure::Refused || link.Failure() == PgFailure::BadSetting;
    status.link = refused ? LabForwardStatus::Link::Refused : LabForwardStatus::Link::Unreachable;
    status.problem = link.Problem();
    // A refusal needs the user; a server that is away comes back by itself.
    if (refused) say(link.Problem() + QLatin1Char('\n') + lab_texts::KeptOnBench());
  };

  for (;;) {
    std::set<QString> nudged;
    bool full = false;
    bool draining = false;
    long long drainTicket = 0;
    {
      std::unique_lock lock(s.mutex);
      for (;;) {
        if (s.stop) break;
        const auto now = Steady::now();
        const auto rescanAt = lastRescan + std::chrono::milliseconds(policy.rescanMs);
        const auto nudgeAt = lastPass + std::chrono::milliseconds(policy.minPassMs);
        const bool retry = retryPending && status.waiting > 0;
        if (!everRescanned || now >= rescanAt || s.drainWanted > s.drainDone || (retry && now >= retryAt) ||
            (!s.nudged.empty() && now >= nudgeAt))
          break;
        auto until = rescanAt;
        if (retry) until = std::min(until, retryAt);
        if (!s.nudged.empty()) until = std::min(until, nudgeAt);
        s.wake.wait_until(lock, until);
      }
      if (s.stop) {
        s.finished = true;
        s.wake.notify_all();
        return;
      }
      nudged.swap(s.nudged);
      drainTicket = s.drainWanted;
      draining = drainTicket > s.drainDone;
      full = !everRescanned || draining || Steady::now() >= lastRescan + std::chrono::milliseconds(policy.rescanMs);
    }
    const auto passStart = Steady::now();
    lastPass = passStart;

    // Look at the records: every one now and then, else those just written.
    if (full) {
      everRescanned = true;
      lastRescan = passStart;
      std::map<QString, LabRecordState> seen;
      for (const QString& path : ForwardablePaths(s.folder))
        seen.emplace(path, SurveyRecord(s.folder, path, s.settings.bench));
      records.swap(seen);
    } else {
      for (const QString& written : nudged) {
        int number = 0;
        RecordFileKind kind{};
        if (!DescribeRecordPath(s.folder, written, &number, &kind)) continue;
        const QString path = RecordFilePath(kind, s.folder, number);
        if (QFileInfo(path).isFile())
          records[path] = SurveyRecord(s.folder, path, s.settings.bench);
        else
          records.erase(path);  // deleted: what it had sent stays on the server
      }
    }
    ++status.passes;
    if (status.link == LabForwardStatus::Link::Starting) status.link = LabForwardStatus::Link::Idle;
    totals();
    s.Publish(status);

    if (status.waiting > 0 && (draining || !retryPending || passStart >= retryAt)) {
      bool ok = link.IsOpen();
      const bool reused = ok;
      if (!ok) ok = link.Open();
      if (ok) {
        status.link = LabForwardStatus::Link::Sending;
        s.Publish(status);
        for (auto& [path, r] : records) {
          if (r.Waiting() == 0) continue;
          ok = link.Forward(r);
          // A connection left idle may have died with a server restart: one fresh try.
          if (!ok && reused && link.Failure() == PgFailure::Lost && link.Open()) ok = link.Forward(r);
          if (!ok) break;
          totals();
          s.Publish(status);
        }
      }
      if (ok) {
        backoffMs = 0;
        retryPending = false;
        status.link = LabForwardStatus::Link::Idle;
        status.problem.clear();
        // After a success, the same refusal later is news again.
        for (auto it = told.begin(); it != told.end();)
          it = it->contains(lab_texts::KeptOnBench()) ? told.erase(it) : ++it;
      } else if (link.Failure() != PgFailure::Interrupted) {
        linkFailed();
      }
    }
    totals();
    s.Publish(status);
    if (draining) {
      std::lock_guard lock(s.mutex);
      s.drainDone = std::max(s.drainDone, drainTicket);
      s.wake.notify_all();
    }
  }
}

QString LabStatusLine(const QString& serverName, const LabForwardStatus& status) {
  using Link = LabForwardStatus::Link;
  if (status.link == Link::Starting) return {};
  if (status.waiting == 0) return lab_texts::StatusUpToDate(serverName);
  if (status.link == Link::Sending) return lab_texts::StatusSending(status.waiting, status.recordsWaiting);
  QString line = lab_texts::StatusWaiting(status.waiting, status.recordsWaiting);
  if (!status.problem.isEmpty()) line += QStringLiteral(" (%1)").arg(status.problem);
  return line;
}

}  // namespace merilog
