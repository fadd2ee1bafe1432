#include "cli/IoCommands.h"

#include <algorithm>
#include <iostream>
#include <thread>

#include "cli/CliHelp.h"
#include "core/instrument/LanSearch.h"
#include "core/instrument/QueryDevice.h"
#include "core/instrument/ResourceManager.h"
#include "core/instrument/ResourcePattern.h"

namespace merilog::cli {
namespace {

// Null resources after saying why.
Instruments SetUp(const CliOptions& options) {
  std::string error;
  Instruments instruments;
  if (!SetUpInstruments(options.io, &instruments, &error)) std::cerr << "merilog-cli: " << error << "\n";
  return instruments;
}

}  // namespace

int WithTranscriptChecked(const Instruments& instruments, int exitCode) {
  if (!instruments.transcript || !instruments.transcript->Failed()) return exitCode;
  std::cerr << "merilog-cli: " << instruments.transcript->Error() << "\n";
  return exitCode == 0 ? 1 : exitCode;
}

int RunIoCommand(const CliOptions& options, const QStringList& args) {
  if (!args.isEmpty()) {
    std::cerr << "merilog-cli: io takes no arguments\n";
    PrintUsageLine("io");
    return 2;
  }
  const Instruments instruments = SetUp(options);
  if (!instruments.resources) return 1;
  for (const auto& b : instruments.resources->Backends()) {
    std::string why;
    const bool active = b->IsActive(&why);
    std::cout << b->Name() << ": " << (active ? "active" : "inactive");
    if (!active && !why.empty()) std::cout << " (" << why << ")";
    std::cout << "\n";
  }
  for (const std::string& line : DescribeLanSearch()) std::cout << line << "\n";
  return WithTranscriptChecked(instruments, 0);
}

int RunFindCommand(const CliOptions& options, const QStringList& words) {
  QStringList args = words;
  const bool lan = args.removeAll("--lan") > 0;
  if (args.size() != 1) {
    PrintUsageLine("find");
    return 2;
  }
  const Instruments instruments = SetUp(options);
  if (!instruments.resources) return 1;
  // The LAN is searched while the backends list what they know.
  std::vector<std::string> onLan;
  std::thread search;
  const std::string expression = args[0].toStdString();
  std::string why;
  const auto pattern = ResourcePattern::Compile(expression, &why);
  if (lan && pattern) search = std::thread([&onLan] { onLan = SearchLan().resources; });
  Status st = status::kSuccess;
  auto found = instruments.resources->Find(expression, &st);
  if (search.joinable()) search.join();
  for (const std::string& r : onLan)
    if (pattern->Matches(r) && std::find(found.begin(), found.end(), r) == found.end()) found.push_back(r);
  if (st == status::kErrorInvalidExpression) {
    std::cerr << "merilog-cli: invalid search pattern";
    // A pattern too long to be one is not echoed back.
    if (static_cast<std::size_t>(args[0].size()) <= ResourcePattern::kMaxPatternLength)
      std::cerr << " \"" << expression << "\"";
    std::cerr << ": " << why << "\n";
    return WithTranscriptChecked(instruments, 2);
  }
  for (const auto& r : found) std::cout << r << "\n";
  return WithTranscriptChecked(instruments, 0);
}

namespace {

int Query(ResourceManager& rm, const std::string& resource, const QStringList& args) {
  Status st = status::kSuccess;
  auto session = rm.Open(resource, &st);
  if (!session) {
    std::cerr << "merilog-cli: cannot open " << resource << ": " << DescribeStatus(st) << "\n";
    return 1;
  }
  session->SetTimeout(5000);
  for (int i = 1; i < args.size(); ++i) {
    const std::string command = args[i].toStdString() + "\n";
    st = session->Write(command);
    if (!IsSuccess(st)) {
      std::cerr << "merilog-cli: writing \"" << args[i].toStdString() << "\" to " << resource
                << " failed: " << DescribeStatus(st) << "\n";
      return 1;
    }
    if (!CommandExpectsAnswer(command)) continue;
    ReadResult r = ReadAnswer(*session);
    if (!IsSuccess(r.status)) {
      std::cerr << "merilog-cli: no answer to \"" << args[i].toStdString() << "\" from " << resource << ": "
                << DescribeStatus(r.status) << "\n";
      return 1;
    }
    std::cout << TrimRight(r.bytes) << "\n" << std::flush;
  }
  session->Close();
  return 0;
}

}  // namespace

int RunQueryCommand(const CliOptions& options, const QStringList& args) {
  if (args.size() < 2) {
    PrintUsageLine("query");
    return 2;
  }
  const std::string resource = args[0].toStdString();
  CliOptions withResource = options;
  // A LAN resource named here needs no separate --resource.
  if (resource.rfind("TCPIP", 0) == 0 || resource.rfind("tcpip", 0) == 0)
    withResource.io.lanResources.push_back(resource);
  const Instruments instruments = SetUp(withResource);
  if (!instruments.resources) return 1;
  return WithTranscriptChecked(instruments, Query(*instruments.resources, resource, args));
}

}  // namespace merilog::cli
