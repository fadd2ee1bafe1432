#include "sim/SimMeter.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace merilog::sim {
namespace {

std::string SerialFromResource(const std::string& resource) {
  // USB<b>::<vendor>::<product>::<serial>::INSTR
  const std::string upper = ToUpper(resource);
  if (upper.rfind("USB", 0) == 0) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t p; (p = resource.find("::", start)) != std::string::npos; start = p + 2)
      fields.push_back(resource.substr(start, p - start));
    fields.push_back(resource.substr(start));
    if (fields.size() >= 4) return fields[3];
  }
  std::string digits;
  for (char c : resource)
    if (std::isdigit(static_cast<unsigned char>(c))) digits += c;
  return "SN" + digits;
}

const char* ErrorText(int code) {
  switch (code) {
    case -100:
      return "Command error";
    case -102:
      return "Syntax error";
    case -104:
      return "Data type error";
    case -108:
      return "Parameter not allowed";
    case -109:
      return "Missing parameter";
    case -113:
      return "Undefined header";
    case -221:
      return "Settings conflict";
    case -222:
      return "Data out of range";
    case -224:
      return "Illegal parameter value";
    case -230:
      return "Data corrupt or stale";
    case -350:
      return "Queue overflow";
    case -410:
      return "Query INTERRUPTED";
    case -420:
      return "Query UNTERMINATED";
    default:
      return "Error";
  }
}

constexpr std::size_t kErrorQueueSize = 20;
constexpr double kOverRange = 1.2;  // readings up to 120 % of the range are shown

}  // namespace

SimMeter::SimMeter(SimMeterDescription desc, std::shared_ptr<const Clock> clock)
    : description_(std::move(desc)),
      clock_(clock ? std::move(clock) : std::make_shared<SystemClock>()),
      model_(FindModel(description_.model)),
      signal_(description_.seed, description_.overloadEvery) {
  if (!model_) model_ = FindModel("6082");
  if (description_.serial.empty()) description_.serial = SerialFromResource(description_.resource);
  identification_ = description_.identification.empty() ? std::string(kSimMaker) + "," + model_->modelField + "," +
                                                              description_.serial + "," + model_->version
                                                        : description_.identification;
  channels_ = description_.channels >= 0 ? description_.channels : (model_->scanner ? 20 : 0);
  if (!model_->scanner) channels_ = 0;
  capMaxRange_ = description_.capMaxRange > 0 ? description_.capMaxRange : model_->capMaxRange;
  Reset();
  for (const auto& command : description_.setup) {
    std::string ignored;
    ProcessMessage(command, &ignored);
  }
  for (const auto& header : description_.refused) commandFaults_.Refuse(header);
}

void SimMeter::Attach() {
  backAtMs_ = -1;
  if (!attached_) {
    attached_ = true;
    ++generation_;
    out_.clear();
    outPos_ = 0;
    outDelayMs_ = 0;
  }
}

bool SimMeter::Attached() const {
  long long back = backAtMs_.load();
  if (back >= 0 && clock_->NowMs() >= back && backAtMs_.compare_exchange_strong(back, -1)) {
    // Back with the same identification; sessions of before stay dead.
    ++generation_;
    attached_ = true;
  }
  return attached_;
}

long long SimMeter::MsUntilBack() const {
  const long long back = backAtMs_.load();
  if (back < 0) return -1;
  return std::max<long long>(0, back - clock_->NowMs());
}

void SimMeter::Vanish() {
  // Whatever it was about to answer goes with it.
  out_.clear();
  outPos_ = 0;
  outDelayMs_ = 0;
  commandsSinceBack_ = 0;
  attached_ = false;
  backAtMs_ = clock_->NowMs() + description_.faults.backAfterMs;
}

std::vector<std::string> SimMeter::PendingErrors() const {
  std::vector<std::string> v;
  for (const auto& [code, text] : state_.errors) v.push_back(std::to_string(code) + ",\"" + text + "\"");
  return v;
}

void SimMeter::PushError(int code) {
  auto& q = state_.errors;
  if (q.size() >= kErrorQueueSize) {
    q.back() = {-350, ErrorText(-350)};
  } else {
    q.emplace_back(code, ErrorText(code));
  }
  if (code <= -100 && code > -200)
    state_.esr |= 32;  // command error
  else if (code <= -200 && code > -300)
    state_.esr |= 16;  // execution error
  else if (code <= -300 && code > -400)
    state_.esr |= 8;  // device-specific error
  else if (code <= -400)
    state_.esr |= 4;  // query error
}

bool SimMeter::DropDue() {
  if (description_.faults.dropAfter >= 0 && answersGiven_ >= description_.faults.dropAfter && outPos_ >= out_.size()) {
    attached_ = false;
    return true;
  }
  return false;
}

Status SimMeter::Write(std::string_view bytes) {
  if (!attached_ || DropDue()) return status::kErrorConnectionLost;
  std::size_t start = 0;
  while (start <= bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    const bool last = end == std::string_view::npos;
    if (last) end = bytes.size();
    std::string_view message = bytes.substr(start, end - start);
    if (!message.empty() && message.back() == '\r') message.remove_suffix(1);
    if (!Trim(message).empty() && !Silent()) {
      if (outPos_ < out_.size() && message.find('?') != std::string_view::npos) {
        out_.clear();
        outPos_ = 0;
        outDelayMs_ = 0;
        PushError(-410);
      }
      std::string answer;
      ProcessMessage(message, &answer);
      if (!answer.empty()) Emit(std::move(answer));
      if (description_.faults.vanishAfter >= 0 && ++commandsSinceBack_ >= description_.faults.vanishAfter) {
        Vanish();
        return status::kSuccess;
      }
    }
    if (last) break;
    start = end + 1;
  }
  return status::kSuccess;
}

void SimMeter::Emit(std::string answer) {
  ++answersGiven_;
  const SimFaults& f = description_.faults;
  if (f.garbageEvery > 0 && answersGiven_ % f.garbageEvery == 0) {
    static const char kJunk[] = "#$%&@!~^*?<>|{}\x7f\x80\xfe\xff\x01\x1b";
    std::uint64_t h = description_.seed * 0x9E3779B97F4A7C15ull + static_cast<std::uint64_t>(answersGiven_);
    const std::size_t length = 8 + h % 24;
    answer.clear();
    for (std::size_t i = 0; i < length; ++i) {
      h ^= h >> 33;
      h *= 0xFF51AFD7ED558CCDull;
      answer += kJunk[h % (sizeof kJunk - 1)];
    }
  }
  if (f.longAnswerBytes > 0 && !answer.empty()) {
    const std::string piece = answer;
    answer.reserve(f.longAnswerBytes + piece.size() + 1);
    while (answer.size() < f.longAnswerBytes) {
      answer += ',';
      answer += piece;
    }
  }
  if (outPos_ >= out_.size()) {
    out_.clear();
    outPos_ = 0;
    outDelayMs_ = f.delayMs;
  }
  out_ += answer;
  out_ += '\n';
}

ReadResult SimMeter::Read(std::size_t maxBytes, int timeoutMs) {
  ReadResult r;
  if (!attached_ || DropDue()) {
    r.status = status::kErrorConnectionLost;
    return r;
  }
  if (outPos_ >= out_.size()) {
    if (!Silent()) PushError(-420);
    r.status = status::kErrorTimeout;
    return r;
  }
  if (outDelayMs_ > 0) {
    if (timeoutMs >= 0 && outDelayMs_ > timeoutMs) {
      outDelayMs_ -= timeoutMs;
      r.status = status::kErrorTimeout;
      return r;
    }
    outDelayMs_ = 0;
  }
  const std::size_t n = std::min(maxBytes, out_.size() - outPos_);
  r.bytes.assign(out_, outPos_, n);
  outPos_ += n;
  if (outPos_ >= out_.size()) {
    out_.clear();
    outPos_ = 0;
    r.status = status::kSuccess;
    r.end = true;
  } else {
    r.status = status::kSuccessMaxCount;
    r.end = false;
  }
  return r;
}

bool SimMeter::TakeAnswer(std::string* bytes, int* delayMs) {
  if (outPos_ >= out_.size()) return false;
  bytes->assign(out_, outPos_, std::string::npos);
  *delayMs = outDelayMs_;
  out_.clear();
  outPos_ = 0;
  outDelayMs_ = 0;
  return true;
}

Status SimMeter::DeviceClear() {
  if (!attached_) return status::kErrorConnectionLost;
  out_.clear();
  outPos_ = 0;
  outDelayMs_ = 0;
  return status::kSuccess;
}

FunctionSettings& SimMeter::SettingsOf(Fn fn) {
  if (fn == Fn::Ratio && model_->ratioOnDcVoltage) fn = Fn::VoltDc;
  return state_.settings[static_cast<int>(fn)];
}

const FunctionSettings& SimMeter::SettingsOf(Fn fn) const {
  if (fn == Fn::Ratio && model_->ratioOnDcVoltage) fn = Fn::VoltDc;
  return state_.settings[static_cast<int>(fn)];
}

std::string SimMeter::Execute(std::string_view message) {
  std::string answer;
  ProcessMessage(message, &answer);
  return answer;
}

void SimMeter::ProcessMessage(std::string_view message, std::string* answer) {
  std::vector<std::string> path;  // header path for commands after ';' that do not start with ':'
  for (std::string_view text : SplitProgramMessage(message)) {
    if (Trim(text).empty()) continue;
    ScpiCommand cmd;
    if (!ParseCommand(text, &cmd)) {
      PushError(-102);
      return;  // the rest of a message after a syntax error is not run
    }
    std::string one;
    const SimCommandFaults::Action fault = commandFaults_.Find(cmd, &one);
    if (fault == SimCommandFaults::Action::Refuse) PushError(-221);
    const bool answered = fault == SimCommandFaults::Action::None ? Dispatch(cmd, &path, &one)
                                                                  : fault == SimCommandFaults::Action::Answer;
    if (answered) {
      if (!answer->empty()) *answer += ';';
      *answer += one;
    }
  }
}

bool SimMeter::Dispatch(const ScpiCommand& cmd, std::vector<std::string>* path, std::string* answer) {
  const auto& table = model_->meter ? MeterCommands() : SupplyCommands();
  const auto lookup = [&](const std::vector<std::string>& nodes, int* entry, int* slot) {
    std::string key = cmd.common ? "*" : "";
    for (const auto& n : nodes) key += n + ':';
    auto it = headerCache_.find(key);
    if (it != headerCache_.end()) {
      *entry = it->second.first;
      *slot = it->second.second;
      return *entry >= 0;
    }
    *entry = -1;
    *slot = -1;
    for (std::size_t i = 0; i < table.size(); ++i) {
      if (table[i].common != cmd.common) continue;
      if (table[i].pattern.Match(nodes, &SlotPatterns(), slot)) {
        *entry = static_cast<int>(i);
        break;
      }
    }
    if (headerCache_.size() > 4096) headerCache_.clear();  // bounded against a stream of odd headers
    headerCache_[key] = {*entry, *slot};
    return *entry >= 0;
  };

  int entry = -1;
  int slot = -1;
  std::vector<std::string> nodes = cmd.nodes;
  bool found = false;
  if (!cmd.common && !cmd.absolute && !path->empty()) {
    std::vector<std::string> joined = *path;
    joined.insert(joined.end(), nodes.begin(), nodes.end());
    if (lookup(joined, &entry, &slot)) {
      nodes = std::move(joined);
      found = true;
    }
  }
  if (!found) found = lookup(nodes, &entry, &slot);
  if (!found) {
    PushError(-113);
    return false;
  }
  if (!cmd.common) path->assign(nodes.begin(), nodes.end() - 1);

  const CommandEntry& e = table[entry];
  if ((cmd.query && e.form == CommandEntry::kSet) || (!cmd.query && e.form == CommandEntry::kQuery)) {
    PushError(-113);
    return false;
  }
  Call call{cmd, e, slot >= 0 ? SlotFunctions()[slot] : Fn::None, {}, false};
  (this->*e.handler)(call);
  if (call.answered) *answer = std::move(call.answer);
  return call.answered;
}

void SimMeter::Reset() {
  SimMeterState fresh;
  fresh.errors = std::move(state_.errors);  // *RST leaves the error queue alone
  fresh.esr = state_.esr;
  for (int i = 0; i < kFunctionCount; ++i) {
    const Fn fn = static_cast<Fn>(i);
    FunctionSettings& s = fresh.settings[i];
    const auto ranges = Ranges(fn);
    s.range = ranges.empty() ? 0 : ranges.back();
    s.autoRange = true;
    s.nplc = model_->defaultNplc;
  }
  fresh.coefficients = {0.00385, 0.10863, 1.4999, 100,      100,      -1.2579994e-4, 1.0811254e-5,
                        -2.9e-4, 2.6e-5,  3.7e-6, 1.032e-3, 2.387e-4, 1.58e-7};
  fresh.scan.functions.assign(static_cast<std::size_t>(channels_), Fn::None);
  state_ = std::move(fresh);
}

std::vector<double> SimMeter::Ranges(Fn fn) const {
  return RangesFor(*model_, fn, capMaxRange_);
}

double SimMeter::AutoRange(Fn fn) const {
  const auto ranges = Ranges(fn);
  if (ranges.empty()) return 0;
  // Frequency and period are ranged on the level of the input they count.
  Fn input = fn;
  if (fn == Fn::Freq || fn == Fn::Per) input = Fn::VoltAc;
  if (fn == Fn::FreqCurr || fn == Fn::PerCurr) input = Fn::CurrAc;
  const double level = std::fabs(signal_.Level(input, 0));
  const bool dcCurrentWithSecond = fn == Fn::CurrDc && state_.function == Fn::CurrDc && state_.function2 != Fn::None;
  for (double r : ranges) {
    if (dcCurrentWithSecond && r < 1) continue;
    if (level <= r * kOverRange) return r;
  }
  return ranges.back();
}

double SimMeter::PresentRange(Fn fn) const {
  const FunctionSettings& s = SettingsOf(fn);
  return s.autoRange ? AutoRange(fn) : s.range;
}

double SimMeter::Measure(Fn fn, int channel) {
  const FunctionSettings& s = SettingsOf(fn);
  double v = signal_.Value(fn, channel, readingCounter_++, Info(fn).nplc ? s.nplc : 1.0);
  if (v == SimSignal::kOverload) return v;
  if (channel == 0 && Info(fn).range != RangeKind::None && !s.autoRange) {
    Fn input = fn;
    if (fn == Fn::Freq || fn == Fn::Per) input = Fn::VoltAc;
    if (fn == Fn::FreqCurr || fn == Fn::PerCurr) input = Fn::CurrAc;
    const double level = input == fn ? v : signal_.Level(input, channel);
    if (std::fabs(level) > s.range * kOverRange) return SimSignal::kOverload;
  }
  if (fn == Fn::Temp || fn == Fn::TCouple) {
    if (state_.unit == 'F') v = v * 9.0 / 5.0 + 32.0;
    if (state_.unit == 'K') v = v + 273.15;
  }
  return v;
}

std::string SimMeter::ReadingsText() {
  std::string text;
  text.reserve(static_cast<std::size_t>(state_.sampleCount) * 32);
  const bool second = model_->dual && state_.function2 != Fn::None;
  for (int i = 0; i < state_.sampleCount; ++i) {
    if (i) text += ',';
    text += FormatReal(Measure(state_.function, 0));
    if (second) {
      text += ',';
      text += FormatReal(Measure(state_.function2, 0));
    }
  }
  return text;
}

ScanCardProgress SimMeter::ScanProgressNow() const {
  return ScanCardProgressAt(state_.scan, clock_->Now().toMSecsSinceEpoch(), description_.faults.scanStallAt);
}

std::string SimMeter::ScanReadings(int done) {
  const ScanState& s = state_.scan;
  std::string text;
  if (s.channels.empty()) return text;
  for (int i = 0; i < done; ++i) {
    const int ch = s.channels[static_cast<std::size_t>(i) % s.channels.size()];
    const Fn fn = s.functions[static_cast<std::size_t>(ch)];
    const double v = signal_.Value(fn, ch + 1, s.firstReading + static_cast<std::uint64_t>(i), SettingsOf(fn).nplc);
    if (i) text += ',';
    text += FormatReal(v);
  }
  return text;
}

}  // namespace merilog::sim
