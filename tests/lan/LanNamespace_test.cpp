// Our VXI-11 server and client against programs nobody here wrote: PyVISA-py,
// lxi-tools and rpcbind. They need the portmapper on port 111 and, for lxi's
// search, a broadcast: each test runs in a network namespace of its own (and a
// mount namespace, for rpcbind's files), where nothing leaves the machine.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <iostream>

namespace merilog {
namespace {

constexpr int kScriptWaitMs = 100000;

// Why the namespace tests cannot run here, or empty when they can.
QString Missing() {
  QProcess probe;
  probe.start("unshare", {"-n", "-m", "true"});
  if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
    return "cannot make a network namespace here (unshare -n needs root)";
  for (const char* tool : {"ip", "lxi", "rpcbind", "rpcinfo"})
    if (QStandardPaths::findExecutable(tool).isEmpty()) return QString("%1 is not installed").arg(tool);
  if (!QFile::exists("/usr/bin/python3")) return "/usr/bin/python3 is not installed";
  return {};
}

// Runs a bash script inside fresh network and mount namespaces with lo up and
// the veth pair lan0/lan1 carrying 10.77.0.0/24. $SIM and $CLI name our programs,
// $LANBENCH the script that sets up four meters for the LAN search.
// Returns standard output; the exit code must be 0.
QString InNamespace(const QString& script) {
  const QString prologue =
      "set -e\n"
      "ip link set lo up\n"
      "ip link add lan0 type veth peer name lan1\n"
      "ip link set lan1 up\n"
      "ip link set lan0 up\n"
      "trap 'kill $(jobs -p) 2>/dev/null || true' EXIT\n"
      // A meter's server: waits for its first line, so the script goes on once it listens.
      "start() { local out=$(mktemp); \"$SIM\" \"$@\" >\"$out\" 2>&1 & "
      "for i in $(seq 100); do grep -q '^port:' \"$out\" && break; sleep 0.05; done; }\n";
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("SIM", MERILOG_SIMMETER_PATH);
  env.insert("CLI", MERILOG_CLI_PATH);
  env.insert("LANBENCH", MERILOG_SOURCE_DATA_DIR "/../tests/support/lan-bench.sh");
  p.setProcessEnvironment(env);
  p.start("unshare", {"-n", "-m", "bash", "-c", prologue + script});
  const bool finished = p.waitForFinished(kScriptWaitMs);
  const QString out = QString::fromUtf8(p.readAllStandardOutput());
  EXPECT_TRUE(finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
      << "script failed:\n"
      << out.toStdString() << "\n"
      << p.readAllStandardError().toStdString();
  return out;
}

class LanNamespace : public ::testing::Test {
 protected:
  void SetUp() override {
    const QString why = Missing();
    if (!why.isEmpty()) GTEST_SKIP() << "skipped: " << why.toStdString();
  }
};

TEST_F(LanNamespace, PyVisaPyTalksToTheSimulatedMeterOverVxi11) {
  const QString out = InNamespace(
      "start --protocol vxi11 --port 0 --portmapper-port 111 --model 6081\n"
      "/usr/bin/python3 - <<'PY'\n"
      "import pyvisa\n"
      "rm = pyvisa.ResourceManager('@py')\n"
      "m = rm.open_resource('TCPIP0::127.0.0.1::inst0::INSTR')\n"
      "print('idn', m.query('*IDN?').strip())\n"
      "n = 0\n"
      "for i in range(50000):\n"
      "    float(m.query('READ?').split(',')[0]); n += 1\n"
      "print('readings', n)\n"
      "m.write('CONF:CURR:DC')\n"
      "m.write('*IDN?')\n"
      "m.clear()\n"  // the unread answer goes with the device clear
      "print('after clear', m.query('func?').strip())\n"
      "m.close()\n"
      "PY\n"
      // An answer of 100 000 bytes, from a meter that stretches its answers.
      "ip addr add 10.77.0.2/24 dev lan0\n"
      "start --protocol vxi11 --port 0 --portmapper-port 111 --bind 10.77.0.2 --fault long-answer=100000\n"
      "/usr/bin/python3 -c \"import pyvisa; m = pyvisa.ResourceManager('@py').open_resource("
      "'TCPIP0::10.77.0.2::INSTR'); print('long', len(m.query('*IDN?')))\"\n");
  EXPECT_TRUE(out.contains("idn MERISIM,MODEL 6081,")) << out.toStdString();
  EXPECT_TRUE(out.contains("readings 50000")) << out.toStdString();
  EXPECT_TRUE(out.contains("after clear \"CURR\"")) << out.toStdString();
  EXPECT_TRUE(out.contains(QRegularExpression("long 1000[0-9][0-9]\\b"))) << out.toStdString();
}

TEST_F(LanNamespace, LxiToolsQueryAndFindTheSimulatedMetersByBroadcast) {
  const QString out = InNamespace(
      "ip addr add 10.77.0.2/24 dev lan0\n"
      "ip addr add 10.77.0.3/24 dev lan0\n"
      "start --protocol vxi11 --port 0 --portmapper-port 111 --bind 10.77.0.2 --serial LXA\n"
      "start --protocol vxi11 --port 0 --portmapper-port 111 --bind 10.77.0.3 --model 6081 --serial LXB\n"
      "timeout 20 lxi scpi -a 10.77.0.3 '*IDN?'\n"
      // The namespace's addresses are named for the checks below, which never name an address themselves.
      "set -o pipefail\n"
      "timeout 20 lxi discover | sed -e 's/10\\.77\\.0\\.2\\b/<meter A>/g' -e 's/10\\.77\\.0\\.3\\b/<meter B>/g'\n");
  EXPECT_TRUE(out.contains("MERISIM,MODEL 6081,LXB,")) << out.toStdString();
  EXPECT_TRUE(out.contains("MODEL 6082,LXA") && out.contains("<meter A>")) << out.toStdString();
  EXPECT_TRUE(out.contains("MODEL 6081,LXB") && out.contains("<meter B>")) << out.toStdString();
}

// Exactly as on a real network: the meter registers with Debian's portmapper,
// and our client finds its core channel there.
TEST_F(LanNamespace, OurClientFindsTheMeterThroughRpcbind) {
  const QString out = InNamespace(
      "mount -t tmpfs tmpfs /run\n"
      "mkdir -p /run/rpcbind\n"
      "rpcbind -f & \n"
      "for i in $(seq 100); do rpcinfo -p 127.0.0.1 >/dev/null 2>&1 && break; sleep 0.05; done\n"
      "start --protocol vxi11 --port 0 --rpcbind --model 6081 --serial RPC1\n"
      "rpcinfo -p 127.0.0.1 | grep -c 395183\n"
      "export MERILOG_CONFIG_DIR=$(mktemp -d) QT_QPA_PLATFORM=offscreen\n"
      "timeout 30 \"$CLI\" query TCPIP0::127.0.0.1::INSTR '*IDN?' 'CONF:VOLT:AC' 'func?'\n"
      "timeout 30 \"$CLI\" --resource TCPIP0::127.0.0.1::inst0::INSTR devices\n");
  EXPECT_TRUE(out.contains("MERISIM,MODEL 6081,RPC1,")) << out.toStdString();
  EXPECT_TRUE(out.contains("\"VOLT:AC\"")) << out.toStdString();
  EXPECT_TRUE(out.contains("MODEL 6081-LAN-127.0.0.1")) << out.toStdString();
}

// The LAN search as a user starts it: the VXI-11 meters answer the portmapper
// broadcast; the HiSLIP and raw-socket meters are known only to DNS-SD, which
// an avahi-daemon inside the namespace answers. Each is identified as
// discovery does. Without the daemon that half is skipped, and io says so.
TEST_F(LanNamespace, TheLanSearchFindsMetersByBroadcastAndByDnsSd) {
  const QString out = InNamespace(
      "source \"$LANBENCH\"\n"
      "lan_network\n"
      "lan_meters\n"
      "export MERILOG_CONFIG_DIR=$(mktemp -d) QT_QPA_PLATFORM=offscreen\n"
      "\"$CLI\" io | grep 'LAN search'\n"
      "\"$CLI\" devices --lan\n"
      "if lan_start_avahi; then\n"
      "  echo '-- DNS-SD'\n"
      "  \"$CLI\" devices --lan\n"
      "  \"$CLI\" find --lan 'TCPIP?*INSTR'\n"
      "  \"$CLI\" io | grep DNS-SD\n"
      "fi\n");
  const QString vxi11 = "MODEL 6082-LAN-10.77.0.2\nMODEL 6081-LAN-10.77.0.3\n";
  EXPECT_TRUE(out.contains("broadcast: on bench0 (10.77.0.255), meters0 (10.78.0.255)")) << out.toStdString();
  EXPECT_TRUE(out.contains("DNS-SD (_lxi, _vxi-11, _scpi-raw, _hislip): skipped (avahi-daemon is not running)\n" +
                           vxi11 + "dns-sd:"))
      << out.toStdString();
  if (out.contains("dns-sd: no (avahi-daemon is not installed)")) {
    std::cout << "The DNS-SD half was not tried: avahi-daemon is not installed\n";
    return;
  }
  EXPECT_TRUE(out.contains("-- DNS-SD\n" + vxi11 + "MODEL 6082-LAN-10.78.0.4-hislip0\nMODEL 6081-LAN-10.78.0.5\n"))
      << out.toStdString();
  // The HiSLIP meter also announces itself as an LXI instrument: one resource.
  EXPECT_TRUE(
      out.contains("TCPIP0::10.77.0.2::inst0::INSTR\nTCPIP0::10.77.0.3::inst0::INSTR\n"
                   "TCPIP0::10.78.0.4::hislip0::INSTR\n"
                   "LAN search, DNS-SD (_lxi, _vxi-11, _scpi-raw, _hislip): through avahi-daemon"))
      << out.toStdString();
}

}  // namespace
}  // namespace merilog
