#pragma once
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/base/Clock.h"
#include "core/instrument/Session.h"
#include "sim/ScpiParser.h"
#include "sim/SimCommandFaults.h"
#include "sim/SimMeterDescription.h"
#include "sim/SimMeterState.h"
#include "sim/SimModel.h"
#include "sim/SimScanCard.h"
#include "sim/SimSignal.h"

namespace merilog::sim {

struct CommandEntry;

// One simulated instrument: its SCPI command set and state, its output buffer
// on the bus, and the faults it was told to show. Used from one thread at a time.
class SimMeter {
 public:
  // The description must name a known model (SimBench checks); the clock paces scans.
  SimMeter(SimMeterDescription desc, std::shared_ptr<const Clock> clock);

  const SimMeterDescription& Description() const { return description_; }
  const std::string& Resource() const { return description_.resource; }
  const std::string& Identification() const { return identification_; }
  const SimModelInfo& Model() const { return *model_; }
  int Channels() const { return channels_; }

  // --- The bus side, as an interface driver sees it ---
  // Takes one or more program messages; each line, and a write without a final
  // line feed, is a complete message. A new query while an answer is unread
  // discards that answer (-410, as IEEE 488.2 prescribes).
  Status Write(std::string_view bytes);
  // Up to maxBytes of the pending answer. Nothing is ever waited for: an answer
  // that comes within timeoutMs (negative: no limit) is there at once; nothing
  // pending, or an answer later than that, gives kErrorTimeout at once, and the
  // late answer comes that much nearer. Off the bus: kErrorConnectionLost.
  ReadResult Read(std::size_t maxBytes, int timeoutMs);
  // The whole pending answer and how late it is, for a server that really waits.
  bool TakeAnswer(std::string* bytes, int* delayMs);
  // Device clear: drops any unread answer.
  Status DeviceClear();

  // Drop off the bus and come back. Sessions opened before a drop stay dead.
  // A meter that vanished (vanish-after fault) comes back by itself once its
  // time is up, as seen by the first look at it after that.
  bool Attached() const;
  std::uint64_t Generation() const { return generation_; }
  void Detach() { attached_ = false; }
  void Attach();
  // Off the bus by the vanish-after fault and due back: milliseconds until then
  // (0 when due now), or -1 when the meter has not vanished.
  long long MsUntilBack() const;
  // Another resource when plugged back (a USB meter under another device node);
  // only while detached.
  void Rename(std::string resource) { description_.resource = std::move(resource); }

  // --- For tests and the bench ---
  // Runs one program message as if written, without faults or output buffer, and
  // returns its answer without the line feed (empty when it asks nothing).
  std::string Execute(std::string_view message);
  void Reset();  // *RST
  SimFaults& Faults() { return description_.faults; }
  // Single commands refused or answered otherwise (set while no session is using the meter).
  SimCommandFaults& CommandFaults() { return commandFaults_; }
  const SimMeterState& State() const { return state_; }
  // Error queue entries as SYST:ERR? would answer them, oldest first, without removing them.
  std::vector<std::string> PendingErrors() const;
  std::uint64_t ReadingsTaken() const { return readingCounter_; }
  // The next READ? queries answer these texts, oldest first, instead of measuring.
  void QueueReadAnswers(std::vector<std::string> answers) {
    queuedReadAnswers_.insert(queuedReadAnswers_.end(), answers.begin(), answers.end());
  }
  int AnswersGiven() const { return answersGiven_; }
  bool Silent() const {
    return description_.faults.silentAfter >= 0 && answersGiven_ >= description_.faults.silentAfter;
  }

  struct Call;
  using Handler = void (SimMeter::*)(Call&);

 private:
  void ProcessMessage(std::string_view message, std::string* answer);
  bool Dispatch(const ScpiCommand& cmd, std::vector<std::string>* path, std::string* answer);
  void Emit(std::string answer);
  bool DropDue();
  void PushError(int code);
  bool Refuse(int code) {
    PushError(code);
    return false;
  }

  // The settings a function keeps (the basic meter's ratio uses DC voltage's).
  FunctionSettings& SettingsOf(Fn fn);
  const FunctionSettings& SettingsOf(Fn fn) const;

  // Measurement helpers.
  double Measure(Fn fn, int channel);
  std::string ReadingsText();
  double AutoRange(Fn fn) const;
  double PresentRange(Fn fn) const;
  std::vector<double> Ranges(Fn fn) const;
  ScanCardProgress ScanProgressNow() const;
  std::string ScanReadings(int done);

  // Command handlers (SimMeterCommands.cpp).
  bool NeedParams(Call& c, std::size_t min, std::size_t max);
  bool ConfigureFunction(Call& c);
  void Idn(Call& c);
  void Rst(Call& c);
  void Cls(Call& c);
  void Opc(Call& c);
  void Esr(Call& c);
  void Ese(Call& c);
  void Sre(Call& c);
  void Stb(Call& c);
  void Tst(Call& c);
  void NoOp(Call& c);
  void SystemError(Call& c);
  void SystemVersion(Call& c);
  void Configure(Call& c);
  void ConfigureQuery(Call& c);
  void MeasureQuery(Call& c);
  void ReadQuery(Call& c);
  void Initiate(Call& c);
  void Fetch(Call& c);
  void Function(Call& c);
  void Function2(Call& c);
  void Range(Call& c);
  void RangeAuto(Call& c);
  void Nplc(Call& c);
  void Aperture(Call& c);
  void Bandwidth(Call& c);
  void Unit(Call& c);
  void Transducer(Call& c);
  void RtdType(Call& c);
  void TCoupleType(Call& c);
  void CoefficientValue(Call& c);
  void SampleCount(Call& c);
  void RouteState(Call& c);
  void ScanFunction(Call& c);
  void ScanCount(Call& c);
  void ScanTimer(Call& c);
  void ScanStart(Call& c);
  void ScanProgress(Call& c);
  void ScanAbort(Call& c);
  void SupplyVoltage(Call& c);
  void SupplyCurrent(Call& c);
  void SupplyOutput(Call& c);
  void SupplyMeasure(Call& c);
  static const std::vector<CommandEntry>& MeterCommands();
  static const std::vector<CommandEntry>& SupplyCommands();

  SimMeterDescription description_;
  std::shared_ptr<const Clock> clock_;
  const SimModelInfo* model_;
  std::string identification_;
  int channels_ = 0;
  double capMaxRange_ = 0;
  SimSignal signal_;
  SimMeterState state_;
  std::uint64_t readingCounter_ = 0;
  std::deque<std::string> queuedReadAnswers_;
  SimCommandFaults commandFaults_;

  // Unplugged from the test or the window's thread, seen by the session's; a
  // vanished meter is plugged back by whichever thread looks first after its time.
  mutable std::atomic<bool> attached_{true};
  mutable std::atomic<std::uint64_t> generation_{1};
  mutable std::atomic<long long> backAtMs_{-1};  // when a vanished meter comes back; -1: not vanished
  int commandsSinceBack_ = 0;
  void Vanish();
  int answersGiven_ = 0;
  std::string out_;         // unread answer bytes
  std::size_t outPos_ = 0;  // how much of out_ has been read
  int outDelayMs_ = 0;      // how late the unread answer still is

  // Header text -> command table entry and function slot, so a repeated command
  // skips pattern matching.
  std::unordered_map<std::string, std::pair<int, int>> headerCache_;
};

// One row of a command table.
struct CommandEntry {
  enum Form { kSet, kQuery, kBoth };
  ScpiPattern pattern;
  bool common;
  Form form;
  SimMeter::Handler handler;
  int arg;  // handler-specific: which coefficient, which supply reading, ...
};

struct SimMeter::Call {
  const ScpiCommand& cmd;
  const CommandEntry& entry;
  Fn fn;  // the function the header named, or None
  std::string answer;
  bool answered = false;
};

}  // namespace merilog::sim
