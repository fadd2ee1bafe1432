#include "sim/SimBench.h"

#include <QFile>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <string_view>

#include "core/instrument/LanResource.h"

namespace merilog::sim {
namespace {

bool SameResource(const std::string& a, const std::string& b) {
  return ToUpper(a) == ToUpper(b);
}

std::string Where(const std::string& origin, int line) {
  return origin + ":" + std::to_string(line) + ": ";
}

bool ParseWhole(const std::string& text, double* v) {
  // A number and nothing else (no unit) for bench values.
  if (text.empty()) return false;
  char* end = nullptr;
  *v = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && std::isfinite(*v);
}

// A whole number in decimal digits within [min, max]: read as an integer, so
// no fraction, NaN or huge value ever meets a cast.
bool ParseCount(const std::string& text, long long min, long long max, long long* n) {
  const char* last = text.data() + text.size();
  const auto [end, ec] = std::from_chars(text.data(), last, *n);
  return !text.empty() && ec == std::errc() && end == last && *n >= min && *n <= max;
}

// One [meter] section being read.
struct PendingMeter {
  SimMeterDescription desc;
  int line = 0;
  std::vector<std::string> seen;
};

bool ApplyKey(PendingMeter* m, const std::string& key, const std::string& value, std::string* problem) {
  const std::string k = ToUpper(key);
  if (k != "SETUP") {
    for (const auto& s : m->seen)
      if (s == k) {
        *problem = "\"" + key + "\" is given twice in this [meter] section";
        return false;
      }
    m->seen.push_back(k);
  }
  SimMeterDescription& s = m->desc;
  double v = 0;
  long long n = 0;
  if (k == "RESOURCE") {
    s.resource = value;
  } else if (k == "MODEL") {
    s.model = value;
  } else if (k == "SERIAL") {
    s.serial = value;
  } else if (k == "IDENTIFICATION") {
    s.identification = value;
  } else if (k == "SETUP") {
    s.setup.push_back(value);
  } else if (k == "REFUSE") {
    s.refused.push_back(value);
  } else if (k == "CHANNELS") {
    if (!ParseCount(value, 0, 20, &n) || (n != 0 && n != 10 && n != 20)) {
      *problem = "channels must be 0, 10 or 20, not \"" + value + "\"";
      return false;
    }
    s.channels = static_cast<int>(n);
  } else if (k == "SEED") {
    if (!ParseCount(value, 0, std::numeric_limits<long long>::max(), &n)) {
      *problem = "seed must be a whole number from 0, not \"" + value + "\"";
      return false;
    }
    s.seed = static_cast<std::uint64_t>(n);
  } else if (k == "OVERLOAD-EVERY") {
    if (!ParseCount(value, 0, 1000000000, &n)) {
      *problem = "overload-every must be a whole number from 0 (0: never), not \"" + value + "\"";
      return false;
    }
    s.overloadEvery = static_cast<int>(n);
  } else if (k == "CAP-MAX-RANGE") {
    if (!ParseWhole(value, &v) || (v != 1e-4 && v != 0.01)) {
      *problem = "cap-max-range must be 0.0001 or 0.01, not \"" + value + "\"";
      return false;
    }
    s.capMaxRange = v;
  } else {
    std::string faultError;
    if (ApplyFault(key, value, &s.faults, &faultError)) return true;
    if (faultError.rfind("unknown fault", 0) == 0)
      *problem = "unknown key \"" + key + "\"";
    else
      *problem = faultError;
    return false;
  }
  return true;
}

}  // namespace

namespace {

// Small readers over the front of a resource name, case-insensitive; each
// consumes what it read and says whether it was there.
bool Word(std::string_view& s, std::string_view word) {
  if (s.size() < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(s[i])) != word[i]) return false;
  s.remove_prefix(word.size());
  return true;
}

std::size_t Digits(std::string_view& s) {
  std::size_t n = 0;
  while (n < s.size() && std::isdigit(static_cast<unsigned char>(s[n]))) ++n;
  s.remove_prefix(n);
  return n;
}

bool Hex4(std::string_view& s) {
  if (s.size() < 4) return false;
  for (std::size_t i = 0; i < 4; ++i)
    if (!std::isxdigit(static_cast<unsigned char>(s[i]))) return false;
  s.remove_prefix(4);
  return true;
}

// One or more characters other than ':' and blanks.
bool Field(std::string_view& s) {
  std::size_t n = 0;
  while (n < s.size() && s[n] != ':' && !std::isspace(static_cast<unsigned char>(s[n]))) ++n;
  s.remove_prefix(n);
  return n > 0;
}

}  // namespace

bool IsSimResourceName(const std::string& resource) {
  if (resource.size() > kMaxSimResourceLength) return false;
  std::string_view s = resource;
  if (Word(s, "USB"))
    return Digits(s) > 0 && Word(s, "::0X") && Hex4(s) && Word(s, "::0X") && Hex4(s) && Word(s, "::") && Field(s) &&
           Word(s, "::INSTR") && s.empty();
  if (Word(s, "GPIB")) {
    if (Digits(s) == 0 || !Word(s, "::")) return false;
    const std::string_view address = s;
    const std::size_t n = Digits(s);
    const bool primary = n == 1 || (n == 2 && (address[0] == '1' || address[0] == '2' || address.substr(0, 2) == "30"));
    return primary && Word(s, "::INSTR") && s.empty();
  }
  // LAN meters of each kind: raw socket, VXI-11 and HiSLIP.
  return LanResource::Parse(resource).has_value();
}

SimBench::SimBench(std::shared_ptr<const Clock> clock)
    : clock_(clock ? std::move(clock) : std::make_shared<SystemClock>()) {}

SimMeter* SimBench::Add(const SimMeterDescription& desc, std::string* error) {
  const auto fail = [&](const std::string& text) -> SimMeter* {
    if (error) *error = text;
    return nullptr;
  };
  if (desc.resource.size() > kMaxSimResourceLength)
    return fail("a resource of " + std::to_string(desc.resource.size()) + " characters is longer than " +
                std::to_string(kMaxSimResourceLength));
  if (!IsSimResourceName(desc.resource))
    return fail("\"" + desc.resource +
                "\" is not a resource of the forms USB0::0x3A7D::0x6081::SN01::INSTR, "
                "GPIB0::16::INSTR, TCPIP0::host::5025::SOCKET, TCPIP0::host::inst0::INSTR or "
                "TCPIP0::host::hislip0::INSTR");
  if (Meter(desc.resource)) return fail("\"" + desc.resource + "\" is on the bench already");
  const SimModelInfo* model = FindModel(desc.model);
  if (!model) {
    std::string known;
    for (const auto& k : ModelKeys()) known += (known.empty() ? "" : ", ") + k;
    return fail("unknown model \"" + desc.model + "\" (known: " + known + ")");
  }
  if (desc.channels > 0 && !model->scanner)
    return fail("model " + model->key + " takes no scanner card; channels must be 0");
  if (desc.channels != -1 && desc.channels != 0 && desc.channels != 10 && desc.channels != 20)
    return fail("a scanner card has 10 or 20 channels");

  auto meter = std::make_shared<SimMeter>(desc, clock_);
  const auto errors = meter->PendingErrors();
  if (!errors.empty()) return fail("setup of " + desc.resource + " was refused by the meter: " + errors.front());
  std::lock_guard lock(mutex_);
  meters_.push_back(meter);
  return meter.get();
}

SimMeter* SimBench::Meter(const std::string& resource) const {
  return SharedMeter(resource).get();
}

std::vector<std::shared_ptr<SimMeter>> SimBench::Meters() const {
  std::lock_guard lock(mutex_);
  return meters_;
}

std::shared_ptr<SimMeter> SimBench::SharedMeter(const std::string& resource, std::string* name) const {
  std::lock_guard lock(mutex_);
  for (const auto& m : meters_) {
    if (!SameResource(m->Resource(), resource)) continue;
    if (name) *name = m->Resource();
    return m;
  }
  return nullptr;
}

std::vector<std::string> SimBench::Resources() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> v;
  for (const auto& m : meters_)
    if (m->Attached()) v.push_back(m->Resource());
  return v;
}

bool SimBench::DropMeter(const std::string& resource) {
  SimMeter* m = Meter(resource);
  if (!m) return false;
  m->Detach();
  return true;
}

bool SimBench::ReattachMeter(const std::string& resource) {
  SimMeter* m = Meter(resource);
  if (!m) return false;
  m->Attach();
  return true;
}

bool SimBench::ReattachMeter(const std::string& resource, const std::string& newResource) {
  if (!IsSimResourceName(newResource)) return false;
  std::shared_ptr<SimMeter> meter;
  {
    std::lock_guard lock(mutex_);
    for (const auto& m : meters_) {
      if (SameResource(m->Resource(), newResource) && !SameResource(m->Resource(), resource)) return false;
      if (SameResource(m->Resource(), resource)) meter = m;
    }
    if (!meter) return false;
    meter->Detach();  // renamed only while off the bus
    meter->Rename(newResource);
  }
  meter->Attach();
  return true;
}

bool SimBench::RemoveMeter(const std::string& resource) {
  std::lock_guard lock(mutex_);
  for (auto it = meters_.begin(); it != meters_.end(); ++it) {
    if (SameResource((*it)->Resource(), resource)) {
      (*it)->Detach();  // open sessions see the loss
      meters_.erase(it);
      return true;
    }
  }
  return false;
}

std::shared_ptr<SimBench> SimBench::Default(std::shared_ptr<const Clock> clock) {
  auto bench = std::make_shared<SimBench>(std::move(clock));
  // Kept in step with data/bench-example.ini, which describes this bench (a test compares them).
  struct Row {
    const char* resource;
    const char* model;
    std::uint64_t seed;
    const char* serial;
  };
  static const Row kRows[] = {
      {"USB0::0x3A7D::0x6081::SN01::INSTR", "6081", 1, ""},
      {"USB0::0x3A7D::0x3303::PS01::INSTR", "PSU", 5, ""},  // unsupported, between the meters
      {"USB0::0x3A7D::0x6082::SN02::INSTR", "6082", 2, ""},
      {"GPIB0::16::INSTR", "6081", 3, "SN03"},
      {"USB0::0x3A7E::0x7700::SN04::INSTR", "P7700A", 4, ""},  // another vendor: only the scan search finds it
  };
  for (const Row& row : kRows) {
    SimMeterDescription desc;
    desc.resource = row.resource;
    desc.model = row.model;
    desc.seed = row.seed;
    desc.serial = row.serial;
    if (desc.model == "P7700A") {
      desc.channels = 20;
      desc.setup = {"ROUT:SCAN:FUNC 1,\"VOLT:DC\";FUNC 2,\"VOLT:AC\";FUNC 3,\"RES\";FUNC 4,\"FREQ\""};
    }
    bench->Add(desc);
  }
  return bench;
}

std::shared_ptr<SimBench> SimBench::LoadFile(const std::string& path, std::string* error,
                                             std::shared_ptr<const Clock> clock) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) {
    if (error) *error = "cannot read the bench file " + path + ": " + file.errorString().toStdString();
    return nullptr;
  }
  constexpr qint64 kMaxBenchBytes = 1 << 20;  // a bench description is a few lines, not a megabyte
  const QByteArray bytes = file.read(kMaxBenchBytes + 1);
  if (bytes.size() > kMaxBenchBytes) {
    if (error) *error = "the bench file " + path + " is larger than 1 MB; it is not a bench description";
    return nullptr;
  }
  return LoadText(bytes.toStdString(), path, error, std::move(clock));
}

std::shared_ptr<SimBench> SimBench::LoadText(const std::string& text, const std::string& origin, std::string* error,
                                             std::shared_ptr<const Clock> clock) {
  const auto fail = [&](int line, const std::string& what) -> std::shared_ptr<SimBench> {
    if (error) *error = Where(origin, line) + what;
    return nullptr;
  };
  std::vector<PendingMeter> pending;
  bool inMeter = false;
  std::istringstream in(text);
  std::string raw;
  int lineNo = 0;
  while (std::getline(in, raw)) {
    ++lineNo;
    if (lineNo == 1 && raw.rfind("\xEF\xBB\xBF", 0) == 0) raw.erase(0, 3);  // UTF-8 byte-order mark
    const std::string line(Trim(raw));
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      if (line.back() != ']') return fail(lineNo, "a section line must end with ']'");
      const std::string name = ToUpper(Trim(std::string_view(line).substr(1, line.size() - 2)));
      if (name != "METER")
        return fail(lineNo, "unknown section [" + line.substr(1, line.size() - 2) + "]; only [meter]");
      pending.push_back({});
      pending.back().line = lineNo;
      inMeter = true;
      continue;
    }
    const auto eq = line.find('=');
    if (eq == std::string::npos) return fail(lineNo, "expected key = value, a [meter] line or a comment");
    if (!inMeter) return fail(lineNo, "a key before the first [meter] section");
    const std::string key(Trim(std::string_view(line).substr(0, eq)));
    const std::string value(Trim(std::string_view(line).substr(eq + 1)));
    if (key.empty()) return fail(lineNo, "a key is missing before '='");
    std::string problem;
    if (!ApplyKey(&pending.back(), key, value, &problem)) return fail(lineNo, problem);
  }

  auto bench = std::make_shared<SimBench>(std::move(clock));
  for (const auto& m : pending) {
    if (m.desc.resource.empty()) return fail(m.line, "this [meter] section has no resource");
    std::string problem;
    if (!bench->Add(m.desc, &problem)) return fail(m.line, problem);
  }
  return bench;
}

}  // namespace merilog::sim
