#!/usr/bin/env bash
# Installs what MERILOG needs on Debian 12, builds it, then starts it on the
# simulated bench ("run"), runs every test ("test") or builds a Debian package
# ("package").
set -euo pipefail
mode=${1:-test}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo=sudo; fi

export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends \
  build-essential cmake ninja-build pkg-config git \
  qt6-base-dev libgl-dev libsqlitecpp-dev libsqlite3-dev libxlsxwriter-dev libedit-dev \
  libgtest-dev libgmock-dev libbenchmark-dev \
  sqlite3 \
  xvfb xauth fonts-wqy-microhei unzip \
  desktop-file-utils man-db dpkg-dev file \
  libtirpc-dev rpcsvc-proto libpq-dev libavahi-client-dev >/dev/null
if [ "$mode" = test ]; then
  # Programs nobody here wrote that the tests run against what we make: the LAN
  # tests against our VXI-11 meters, with an avahi-daemon answering the LAN
  # search's DNS-SD browse, each only inside network namespaces the tests make
  # (ip, unshare); openpyxl reading the scan's spreadsheet back; pandas running
  # the user guide's example on a record the program wrote; PostgreSQL,
  # whose private clusters the lab server's tests start in temporary folders;
  # and Debian's checks of the package (lintian) and of its AppStream file
  # (appstreamcli). No package may start a daemon on this machine's own network
  # as it is installed.
  noStart=""
  if [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' | $sudo tee /usr/sbin/policy-rc.d >/dev/null
    $sudo chmod +x /usr/sbin/policy-rc.d
    noStart=1
  fi
  $sudo apt-get install -y -qq --no-install-recommends \
    python3-pyvisa-py lxi-tools rpcbind iproute2 util-linux python3-openpyxl python3-pandas avahi-daemon dbus \
    postgresql lintian appstream >/dev/null
  if [ -n "$noStart" ]; then $sudo rm -f /usr/sbin/policy-rc.d; fi
fi

# With Debian's hardening flags: the programs built here are the package's.
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMERILOG_HARDENING=ON >/dev/null
cmake --build "$here/build" -j"$(nproc)"

case "$mode" in
  test)
    cd "$here/build"
    export QT_QPA_PLATFORM=offscreen
    ctest --output-on-failure -j"$(nproc)"
    ;;
  run)
    # Without a display, the program's work is shown in the terminal instead.
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
      exec bash "$here/scripts/terminal-tour.sh" "$here/build" "$here/run"
    fi
    # Records are kept in the DB folder below the working folder; the program never creates it.
    mkdir -p "$here/run/DB"
    # The program writes its language choice into the file, so it runs on a copy.
    cp -u "$here/data/MERILOG.ini" "$here/run/MERILOG.ini"
    cd "$here/run"
    export MERILOG_CONFIG_DIR="$here/run"
    exec "$here/build/src/ui/merilog" --simulate
    ;;
  package)
    # Its dependencies are computed from the programs' libraries (dpkg-shlibdeps).
    cd "$here/build"
    cpack -G DEB
    echo "Install it with: sudo apt install $here/build/$(ls -t merilog_*.deb | head -1)"
    ;;
  *)
    echo "usage: $0 run|test|package" >&2
    exit 2
    ;;
esac
