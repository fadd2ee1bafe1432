// Query rates of the three ways of reading a meter, in one run:
//   sim_queries_per_s         "read?\n" through the in-process simulated meter
//   socket_queries_per_s      the same through the socket backend against merilog-simmeter
//   raw_socket_queries_per_s  a bare client writing and reading that server's socket: the limit
//   vxi11_queries_per_s       the same through the VXI-11 backend against merilog-simmeter --protocol vxi11
//   hislip_queries_per_s      the same through the HiSLIP backend against merilog-simmeter --protocol hislip
//   vxi11_to_socket, hislip_to_socket  their rates over the socket's, rounds taken in turn
//   burst_50k_per_s           a Multiple Readings burst of 50000 into a record in a temporary
//                             folder, through the dialog's model, against that server
//   burst_vs_raw              its rate over the bare client's for 50000 "read?" in the same run
//   console_query_ms          one Query round trip through the console's model
// and, inside network namespaces the benchmark makes (as root; skipped with a
// note otherwise), nothing leaving the machine:
//   vxi11_ours_queries_per_s, vxi11_pyvisa_py_queries_per_s, vxi11_ours_to_pyvisa_py
//                             our VXI-11 client and PyVISA-py's against one
//                             merilog-simmeter --protocol vxi11 (portmapper on port 111)
//   lan_search_ms             discovery with the LAN search (merilog-cli devices --lan) over
//                             the four meters of tests/support/lan-bench.sh, from start to
//                             the filled device list, median of 5; lan_search_meters found
// Each query is sent with the main window's query form (QueryDevice) and its value parsed with strtod,
// as the acquisition cycle does. Socket and bare client take turns in short rounds so
// that both see the same machine load; each figure is the median of its rounds, and the
// ratio is the median of the ratios of neighbouring rounds.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "core/base/Clock.h"
#include "core/base/Prompter.h"
#include "core/burst/MultipleReadingsModel.h"
#include "core/console/ConsoleModel.h"
#include "core/instrument/DeviceListModel.h"
#include "core/instrument/HislipBackend.h"
#include "core/instrument/LanSearch.h"
#include "core/instrument/QueryDevice.h"
#include "core/instrument/ResourceManager.h"
#include "core/instrument/SessionWorker.h"
#include "core/instrument/TcpSocketBackend.h"
#include "core/instrument/Vxi11Backend.h"
#include "sim/SimBackend.h"
#include "sim/SimBench.h"

namespace {

using merilog::QueryDevice;
using merilog::QueryForm;
using merilog::Session;
using SteadyClock = std::chrono::steady_clock;

// Smaller with --quick (the tests' run, whose figures mean nothing).
double roundSeconds = 0.4;
int rounds = 15;
int warmUpQueries = 500;

volatile double sink = 0;  // keeps the parsed values alive

// Queries per second of `query` over about roundSeconds; false from query stops the run.
double Rate(const std::function<bool()>& query) {
  for (int i = 0; i < warmUpQueries; ++i)
    if (!query()) return 0;
  long count = 0;
  const auto start = SteadyClock::now();
  std::chrono::duration<double> elapsed{};
  do {
    for (int i = 0; i < 100; ++i)
      if (!query()) return 0;
    count += 100;
    elapsed = SteadyClock::now() - start;
  } while (elapsed.count() < roundSeconds);
  return count / elapsed.count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

bool QueryOnce(Session* session) {
  const std::string answer = QueryDevice(session, QueryForm::MainWindow, "read?\n").text;
  if (answer.empty()) return false;
  sink = sink + std::strtod(answer.c_str(), nullptr);
  return true;
}

double SimRate() {
  merilog::ResourceManager rm;
  auto bench = merilog::sim::SimBench::Default();
  rm.AddBackend(std::make_unique<merilog::sim::SimBackend>(bench));
  auto session = rm.Open("USB0::0x3A7D::0x6081::SN01::INSTR");
  if (!session) return 0;
  QueryDevice(session.get(), QueryForm::MainWindow, "CONF:VOLT:DC\n");
  std::vector<double> rates;
  for (int i = 0; i < rounds; ++i) rates.push_back(Rate([&] { return QueryOnce(session.get()); }));
  return Median(rates);
}

using merilog::bench::SimmeterProcess;

double LanRate(merilog::Backend& backend, const std::string& resource) {
  merilog::Status status = 0;
  auto session = backend.Open(resource, &status);
  if (!session) return 0;
  QueryDevice(session.get(), QueryForm::MainWindow, "CONF:VOLT:DC\n");
  return Rate([&] { return QueryOnce(session.get()); });
}

double SocketRate(int port) {
  merilog::TcpSocketBackend backend({});
  merilog::Status status = 0;
  auto session = backend.Open("TCPIP0::127.0.0.1::" + std::to_string(port) + "::SOCKET", &status);
  if (!session) return 0;
  QueryDevice(session.get(), QueryForm::MainWindow, "CONF:VOLT:DC\n");
  return Rate([&] { return QueryOnce(session.get()); });
}

// The limit: one blocking write and blocking reads up to the line feed, nothing
// else. `measure` runs the client's query as it likes and gives the figure.
double WithRawClient(int port, const std::function<double(const std::function<bool()>&)>& measure) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return 0;
  }
  const int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  const char conf[] = "CONF:VOLT:DC\n";
  if (::write(fd, conf, sizeof conf - 1) != sizeof conf - 1) {
    ::close(fd);
    return 0;
  }
  char buf[1024];
  const double rate = measure([&] {
    static const char query[] = "read?\n";
    if (::write(fd, query, sizeof query - 1) != sizeof query - 1) return false;
    std::size_t got = 0;
    do {
      const ssize_t n = ::read(fd, buf + got, sizeof buf - 1 - got);
      if (n <= 0) return false;
      got += static_cast<std::size_t>(n);
    } while (buf[got - 1] != '\n' && got < sizeof buf - 1);
    buf[got] = '\0';
    sink = sink + std::strtod(buf, nullptr);
    return true;
  });
  ::close(fd);
  return rate;
}

double RawRate(int port) {
  return WithRawClient(port, Rate);
}

int burstReadings = 50000;
// Bursts and bare clients take turns; the ratio is the median of neighbouring pairs.
int burstRounds = 7;

// A worker over a fresh socket session to the server.
std::unique_ptr<merilog::SessionWorker> SocketWorker(int port) {
  merilog::TcpSocketBackend backend({});
  merilog::Status status = 0;
  auto session = backend.Open("TCPIP0::127.0.0.1::" + std::to_string(port) + "::SOCKET", &status);
  if (!session) return nullptr;
  session->SetTimeout(20000);
  return std::make_unique<merilog::SessionWorker>(std::move(session));
}

merilog::DeviceHandOver HandOver(merilog::SessionWorker* worker) {
  merilog::HandedDevice d;
  d.worker = worker;
  d.displayName = "simmeter";
  return {{d}, 1};
}

// The dialog's Start with 50000 readings into record 1 of a fresh folder; readings per second.
double BurstRate(int port) {
  QTemporaryDir folder;
  auto worker = SocketWorker(port);
  if (!worker || !folder.isValid()) return 0;
  merilog::bench::BenchPrompter prompter(merilog::Prompter::Answer::Ok);
  merilog::SystemClock clock;
  const QString path = folder.path();
  merilog::MultipleReadingsModel model(prompter, clock, [path](merilog::Prompter&) { return path; });
  model.HandOverDevices(HandOver(worker.get()));
  model.Opening();
  merilog::bench::Settle(model);
  model.RecordChosen(0);
  model.NumberEdited(QString::number(burstReadings));
  model.Start();
  merilog::bench::Settle(model);
  const auto& r = model.LastResult();
  if (!r || r->end != merilog::BurstEnd::Completed || r->seconds <= 0) return 0;
  return r->readings / r->seconds;
}

// The bare client's rate over the same number of readings.
double RawBurstRate(int port) {
  return WithRawClient(port, [](const std::function<bool()>& query) {
    for (int i = 0; i < warmUpQueries; ++i)
      if (!query()) return 0.0;
    const auto start = SteadyClock::now();
    for (int i = 0; i < burstReadings; ++i)
      if (!query()) return 0.0;
    const std::chrono::duration<double> elapsed = SteadyClock::now() - start;
    return burstReadings / elapsed.count();
  });
}

// Milliseconds of one Query through the console's model, from the click to the shown answer.
double ConsoleQueryMs(int port) {
  auto worker = SocketWorker(port);
  if (!worker) return 0;
  merilog::ConsoleModel model;
  model.HandOverDevices(HandOver(worker.get()));
  model.Opening();
  model.SendTextEdited("read?");
  auto query = [&] {
    model.Query();
    while (model.View().waiting) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return model.View().receivedText != merilog::NoValueText();
  };
  for (int i = 0; i < warmUpQueries; ++i)
    if (!query()) return 0;
  const int queries = rounds * 333;
  const auto start = SteadyClock::now();
  for (int i = 0; i < queries; ++i)
    if (!query()) return 0;
  const std::chrono::duration<double, std::milli> elapsed = SteadyClock::now() - start;
  return elapsed.count() / queries;
}

// Inside the namespace: our client's rate over the VXI-11 server the script started.
int Vxi11RateInside(const std::string& resource) {
  merilog::Vxi11Backend vxi({});
  std::vector<double> rates;
  for (int i = 0; i < 15; ++i) rates.push_back(LanRate(vxi, resource));
  std::printf("vxi11_ours_queries_per_s: %.0f queries/s\n", Median(rates));
  return Median(rates) > 0 ? 0 : 1;
}

// Inside the namespace: the device list with the LAN search, as the window and devices --lan run it.
int LanSearchInside() {
  merilog::ResourceManager rm;
  merilog::AddHardwareBackends(rm, {});
  std::vector<double> times;
  int found = 0;
  for (int i = 0; i < 5; ++i) {
    merilog::DeviceListModel model(rm, {});
    model.SetLanSearch(merilog::LanSearchOptions{});
    bool done = false;
    const auto start = SteadyClock::now();
    model.Discover([&] { done = true; });
    while (!done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    times.push_back(std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count());
    found = model.DeviceCount();
    model.Close();
  }
  std::printf("lan_search_ms: %.0f ms\n", Median(times));
  std::printf("lan_search_meters: %d meters\n", found);
  return found > 0 ? 0 : 1;
}

// Runs a script in fresh network and mount namespaces with $SIM, $BENCH (this
// program) and $LANBENCH set; prints its "name: value unit" lines, and its
// other lines as notes on standard error.
void InNamespace(const QString& what, const QString& script) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("SIM", MERILOG_SIMMETER_PATH);
  env.insert("BENCH", QCoreApplication::applicationFilePath());
  env.insert("LANBENCH", MERILOG_LAN_BENCH_SCRIPT);
  p.setProcessEnvironment(env);
  p.start(
      "unshare",
      {"-n", "-m", "bash", "-c",
       "set -e\ntrap 'kill $(jobs -p) 2>/dev/null || true' EXIT\nsource \"$LANBENCH\"\nip link set lo up\n" + script});
  if (!p.waitForFinished(300000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
    std::fprintf(stderr, "%s skipped: %s%s\n", qPrintable(what),
                 p.error() == QProcess::FailedToStart ? "unshare is not installed" : "the namespace script failed",
                 qPrintable(" " + QString::fromUtf8(p.readAllStandardError()).trimmed()));
    return;
  }
  static const QRegularExpression figure(QStringLiteral("^[a-z0-9_]+: [0-9.]+ "));
  for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts))
    std::fprintf(figure.match(line).hasMatch() ? stdout : stderr, "%s\n", qPrintable(line));
  std::fflush(stdout);
}

// Our VXI-11 client against PyVISA-py's, then the LAN search, each in a namespace of its own.
void NamespaceFigures() {
  InNamespace("vxi11_pyvisa_py", R"(
lan_meter --protocol vxi11 --port 0 --portmapper-port 111 --model 6081
ours=$("$BENCH" --vxi11-rate TCPIP0::127.0.0.1::inst0::INSTR)
echo "$ours"
theirs=$(/usr/bin/python3 - <<'PY'
import time, pyvisa
m = pyvisa.ResourceManager('@py').open_resource('TCPIP0::127.0.0.1::inst0::INSTR')
m.write('CONF:VOLT:DC')
for i in range(500): float(m.query('read?').split(',')[0])
rates = []
for r in range(15):
    n, t = 0, time.perf_counter()
    while time.perf_counter() - t < 0.4:
        float(m.query('read?').split(',')[0]); n += 1
    rates.append(n / (time.perf_counter() - t))
print('%.0f' % sorted(rates)[len(rates) // 2])
PY
)
echo "vxi11_pyvisa_py_queries_per_s: $theirs queries/s"
echo "vxi11_ours_to_pyvisa_py: $(echo "$ours" | awk -v t="$theirs" '{printf "%.2f", $2 / t}') ratio"
)");
  InNamespace("lan_search_ms", R"(
lan_network
lan_meters
lan_start_avahi || true
"$BENCH" --lan-search
)");
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  // The parts run inside the namespaces (see NamespaceFigures).
  if (argc == 3 && std::strcmp(argv[1], "--vxi11-rate") == 0) return Vxi11RateInside(argv[2]);
  if (argc == 2 && std::strcmp(argv[1], "--lan-search") == 0) return LanSearchInside();
  const bool quick = merilog::bench::QuickRun(argc, argv);
  if (quick) {
    roundSeconds = 0.02;
    rounds = 1;
    warmUpQueries = 10;
    burstReadings = 500;
    burstRounds = 1;
  }
  std::printf("sim_queries_per_s: %.0f queries/s\n", SimRate());
  std::fflush(stdout);

  SimmeterProcess server;
  if (!server.Port()) {
    std::fprintf(stderr, "merilog-simmeter did not start (%s)\n", MERILOG_SIMMETER_PATH);
    return 1;
  }
  std::vector<double> socket, raw, ratio;
  for (int i = 0; i < rounds; ++i) {
    // Alternate which goes first, so neither always follows a fresh connection.
    double sr, rr;
    if (i % 2) {
      sr = SocketRate(server.Port());
      rr = RawRate(server.Port());
    } else {
      rr = RawRate(server.Port());
      sr = SocketRate(server.Port());
    }
    socket.push_back(sr);
    raw.push_back(rr);
    if (rr > 0) ratio.push_back(sr / rr);
  }
  const double s = Median(socket), r = Median(raw);
  std::printf("socket_queries_per_s: %.0f queries/s\n", s);
  std::printf("raw_socket_queries_per_s: %.0f queries/s\n", r);
  std::printf("socket_to_raw: %.1f %%\n", 100.0 * Median(ratio));
  std::fflush(stdout);

  // The LAN protocols in turn with the socket, so all see the same load.
  SimmeterProcess vxiServer({"--protocol", "vxi11", "--portmapper-port", "0"});
  SimmeterProcess hislipServer({"--protocol", "hislip"});
  merilog::Vxi11Backend vxi({}, static_cast<std::uint16_t>(vxiServer.Port()));
  merilog::HislipBackend hislip({});
  const std::string hislipResource = "TCPIP0::127.0.0.1::hislip0," + std::to_string(hislipServer.Port()) + "::INSTR";
  std::vector<double> vxiRates, hislipRates, vxiRatio, hislipRatio;
  for (int i = 0; i < rounds; ++i) {
    const double sr = SocketRate(server.Port());
    const double vr = LanRate(vxi, "TCPIP0::127.0.0.1::inst0::INSTR");
    const double hr = LanRate(hislip, hislipResource);
    vxiRates.push_back(vr);
    hislipRates.push_back(hr);
    if (sr > 0) {
      vxiRatio.push_back(vr / sr);
      hislipRatio.push_back(hr / sr);
    }
  }
  std::printf("vxi11_queries_per_s: %.0f queries/s\n", Median(vxiRates));
  std::printf("hislip_queries_per_s: %.0f queries/s\n", Median(hislipRates));
  std::printf("vxi11_to_socket: %.2f ratio\n", Median(vxiRatio));
  std::printf("hislip_to_socket: %.2f ratio\n", Median(hislipRatio));
  std::fflush(stdout);

  std::vector<double> burst, rawBurst, burstRatio;
  for (int i = 0; i < burstRounds; ++i) {
    const double b = BurstRate(server.Port());
    const double rb = RawBurstRate(server.Port());
    burst.push_back(b);
    rawBurst.push_back(rb);
    if (rb > 0) burstRatio.push_back(b / rb);
  }
  const double b = Median(burst);
  std::printf("burst_50k_per_s: %.0f readings/s\n", b);
  std::printf("burst_vs_raw: %.3f ratio\n", Median(burstRatio));
  const double consoleMs = ConsoleQueryMs(server.Port());
  std::printf("console_query_ms: %.3f ms\n", consoleMs);
  std::fflush(stdout);
  // Namespaces, PyVISA-py and an avahi-daemon: for the figures, not for the tests' quick run.
  if (!quick) NamespaceFigures();
  return s > 0 && r > 0 && b > 0 && consoleMs > 0 ? 0 : 1;
}
