// One fuzz target for every parser that reads outside input: the first byte
// chooses the parser, the rest is its input. Crashes, sanitizer findings and
// time-outs are what it looks for; results are not checked here (the tests do).
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/base/IniFile.h"
#include "core/instrument/DeviceEntry.h"
#include "core/instrument/GpibBackend.h"
#include "core/instrument/QueryDevice.h"
#include "core/instrument/ResourcePattern.h"
#include "core/instrument/TcpSocketBackend.h"
#include "core/measure/ChartNumberText.h"
#include "core/measure/FunctionCatalogue.h"
#include "core/measure/ValueDisplay.h"
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
  const auto [idn, resource] = Halves(s);
  (void)MakeDeviceDisplayName(std::string(idn), std::string(resource));
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 6) {
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
    default:
      MeterCommands(input);
      break;
  }
  return 0;
}
