#!/usr/bin/env bash
# What `setup.sh run` shows on a machine without a display: the program's main
# job done in the terminal on the simulated bench (two meters read into records
# 1 and 2, then what was stored), then pictures of the window taken on a
# virtual display. Ends by itself.
#
#   scripts/terminal-tour.sh [BUILD_DIR [RUN_DIR]]
#
# RUN_DIR (default run/ of the clone) is the working folder: records in DB/,
# pictures in pictures/. A second run adds to records 1 and 2 (the program asks
# first; the tour answers yes), so nothing of an earlier run is lost.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
run=${2:-$here/run}
cli="$build/src/cli/merilog-cli"
[ -x "$cli" ] || { echo "no program at $cli (build it first)" >&2; exit 1; }

mkdir -p "$run/DB"
run=$(cd "$run" && pwd)
# The program writes its language choice into the file, so it runs on a copy.
cp -u "$here/data/MERILOG.ini" "$run/MERILOG.ini"
cd "$run"
export MERILOG_CONFIG_DIR="$run"

step() { printf '\n== %s\n   $ %s\n' "$1" "$2"; }

# Qt wants a private runtime folder; a bare server or container session has none.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  XDG_RUNTIME_DIR=$(mktemp -d)
  export XDG_RUNTIME_DIR
  trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi

echo "No display here, so MERILOG shows its work in this terminal, on its simulated"
echo "bench of meters (described in data/bench-example.ini)."

step "The meters it finds" "merilog-cli --simulate devices"
"$cli" --simulate devices

step "Reading the two USB meters for about four seconds, every reading stored in records 1 and 2" \
  "merilog-cli --simulate log --record 1 --devices 1,2 --count 40 --interval 100 --yes"
if [ -e "DB/Record 1.mdb" ] || [ -e "DB/Record 2.mdb" ]; then
  echo "   (records 1 and 2 hold an earlier run: the program asks before adding to them; yes)"
fi
printf 'meter 1 (DCV)\tmeter 2 (DCV)\n'
status=0
"$cli" --simulate log --record 1 --devices 1,2 --count 40 --interval 100 --yes || status=$?
if [ "$status" -eq 1 ]; then
  # The records hold readings of other functions (from the window): they stay as they are.
  echo "   The start was refused (see the message above); records 1 and 2 are left as they were."
elif [ "$status" -ne 0 ]; then
  echo "The reading run failed (status $status)." >&2
  exit "$status"
fi

step "The records of the working folder, as the record viewer lists them" "merilog-cli records"
"$cli" records
for n in 1 2; do
  if [ -e "DB/Record $n.mdb" ]; then
    step "What record $n holds, with the record viewer's figures" "merilog-cli records stats $n"
    "$cli" records stats "$n"
  fi
done

step "Pictures of the window, taken on a virtual display (under a minute)" \
  "scripts/screenshots.sh run/pictures"
bash "$here/scripts/screenshots.sh" "$run/pictures" "$build" >/dev/null
pictures=$(find "$run/pictures" -maxdepth 1 -name '*.png' | wc -l)
for shot in main-reading-multi record-viewer record-chart device-settings-basic scan-perscan-results; do
  [ -s "$run/pictures/$shot.png" ] || { echo "the picture $shot.png is missing" >&2; exit 1; }
done
cat <<EOF
   $pictures pictures; a start: main-reading-multi.png (two meters read at once),
   record-viewer.png, record-chart.png, device-settings-basic.png, scan-perscan-results.png.

Done. Records:  $run/DB
      Pictures: $run/pictures
On a machine with a display (a desktop session, or ssh -X), the same command,
bash scripts/setup.sh run, opens the window on this simulated bench.
EOF
