#!/usr/bin/env bash
# The first run on a machine without a display (setup.sh run): the terminal tour
# ends by itself, prints readings and figures, and leaves two records and real
# pictures of the window.
#   CheckTerminalTour.sh SOURCE_DIR BUILD_DIR RUN_DIR
set -uo pipefail
source=$1 build=$2 run=$3
rm -rf "$run"
out=$(env -u DISPLAY -u WAYLAND_DISPLAY bash "$source/scripts/terminal-tour.sh" "$build" "$run" 2>&1)
status=$?
fail() {
  printf '%s\n' "$out"
  echo "FAILED: $*"
  exit 1
}
[ "$status" -eq 0 ] || fail "the tour ended with status $status"
readings=$(grep -cP '^-?\d+\.\d{12}\t-?\d+\.\d{12}$' <<<"$out")
[ "$readings" -eq 40 ] || fail "40 lines of readings of two meters, not $readings"
[ "$(grep -c 'Data Quantity：40$' <<<"$out")" -eq 2 ] || fail "the figures of records 1 and 2"
grep -qF "Records:  $run/DB" <<<"$out" || fail "the closing lines name the records"
for n in 1 2; do [ -s "$run/DB/Record $n.mdb" ] || fail "record $n"; done
for shot in main-reading-multi record-viewer record-chart device-settings-basic scan-perscan-results; do
  signature=$(head -c 8 "$run/pictures/$shot.png" | od -An -tx1 | tr -d ' \n')
  [ "$signature" = 89504e470d0a1a0a ] || fail "$shot.png is not a PNG picture"
done
echo "tour ended by itself: $readings lines of readings, records and pictures in $run"
