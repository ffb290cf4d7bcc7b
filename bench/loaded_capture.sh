#!/usr/bin/env bash
# A long video capture on the simulated board with busy loops beside it: does every field
# the board delivers end up in the clip? Prints `report:` lines, never fails on the figures
# (a busy machine is the point), only when the run itself goes wrong.
#   bench/loaded_capture.sh [seconds=60] [busy loops=2]
# Needs the Windows tree built (scripts/build) and Xvfb; uses the project's Wine prefix.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/lib/wine.sh"
seconds=${1:-60}
loops=${2:-2}
work="$root/build/bench-capture"
rm -rf "$work" && mkdir -p "$work"
exe="$root/build/win/lumetra.exe"
ctl() { "$WINE" "$root/build/win/lumctl.exe" "$@" | tr -d '\r'; return "${PIPESTATUS[0]}"; }

busy=()
cleanup() {
  for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null; done
  stop_wine_session
  stop_xvfb
}
trap cleanup EXIT

start_xvfb || exit 1
prepare_prefix
start_wine_session
simulator_reset
simulator_string EngineStats "$(winpath "$work/engine.txt")"
c="$WINEPREFIX/drive_c"
rm -f "$c/capture.avi" "$c/temp.avi"

( "$WINE" "$exe" >/dev/null 2>&1; echo $? >"$work/rc" ) &
ctl wait-window QUENDALUMETRA 30000 >/dev/null || { echo "the program did not start" >&2; exit 1; }
ctl command QUENDALUMETRA 40021 >/dev/null  # Capture Mode
sleep 1
for _ in $(seq "$loops"); do ( while :; do :; done ) & busy+=($!); done
ctl key QUENDALUMETRA F7 >/dev/null
sleep "$seconds"
ctl key QUENDALUMETRA A >/dev/null
ctl msgbox "Corvan Telvista" 120000 >"$work/summary.box" || { echo "no capture summary" >&2; exit 1; }
for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null; done
busy=()
ctl command QUENDALUMETRA 40004 >/dev/null  # Exit: the engine writes its line
for _ in $(seq 300); do [[ -s "$work/rc" ]] && break; sleep 0.1; done

frames=$(sed -n 's/^text=Captured \([0-9]*\) frames.*/\1/p' "$work/summary.box")
ms=$(od -An -tu4 -j128 -N4 "$c/capture.avi" 2>/dev/null | tr -d ' ')
read -r _ fields _ missed _ rate <<<"$(tr -d '\r' <"$work/engine.txt" 2>/dev/null | tail -n1)"
# The clip's duration leaves out the 100 ms before the key; the board's own rate over
# its whole run says how many fields it delivered in that time.
awk -v n="${frames:-0}" -v d="${ms:-0}" -v f="${fields:-0}" -v m="${missed:-0}" -v r="${rate:-0}" \
  -v loops="$loops" 'BEGIN {
    t = (d + 100) / 1000; delivered = r * t
    printf "report: loaded capture (%d busy loops): %d frames in %.3f s, %.3f frames/s\n", loops, n, t, n / t
    printf "report: board: %d fields, %d missed over its run (%.3f fields/s of 59.940)\n", f, m, r
    printf "report: capture kept %.1f%% of the fields the board delivered meanwhile (%d of %.0f)\n",
      100 * n / delivered, n, delivered
  }'
