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
#include "core/instrument/HislipBackend.h"
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

constexpr double kRoundSeconds = 0.4;
constexpr int kRounds = 15;
constexpr int kWarmUpQueries = 500;

volatile double sink = 0;  // keeps the parsed values alive

// Queries per second of `query` over about kRoundSeconds; false from query stops the run.
double Rate(const std::function<bool()>& query) {
  for (int i = 0; i < kWarmUpQueries; ++i)
    if (!query()) return 0;
  long count = 0;
  const auto start = SteadyClock::now();
  std::chrono::duration<double> elapsed{};
  do {
    for (int i = 0; i < 100; ++i)
      if (!query()) return 0;
    count += 100;
    elapsed = SteadyClock::now() - start;
  } while (elapsed.count() < kRoundSeconds);
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
  std::vector<double> rounds;
  for (int i = 0; i < kRounds; ++i) rounds.push_back(Rate([&] { return QueryOnce(session.get()); }));
  return Median(rounds);
}

// merilog-simmeter on a port of its choosing; stopped when this goes out of scope.
class SimmeterProcess {
 public:
  explicit SimmeterProcess(const QStringList& extra = {}) {
    process_.setProgram(QStringLiteral(MERILOG_SIMMETER_PATH));
    process_.setArguments(QStringList{"--port", "0"} + extra);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start();
    if (!process_.waitForStarted(10000)) return;
    while (!process_.canReadLine() && process_.waitForReadyRead(10000)) {
    }
    const QByteArray line = process_.readLine().trimmed();
    if (line.startsWith("port: ")) port_ = line.mid(6).toInt();
    if (!extra.contains("--portmapper-port")) return;
    while (!process_.canReadLine() && process_.waitForReadyRead(10000)) {
    }
    const QByteArray next = process_.readLine().trimmed();
    if (next.startsWith("portmapper-port: ")) port_ = next.mid(17).toInt();  // what the client asks first
  }
  ~SimmeterProcess() {
    process_.terminate();
    if (!process_.waitForFinished(3000)) process_.kill();
    process_.waitForFinished(3000);
  }
  int Port() const { return port_; }

 private:
  QProcess process_;
  int port_ = 0;
};

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
  ::write(fd, conf, sizeof conf - 1);
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

constexpr int kBurstReadings = 50000;
// Bursts and bare clients take turns; the ratio is the median of neighbouring pairs.
constexpr int kBurstRounds = 7;

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
  while (!model.Idle()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  model.RecordChosen(0);
  model.NumberEdited(QString::number(kBurstReadings));
  model.Start();
  while (!model.Idle()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  const auto& r = model.LastResult();
  if (!r || r->end != merilog::BurstEnd::Completed || r->seconds <= 0) return 0;
  return r->readings / r->seconds;
}

// The bare client's rate over the same number of readings.
double RawBurstRate(int port) {
  return WithRawClient(port, [](const std::function<bool()>& query) {
    for (int i = 0; i < kWarmUpQueries; ++i)
      if (!query()) return 0.0;
    const auto start = SteadyClock::now();
    for (int i = 0; i < kBurstReadings; ++i)
      if (!query()) return 0.0;
    const std::chrono::duration<double> elapsed = SteadyClock::now() - start;
    return kBurstReadings / elapsed.count();
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
  for (int i = 0; i < kWarmUpQueries; ++i)
    if (!query()) return 0;
  constexpr int kQueries = 5000;
  const auto start = SteadyClock::now();
  for (int i = 0; i < kQueries; ++i)
    if (!query()) return 0;
  const std::chrono::duration<double, std::milli> elapsed = SteadyClock::now() - start;
  return elapsed.count() / kQueries;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::printf("sim_queries_per_s: %.0f queries/s\n", SimRate());
  std::fflush(stdout);

  SimmeterProcess server;
  if (!server.Port()) {
    std::fprintf(stderr, "merilog-simmeter did not start (%s)\n", MERILOG_SIMMETER_PATH);
    return 1;
  }
  std::vector<double> socket, raw, ratio;
  for (int i = 0; i < kRounds; ++i) {
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
  for (int i = 0; i < kRounds; ++i) {
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
  for (int i = 0; i < kBurstRounds; ++i) {
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
  return s > 0 && r > 0 && b > 0 && consoleMs > 0 ? 0 : 1;
}
