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
exe=${LUMETRA_EXE:-"$root/build/win/lumetra.exe"}  # another build of the program to compare
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
seconds_kept=$(sed -n 's/^text=Captured [0-9]* frames, \([0-9.]*\) seconds.*/\1/p' "$work/summary.box")
read -r _ fields _ missed _ rate <<<"$(tr -d '\r' <"$work/engine.txt" 2>/dev/null | tail -n1)"
# The clip's duration (the summary's seconds) runs from the first picture to a frame time
# past the last: the time between them times N/(N-1). Of the field times between the first
# and the last picture the board delivered all but those of its misses that fell in the
# capture (most of them, as the busy loops run then): the capture lost at most the field
# times it did not take, and at least that less all the board's misses.
awk -v n="${frames:-0}" -v t="${seconds_kept:-0}" -v f="${fields:-0}" -v m="${missed:-0}" -v r="${rate:-0}" \
  -v loops="$loops" 'BEGIN {
    slots = n > 1 ? t * (n - 1) / n * 60000 / 1001 + 1 : n
    most = slots - n < 0 ? 0 : slots - n; least = most - m < 0 ? 0 : most - m
    printf "report: loaded capture (%d busy loops): %d frames in %.3f s, %.3f frames/s\n", loops, n, t, (t > 0 ? n / t : 0)
    printf "report: board: %d fields, %d missed over its run (%.3f fields/s of 59.940)\n", f, m, r
    printf "report: capture took %d of %.0f field times from its first picture to its last: %.0f to %.0f fields lost\n",
      n, slots, least, most
  }'
