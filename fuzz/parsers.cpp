// One fuzz target for every parser that reads outside input: the first byte
// chooses the parser, the rest is its input. Crashes, sanitizer findings and
// time-outs are what it looks for; results are not checked here (the tests do).
#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/base/Clock.h"
#include "core/base/IniFile.h"
#include "core/base/Prompter.h"
#include "core/console/ConsoleExchange.h"
#include "core/instrument/DeviceEntry.h"
#include "core/instrument/GpibBackend.h"
#include "core/instrument/QueryDevice.h"
#include "core/instrument/ResourcePattern.h"
#include "core/instrument/Session.h"
#include "core/instrument/TcpSocketBackend.h"
#include "core/measure/ChartNumberText.h"
#include "core/measure/FunctionCatalogue.h"
#include "core/measure/ValueDisplay.h"
#include "core/meterconfig/ReadBack.h"
#include "core/meterconfig/SettingsCatalogue.h"
#include "core/scan/ScanChannelText.h"
#include "core/scan/ScanFieldRules.h"
#include "core/scan/ScanSetup.h"
#include "sim/SimBench.h"
#include "sim/SimMeter.h"

namespace {

using namespace merilog;

// Splits at the first NUL: two inputs from one buffer.
std::pair<std::string_view, std::string_view> Halves(std::string_view s) {
  const auto at = s.find('\0');
  if (at == std::string_view::npos) return {s, {}};
  return {s.substr(0, at), s.substr(at + 1)};
}

// An answer of a meter, as the window reads it.
void Answer(std::string_view s) {
  const std::string name = NormaliseFunctionAnswer(s);
  (void)FindFunctionRow(name);
  (void)IsFunctionName(name);
  const double v = LeadingNumber(s);
  (void)DisplayValue(v, name);
  (void)LeadingInteger(s, 0, 1'000'000'000);  // a scan's progress count
  const auto [idn, resource] = Halves(s);
  (void)MakeDeviceDisplayName(std::string(idn), std::string(resource));
  (void)EscapeControlCharacters(QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())));
}

// A meter that answers each read with the next line of the script, then falls silent.
class ScriptedMeter : public Session {
 public:
  explicit ScriptedMeter(std::string_view script) : script_(script) {}
  Status Write(std::string_view) override { return status::kSuccess; }
  ReadResult Read(std::size_t maxBytes) override {
    ReadResult r;
    if (script_.empty()) {
      r.status = status::kErrorTimeout;
      return r;
    }
    const std::size_t lf = script_.find('\n');
    const std::size_t line = lf == std::string_view::npos ? script_.size() : lf + 1;
    const std::size_t taken = std::min(line, maxBytes);
    r.bytes.assign(script_.substr(0, taken));
    r.end = taken == line;
    if (!r.end) r.status = status::kSuccessMaxCount;
    script_.remove_prefix(taken);
    return r;
  }
  Status SetTimeout(int) override { return status::kSuccess; }
  Status Clear() override { return status::kSuccess; }
  Status Close() override { return status::kSuccess; }
  const std::string& Resource() const override { return resource_; }

 private:
  std::string_view script_;
  std::string resource_ = "GPIB0::16::INSTR";
};

// The Device Settings read-back over a meter whose answers are the input's lines;
// its first byte chooses the model and the primary function of the 2ND read-back.
void ReadBackAnswers(std::string_view s) {
  const unsigned char choice = s.empty() ? 0 : static_cast<unsigned char>(s[0]);
  if (!s.empty()) s.remove_prefix(1);
  ReadBackRequest request;
  request.model = choice & 1 ? SettingsModel::Dual : SettingsModel::Basic;
  request.hewl = choice & 2;
  request.capacitanceTo10mF = choice & 4;
  ScriptedMeter primary(s);
  (void)ReadBackSettings(&primary, request);
  ScriptedMeter second(s);
  bool lost = false;
  (void)ReadBackSecondFunction(&second, SettingsEntry((choice >> 3) % kSettingsFunctionCount).label,
                               request.capacitanceTo10mF, &lost);
}

void LanguageFile(std::string_view s) {
  const IniFile ini = IniFile::Parse(QByteArrayView(s.data(), static_cast<qsizetype>(s.size())));
  for (const QString& section : ini.SectionNames())
    for (const QString& key : ini.Keys(section)) (void)ini.Find(section, key);
}

void BenchFile(std::string_view s) {
  std::string error;
  (void)sim::SimBench::LoadText(std::string(s), "fuzz.ini", &error);
}

void Resource(std::string_view s) {
  const std::string r(s);
  std::string why;
  (void)TcpSocketBackend::ParseResource(r, &why);
  (void)GpibBackend::ParseResource(r);
  (void)sim::IsSimResourceName(r);
}

void Pattern(std::string_view s) {
  const auto [pattern, resource] = Halves(s);
  std::string why;
  if (const auto p = ResourcePattern::Compile(pattern, &why)) (void)p->Matches(resource);
}

// Command lines to a simulated meter of each kind.
void MeterCommands(std::string_view s) {
  static const char* const kModels[] = {"6081", "6082", "MR6082", "P7710", "P7700A", "PSU"};
  sim::SimMeterDescription description;
  description.resource = "GPIB0::16::INSTR";
  description.model = kModels[s.empty() ? 0 : static_cast<unsigned char>(s[0]) % 6];
  description.overloadEvery = 0;
  sim::SimMeter meter(description, nullptr);
  std::size_t start = 0;
  for (std::size_t lf; (lf = s.find('\n', start)) != std::string_view::npos; start = lf + 1)
    (void)meter.Execute(s.substr(start, lf - start));
  (void)meter.Execute(s.substr(start));
}

// Answers every message box with OK.
class SilentPrompter : public Prompter {
 public:
  Answer Message(const QString&, const QString&, Icon, Buttons) override { return Answer::Ok; }
  QString SaveFileName(const QString&, const QString&, const QString&) override { return {}; }
  std::optional<Rgb> ChooseColour(const Rgb&) override { return std::nullopt; }
};

// The scan's channel texts and number fields, on the command line and typed
// into the dialog: the first half a channel text and the number rules, the
// second every field of the dialog, then a start's reading of them.
void ScanTexts(std::string_view s) {
  const auto [first, second] = Halves(s);
  const QString channel = QString::fromUtf8(first.data(), static_cast<qsizetype>(first.size()));
  ScanChannelText parsed;
  (void)ParseScanChannelText(channel, &parsed);
  (void)ReadWholeNumber(first);
  for (auto* problem : {TimerProblem, ScanCountProblem, NScansProblem, ShuntProblem, OffsetProblem})
    (void)problem(channel);

  static SilentPrompter prompter;
  static const FixedClock clock{QDateTime::fromSecsSinceEpoch(0)};
  ScanSetup setup(prompter, clock);
  const QString typed = QString::fromUtf8(second.data(), static_cast<qsizetype>(second.size()));
  setup.ScanFunctionChosen(3);  // DCI: the R and I fields are shown
  setup.ShuntREdited(typed);
  setup.CurrentOffsetEdited(typed);
  setup.TimerEdited(typed);
  setup.NEdited(typed);
  setup.StopAfterNToggled(true);
  setup.ScanCountEdited(typed);
  (void)setup.TimerTextValid();
  (void)setup.ReadFields();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 8) {
    case 0:
      Answer(input);
      break;
    case 1:
      LanguageFile(input);
      break;
    case 2:
      BenchFile(input);
      break;
    case 3:
      Resource(input);
      break;
    case 4:
      Pattern(input);
      break;
    case 5:
      ReadBackAnswers(input);
      break;
    case 6:
      ScanTexts(input);
      break;
    default:
      MeterCommands(input);
      break;
  }
  return 0;
}
