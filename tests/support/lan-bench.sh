# Four simulated LAN meters inside the network namespace the caller made
# (unshare -n -m, as root), for the tests and the benchmark of the LAN search.
# Sourced by bash with $SIM naming merilog-simmeter. Nothing leaves the namespace.
#
#   bench0   10.77.0.1/24   the bench; two VXI-11 meters at 10.77.0.2 and .3,
#                           found by the portmapper broadcast (port 111)
#   meters0  10.78.0.1/24   a HiSLIP meter at 10.78.0.4 (port 4880) and a raw
#                           socket meter at 10.78.0.5 (port 5025), announced
#                           by DNS-SD only: an avahi-daemon on bench0 publishes
#                           them (the HiSLIP one as _lxi._tcp too)
#
# lan_start_avahi prints "dns-sd: yes" once the daemon answers, or
# "dns-sd: no (why)" when it cannot run here. Servers and daemons run as jobs
# of the calling shell: end them with kill $(jobs -p).

# bench0 without "brd": its broadcast address is worked out from the netmask.
lan_network() {
  ip link set lo up
  ip link add bench0 type veth peer name bench1
  ip link add meters0 type veth peer name meters1
  for i in bench0 bench1 meters0 meters1; do ip link set "$i" up; done
  for a in 1 2 3; do ip addr add 10.77.0.$a/24 dev bench0; done
  for a in 1 4 5; do ip addr add 10.78.0.$a/24 brd + dev meters0; done
}

# A meter's server: returns once it listens (its first line is "port: N").
lan_meter() {
  local out
  out=$(mktemp)
  "$SIM" "$@" >"$out" 2>&1 &
  for _ in $(seq 200); do grep -q '^port:' "$out" && return 0; sleep 0.02; done
  echo "a simulated meter did not start: $*" >&2
  cat "$out" >&2
  return 1
}

lan_meters() {
  lan_meter --protocol vxi11 --port 0 --portmapper-port 111 --bind 10.77.0.2 --model 6082 --serial LANV1
  lan_meter --protocol vxi11 --port 0 --portmapper-port 111 --bind 10.77.0.3 --model 6081 --serial LANV2
  lan_meter --protocol hislip --port 4880 --bind 10.78.0.4 --model 6082 --serial LANH1
  lan_meter --protocol socket --port 5025 --bind 10.78.0.5 --model 6081 --serial LANS1
}

lan_start_avahi() {
  local tool
  for tool in avahi-daemon dbus-daemon; do
    if ! command -v "$tool" >/dev/null; then
      echo "dns-sd: no ($tool is not installed)"
      return 1
    fi
  done
  # Private /run and /etc/avahi: the daemons of this namespace only.
  mount -t tmpfs tmpfs /run
  mkdir -p /run/dbus /run/avahi-daemon
  local etc
  etc=$(mktemp -d)
  mkdir -p "$etc/services"
  printf '[server]\nuse-ipv4=yes\nuse-ipv6=no\nallow-interfaces=bench0\n[wide-area]\nenable-wide-area=no\n[publish]\npublish-hinfo=no\npublish-workstation=no\n' >"$etc/avahi-daemon.conf"
  # The meters' addresses are not avahi's own (meters0 is not its interface), so it may publish them.
  printf '10.78.0.4 meter-hislip.local\n10.78.0.5 meter-raw.local\n' >"$etc/hosts"
  local head='<?xml version="1.0" standalone="no"?><!DOCTYPE service-group SYSTEM "avahi-service.dtd">'
  echo "$head<service-group><name>MERISIM HiSLIP</name><service><type>_hislip._tcp</type><port>4880</port><host-name>meter-hislip.local</host-name></service><service><type>_lxi._tcp</type><port>80</port><host-name>meter-hislip.local</host-name></service></service-group>" >"$etc/services/hislip.service"
  echo "$head<service-group><name>MERISIM socket</name><service><type>_scpi-raw._tcp</type><port>5025</port><host-name>meter-raw.local</host-name></service></service-group>" >"$etc/services/raw.service"
  mount --bind "$etc" /etc/avahi
  # Both as jobs of the calling shell, so that its "kill $(jobs -p)" ends them.
  dbus-daemon --system --nofork --nopidfile >/dev/null 2>&1 &
  for _ in $(seq 100); do [ -S /run/dbus/system_bus_socket ] && break; sleep 0.02; done
  avahi-daemon --no-drop-root --no-chroot >/dev/null 2>&1 &
  # Ready once the static services are established: avahi-daemon probes for
  # their names for about a second first.
  for _ in $(seq 100); do
    if lan_resolves "MERISIM HiSLIP" _hislip._tcp && lan_resolves "MERISIM socket" _scpi-raw._tcp; then
      echo "dns-sd: yes"
      return 0
    fi
    sleep 0.05
  done
  echo "dns-sd: no (avahi-daemon did not start)"
  return 1
}

# Whether avahi-daemon resolves the service (name, type) at once.
lan_resolves() {
  dbus-send --system --print-reply --reply-timeout=200 --dest=org.freedesktop.Avahi / \
    org.freedesktop.Avahi.Server.ResolveService int32:-1 int32:0 string:"$1" string:"$2" string:local \
    int32:0 uint32:0 >/dev/null 2>&1
}
