#!/usr/bin/env bash
# Saves pictures of what a user sees: the main window idle and while reading two
# meters of the simulated bench, the Reading Settings dialog in both modes, the
# Device Settings dialog on a basic and a dual meter, both tabs of the About box,
# a burst in progress, the console with its history, the scan dialog before
# and after a PerScan run, and the record viewer and record chart.
#
#   scripts/screenshots.sh OUTDIR [BUILD_DIR]
#
# Runs under xvfb-run in a throw-away working folder (with DB/ for the record
# files and a copy of the language file), so nothing of the tree is touched.
set -euo pipefail
out=${1:?usage: screenshots.sh OUTDIR [BUILD_DIR]}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${2:-$here/build}" && pwd)
program="$build/src/screenshots/merilog-screenshots"
[ -x "$program" ] || { echo "no program at $program (build it first)" >&2; exit 1; }

mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/DB"
cp "$here/data/MERILOG.ini" "$work/MERILOG.ini"

cd "$work"
export MERILOG_CONFIG_DIR="$work"
# A stuck dialog must not hang the script.
timeout 120 xvfb-run -a -s "-screen 0 1600x1200x24" "$program" "$out"
echo "pictures in $out"
