#!/usr/bin/env bash
# End-to-end checks of the real lumetra.exe under Wine, driven from outside with
# lumctl.exe and judged by the bus trace, the message boxes and the exit codes.
# Expects DISPLAY and the Wine prefix to be ready (scripts/test does both).
# Writes "<passed> <failed>" to the file given as $1.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/lib/wine.sh"
counts=${1:-/dev/null}
work="$root/build/e2e"
rm -rf "$work"
mkdir -p "$work"
exe="$root/build/win/lumetra.exe"
# Console output of Windows programs ends its lines with CR LF.
ctl() { "$WINE" "$root/build/win/lumctl.exe" "$@" | tr -d '\r'; return "${PIPESTATUS[0]}"; }

source "$root/scripts/lib/checks.sh"

# Starts the program in the background; its exit code lands in $work/<tag>.rc.
start() {  # tag [argument...]
  local tag=$1; shift
  ( "$WINE" "$exe" "$@" >/dev/null 2>&1; echo $? >"$work/$tag.rc" ) &
}
wait_rc() {  # tag, timeout seconds -> prints the exit code
  local i
  for i in $(seq $(( $2 * 10 ))); do
    [[ -s "$work/$1.rc" ]] && { cat "$work/$1.rc"; return 0; }
    sleep 0.1
  done
  echo timeout
}
body() { tr -d '\r' <"$1" | sed 's/^[0-9]*\.[0-9]\{3\} //'; }
tr_has() { grep -qxF -- "$2" <(body "$1"); }

echo "-- start-up on the default board, bus trace, Exit"
simulator_reset
trace="$work/trace-default.txt"
simulator_string BusTrace "$(winpath "$trace")"
start default
check "video window appears" ctl wait-window QUENDALUMETRA 15000
ctl wait-window QUENDALUMETRA 1000 >"$work/default.window"
check "client area 352x240" grep -q 'client=352x240' "$work/default.window"
ctl command QUENDALUMETRA 40004 >/dev/null
check "Exit ends the program with code 0" test "$(wait_rc default 15)" = 0
check "trace starts with the probe at 48" test "$(body "$trace" | head -n1)" = "S 48+ P"
expected_init=$(printf '%s\n' "S 48+ 01+ 00+ P" "S 48+ 02+ D3+ P" "S 48+ 03+ 23+ P" "S 48+ 04+ 00+ P" \
  "S 48+ 05+ 00+ P" "S 48+ 08+ 48+ P" "S 48+ 09+ 10+ P" "S 48+ 0A+ 80+ P" "S 48+ 0B+ 47+ P" \
  "S 48+ 0C+ 40+ P" "S 48+ 0D+ 00+ P" "S 48+ 0E+ 01+ P" "S 48+ 0F+ 00+ P" "S 48+ 10+ C8+ P" \
  "S 48+ 11+ 0C+ P" "S 48+ 12+ 80+ P")
check "16 initialisation writes in table order" test "$(body "$trace" | sed -n '2,17p')" = "$expected_init"
expected_detect=$(printf '%s\n' "S 48+ 08+ 48+ P" "S 48+ 09+ 10+ P" "S 48+ 0E+ 01+ P" \
  "S 48+ 02+ D3+ P" "S 48+ 1F+ Sr 49+ r21 P")
check "first detection trial accepted on one status read" test "$(body "$trace" | sed -n '18,22p')" = "$expected_detect"
check "decoder output off is the last decoder transaction" \
  test "$(body "$trace" | grep ' 48+ ' | tail -n1)" = "S 48+ 11+ 84+ P"
check "timestamps have three decimals and never go back" \
  awk '{sub(/\r$/, "")} !/^[0-9]+\.[0-9][0-9][0-9] S/ {exit 1} $1 + 0 < last {exit 1} {last = $1 + 0}' "$trace"

echo "-- no decoder"
simulator_reset
simulator_dword Decoder 0
( ctl no-window QUENDALUMETRA 6000 >"$work/nowindow.out"; echo $? >"$work/nowindow.rc" ) &
start nodecoder
ctl msgbox "Corvan Telvista" 15000 >"$work/nodecoder.box"
check "decoder message text" grep -qxF \
  "text=Your display card doesn't have a SAA7111A EVIP.\\nA SAA7111A EVIP is required for this application to run." \
  "$work/nodecoder.box"
check "message has the hand icon" grep -qxE 'icon=(hand|present)' "$work/nodecoder.box"
check "exit code 0" test "$(wait_rc nodecoder 15)" = 0
check "no second message box" test "$(ctl count-msgbox "Corvan Telvista" 1000 | tr -dc 0-9)" = 0
wait
check "no video window ever appeared" test "$(cat "$work/nowindow.rc")" = 0

echo "-- the machine's own board, forced"
# Wine refuses user-mode port instructions: the program says so once and ends cleanly.
simulator_reset
( ctl no-window QUENDALUMETRA 6000 >"$work/hardware-nowindow.out"; echo $? >"$work/hardware-nowindow.rc" ) &
start hardware /hardware
ctl msgbox "Corvan Telvista" 15000 >"$work/hardware.box"
check "/hardware: the no-port-access message" grep -qF \
  "text=Corvan Telvista has no access to the display card's I/O ports" "$work/hardware.box"
check "/hardware: error icon" grep -qxE 'icon=(hand|present)' "$work/hardware.box"
check "/hardware: exit code 0" test "$(wait_rc hardware 15)" = 0
check "/hardware: no second message, no crash dialog" test \
  "$(ctl count-msgbox "Corvan Telvista" 500 | tr -dc 0-9)$(ctl count-msgbox "Program Error" 500 | tr -dc 0-9)" = 00
wait
check "/hardware: no video window ever appeared" test "$(cat "$work/hardware-nowindow.rc")" = 0
start simulate /simulate
check "/simulate: the simulated board's video window" ctl wait-window QUENDALUMETRA 15000
ctl command QUENDALUMETRA 40004 >/dev/null
check "/simulate: exit code 0" test "$(wait_rc simulate 15)" = 0

echo "-- the port access library"
# A stand-in for the library beside a copy of the program, with the simulated board behind
# its exports and every call recorded. Under Wine the system's DirectDraw has no video port,
# so the run through the library ends as the simulated board without one does: the two bus
# traces are the same.
through_library() {  # tag, program, library, [INPOUT_STANDIN_OPEN]: the program in a folder of its own
  local tag=$1 folder="$work/$1"
  mkdir -p "$folder"
  cp "$2" "$3" "$folder/"
  simulator_reset
  simulator_string BusTrace "$(winpath "$work/trace-$tag.txt")"
  local saved=$exe
  exe="$folder/$(basename "$2")"
  INPOUT_STANDIN_LOG="$work/calls-$tag.txt" INPOUT_STANDIN_OPEN=${4:-1} start "$tag" /hardware
  exe=$saved
  ctl msgbox "Corvan Telvista" 15000 >"$work/$tag.box"
}
simulator_reset
simulator_dword NoVideoPort 1
simulator_string BusTrace "$(winpath "$work/trace-novideoport.txt")"
start novideoport /simulate
ctl msgbox "Corvan Telvista" 15000 >"$work/novideoport.box"
wait_rc novideoport 15 >/dev/null
through_library library "$exe" "$root/build/win/inpout-standin/inpoutx64.dll"
same_box() { grep -q '^text=' "$1" && cmp -s "$1" "$2"; }
same_trace() { [[ -s "$1" && "$(body "$1")" == "$(body "$2")" ]]; }
only_port_calls() {  # calls file: the driver question first, then port accesses only
  [[ "$(head -n1 "$1")" == "IsInpOutDriverOpen 1" ]] && grep -qx 'Out32 03C4 06' "$1" &&
    ! tail -n +2 "$1" | grep -qvE '^(Inp32|Out32) [0-9A-F]{4} [0-9A-F]{2}$'
}
check "through inpoutx64.dll: the message of a display without a video port" \
  same_box "$work/library.box" "$work/novideoport.box"
check "through inpoutx64.dll: exit code 0" test "$(wait_rc library 15)" = 0
check "through inpoutx64.dll: the bus trace is the simulated board's ($(body "$work/trace-library.txt" 2>/dev/null | wc -l) transactions)" \
  same_trace "$work/trace-library.txt" "$work/trace-novideoport.txt"
check "the driver is asked first, then every port access goes through the library" \
  only_port_calls "$work/calls-library.txt"
through_library closed "$exe" "$root/build/win/inpout-standin/inpoutx64.dll" 0
no_access_naming_library() {
  grep -qF "text=Corvan Telvista has no access to the display card's I/O ports" "$1" && grep -qF InpOut32 "$1"
}
check "a library whose driver did not open: the no-port-access message, naming InpOut32" \
  no_access_naming_library "$work/closed.box"
check "exit code 0" test "$(wait_rc closed 15)" = 0
check "and nothing but the driver question went to the library" \
  test "$(cat "$work/calls-closed.txt" 2>/dev/null)" = "IsInpOutDriverOpen 0"

echo "-- the 32-bit program"
if wine_runs_32bit; then
  exe64=$exe
  exe="$root/build/win32-x86/lumetra.exe"
  start x86
  window_352x240() { ctl wait-window QUENDALUMETRA 15000 | grep -q 'client=352x240'; }
  check "32-bit: the video window at 352x240" window_352x240
  ctl command QUENDALUMETRA 40004 >/dev/null
  check "32-bit: exit code 0" test "$(wait_rc x86 15)" = 0
  start x86-hardware /hardware
  ctl msgbox "Corvan Telvista" 15000 >"$work/x86-hardware.box"
  check "32-bit /hardware: the no-port-access message" grep -qF \
    "text=Corvan Telvista has no access to the display card's I/O ports" "$work/x86-hardware.box"
  check "32-bit /hardware: exit code 0" test "$(wait_rc x86-hardware 15)" = 0
  through_library library-x86 "$exe" "$root/build/win32-x86/inpout-standin/inpout32.dll"
  wait_rc library-x86 15 >/dev/null
  check "32-bit through inpout32.dll: the bus trace is the simulated board's" \
    same_trace "$work/trace-library-x86.txt" "$work/trace-novideoport.txt"
  exe=$exe64
else
  echo "  (not run: this Wine has no 32-bit side)"
fi

echo "-- second instance"
simulator_reset
start first
ctl wait-window QUENDALUMETRA 15000 >/dev/null
start second
ctl msgbox "Corvan Telvista" 15000 >"$work/second.box"
check "instance message" grep -qxF \
  "text=Another Lumetra is running.\\nYou cannot run two Lumetra simultaneously." "$work/second.box"
check "second instance exits 0" test "$(wait_rc second 15)" = 0
check "first instance still runs" ctl wait-window QUENDALUMETRA 1000
ctl command QUENDALUMETRA 40004 >/dev/null
check "first instance exits 0" test "$(wait_rc first 15)" = 0

echo "-- PAL source on composite"
simulator_reset
trace="$work/trace-pal.txt"
simulator_string BusTrace "$(winpath "$trace")"
simulator_string Composite PAL-BGHI
start pal
ctl wait-window QUENDALUMETRA 15000 >/dev/null
ctl wait-window QUENDALUMETRA 1000 >"$work/pal.window"
check "client area 352x288" grep -q 'client=352x288' "$work/pal.window"
ctl command QUENDALUMETRA 40004 >/dev/null
wait_rc pal 15 >/dev/null
check "steps 1 and 2 read five times each, step 3 accepts" \
  test "$(body "$trace" | grep -c '^S 48+ 1F+ Sr 49+ r')" = 11
check "accepted read reports colour at 50 Hz" tr_has "$trace" "S 48+ 1F+ Sr 49+ r01 P"
check "PAL-BGHI set was the last standard written" \
  test "$(body "$trace" | grep -E '^S 48\+ 08\+' | tail -n1)" = "S 48+ 08+ 08+ P"

echo "-- no signal anywhere: stored standard"
simulator_reset
trace="$work/trace-none.txt"
simulator_string BusTrace "$(winpath "$trace")"
simulator_string Composite none
start none
ctl wait-window QUENDALUMETRA 15000 >/dev/null
ctl command QUENDALUMETRA 40004 >/dev/null
check "exit code 0" test "$(wait_rc none 15)" = 0
check "two full detections: 28 status reads" test "$(body "$trace" | grep -c '^S 48+ 1F+ Sr 49+ r')" = 28

echo "-- stuck clock line"
simulator_reset
simulator_dword StuckScl 1
start stuck
ctl msgbox "Corvan Telvista" 15000 >"$work/stuck.box"
check "a stuck bus reads as a missing decoder" grep -q "^text=Your display card doesn't have" "$work/stuck.box"
check "exit code 0" test "$(wait_rc stuck 15)" = 0

echo "-- settings in the registry"
simulator_reset
"$WINE" reg delete 'HKLM\SOFTWARE\QUENDA\LUMETRA' /f >/dev/null 2>&1
start first-run
ctl wait-window QUENDALUMETRA 15000 >/dev/null
ctl command QUENDALUMETRA 40004 >/dev/null
check "first run exits 0" test "$(wait_rc first-run 15)" = 0
query() { "$WINE" reg query 'HKLM\SOFTWARE\QUENDA\LUMETRA' "$@" 2>/dev/null | tr -d '\r'; }
query >"$work/first-run.reg"
query /s >"$work/first-run-all.reg"
for v in "BRIGHTNESS REG_DWORD 0x80" "CONTRAST REG_DWORD 0x90" "SATURATION REG_DWORD 0x80" \
         "HUE REG_DWORD 0x80" "VIDEOCONNECTOR REG_DWORD 0x3ea" "VIDEOSTANDARD REG_DWORD 0x0" \
         "CABLESTANDARD REG_DWORD 0x2" "CHANNELINDEX REG_DWORD 0x1"; do
  set -- $v
  check "first run stored $1 = $3" grep -qE "^ +$1 +$2 +$3\$" "$work/first-run.reg"
done
checked=$(grep -E '^ +CHECKED +REG_BINARY' "$work/first-run-all.reg" | awk '{print $3}')
check "CHECKED is 404 bytes: slot 0 off, slots 1..100 on" \
  test "$checked" = "00000000$(printf '01000000%.0s' $(seq 100))"
check "NAME is a REG_MULTI_SZ value" grep -qE '^ +NAME +REG_MULTI_SZ' "$work/first-run-all.reg"
"$WINE" reg delete 'HKLM\SOFTWARE\QUENDA\LUMETRA' /v CONTRAST /f >/dev/null
"$WINE" reg add 'HKLM\SOFTWARE\QUENDA\LUMETRA' /v CHANNELINDEX /t REG_DWORD /d 500 /f >/dev/null
"$WINE" reg add 'HKLM\SOFTWARE\QUENDA\LUMETRA' /v BRIGHTNESS /t REG_DWORD /d 100 /f >/dev/null
start second-run
ctl wait-window QUENDALUMETRA 15000 >/dev/null
ctl command QUENDALUMETRA 40004 >/dev/null
check "a damaged store does not stop the program" test "$(wait_rc second-run 15)" = 0
query >"$work/second-run.reg"
check "deleted CONTRAST comes back at its default" grep -qE '^ +CONTRAST +REG_DWORD +0x90$' "$work/second-run.reg"
check "CHANNELINDEX 500 is saved back corrected" grep -qE '^ +CHANNELINDEX +REG_DWORD +0x1$' "$work/second-run.reg"
check "a stored value survives the run" grep -qE '^ +BRIGHTNESS +REG_DWORD +0x64$' "$work/second-run.reg"
"$WINE" reg add 'HKLM\SOFTWARE\QUENDA\LUMETRA' /v SATURATION /t REG_DWORD /d 256 /f >/dev/null
"$WINE" reg add 'HKLM\SOFTWARE\QUENDA\LUMETRA' /v CABLESTANDARD /t REG_DWORD /d 7 /f >/dev/null
"$WINE" reg add 'HKLM\SOFTWARE\QUENDA\LUMETRA' /v HUE /t REG_SZ /d abc /f >/dev/null
start third-run
ctl wait-window QUENDALUMETRA 15000 >/dev/null
ctl command QUENDALUMETRA 40004 >/dev/null
wait_rc third-run 15 >/dev/null
query >"$work/third-run.reg"
check "corrupt SATURATION, CABLESTANDARD and HUE are saved back at their defaults" \
  bash -c "grep -qE '^ +SATURATION +REG_DWORD +0x80\$' '$work/third-run.reg' &&
           grep -qE '^ +CABLESTANDARD +REG_DWORD +0x2\$' '$work/third-run.reg' &&
           grep -qE '^ +HUE +REG_DWORD +0x80\$' '$work/third-run.reg'"

echo "-- video window modes and keys"
simulator_reset
start modes
ctl wait-window QUENDALUMETRA 15000 >/dev/null
geometry() { ctl wait-window QUENDALUMETRA 1000 | grep -oE 'client=[0-9]+x[0-9]+ style=0x[0-9a-f]+'; }
check "starts at 352x240 with the creation style" test "$(geometry)" = "client=352x240 style=0x94040008"
ctl key QUENDALUMETRA S ctrl >/dev/null; sleep 0.5
check "Ctrl+S covers the screen" test "$(geometry | cut -d' ' -f1)" = "client=1024x768"
ctl key QUENDALUMETRA ESCAPE >/dev/null; sleep 0.5
check "Esc restores the earlier size" test "$(geometry)" = "client=352x240 style=0x94840308"
ctl command QUENDALUMETRA 40021 >/dev/null; sleep 0.3
check "Capture Mode: 352x240, dialog frame" test "$(geometry)" = "client=352x240 style=0x14400008"
ctl command QUENDALUMETRA 40020 >/dev/null; sleep 0.3
check "LiveVideo Mode returns" test "$(geometry)" = "client=352x240 style=0x94840308"
ctl command QUENDALUMETRA 40010 >/dev/null
ctl command QUENDALUMETRA 40021 >/dev/null
ctl command QUENDALUMETRA 40020 >/dev/null; sleep 0.3
check "full screen, Capture Mode, LiveVideo Mode: full screen again" test "$(geometry | cut -d' ' -f1)" = "client=1024x768"
ctl command QUENDALUMETRA 40004 >/dev/null
check "exit code 0" test "$(wait_rc modes 15)" = 0

echo "-- quick mode changes"
# Full screen, Capture Mode, LiveVideo Mode and Esc posted 20 ms apart, as a stuck key
# would; every burst ends on Esc, back at the window size from before full screen.
simulator_reset
start stress
ctl wait-window QUENDALUMETRA 15000 >/dev/null
alive=1
for round in 1 2 3; do
  ctl commands QUENDALUMETRA 20 200 40010 40021 40020 40057 >/dev/null
  sleep 1
  [[ -s "$work/stress.rc" ]] && { alive=0; break; }
done
check "600 quick mode commands: the program still runs" test $alive = 1
# A busy machine may still be working through the queue; give it 10 s to get there.
for _ in $(seq 50); do
  settled=$(geometry)
  [[ "$settled" == "client=352x240 style=0x94840308" ]] && break
  sleep 0.2
done
check "and settles at 352x240 in a window ($settled)" test "$settled" = "client=352x240 style=0x94840308"
ctl command QUENDALUMETRA 40004 >/dev/null
check "exit code 0" test "$(wait_rc stress 15)" = 0

echo "-- live video"
# "R G B" of one screen pixel in a screenshot.
pixel() { convert "$1" -format "%[fx:int(255*p{$2,$3}.r)] %[fx:int(255*p{$2,$3}.g)] %[fx:int(255*p{$2,$3}.b)]" info:; }
# Pixels of the colour key (magenta) in the video window's client area of a screenshot.
key_pixels() {  # file x y w h
  convert "$1" -crop "$4x$5+$2+$3" +repage -fx 'r > 0.9 && g < 0.1 && b > 0.9' \
    -format '%[fx:int(mean * w * h)]' info:
}
client_key_pixels() {  # file: at the video window's client area as it is now
  local w o
  w=$(ctl wait-window QUENDALUMETRA 1000)
  o=$(grep -o 'origin=[0-9,]*' <<<"$w" | cut -d= -f2)
  key_pixels "$1" "${o%,*}" "${o#*,}" 352 240
}
is_colour() {  # file x y pattern: each channel H (>150) or L (<100)
  local rgb; rgb=($(pixel "$1" "$2" "$3")); local want=$4 i
  for i in 0 1 2; do
    case ${want:$i:1} in
      H) [[ ${rgb[$i]} -gt 150 ]] || return 1 ;;
      L) [[ ${rgb[$i]} -lt 100 ]] || return 1 ;;
    esac
  done
}
simulator_reset
simulator_string EngineStats "$(winpath "$work/engine.txt")"
start live
ctl wait-window QUENDALUMETRA 15000 >/dev/null
sleep 2
origin=$(ctl wait-window QUENDALUMETRA 1000 | grep -o 'origin=[0-9,]*' | cut -d= -f2)
ox=${origin%,*}; oy=${origin#*,}
import -window root "$work/live-a.png"; sleep 1; import -window root "$work/live-b.png"
convert "$work/live-a.png" -crop "352x240+$ox+$oy" +repage "$work/live-a-win.png"
convert "$work/live-b.png" -crop "352x240+$ox+$oy" +repage "$work/live-b-win.png"
changed=$(compare -metric AE "$work/live-a-win.png" "$work/live-b-win.png" null: 2>&1 | cut -d' ' -f1)
check "the picture moves (pixels changed in a second: ${changed:-?})" test "${changed%.*}" -gt 100 2>/dev/null
bars_ok=1
for bar in "66 HHL" "110 LHH" "154 LHL" "198 HLH" "242 HLL" "286 LLH"; do
  set -- $bar
  is_colour "$work/live-a.png" $((ox + $1)) $((oy + 60)) "$2" || bars_ok=0
done
check "colour bars are recognisable inside the window" test $bars_ok = 1
desktop=$(pixel "$work/live-a.png" 3 3)
check "no picture left of the window" test "$(pixel "$work/live-a.png" $((ox - 12)) $((oy + 60)))" = "$desktop"
check "no picture right of the window" test "$(pixel "$work/live-a.png" $((ox + 352 + 12)) $((oy + 60)))" = "$desktop"
ctl key QUENDALUMETRA S ctrl >/dev/null; sleep 1
import -window root "$work/live-full.png"
check "full screen fills the screen with the picture" \
  bash -c "$(declare -f pixel is_colour); is_colour '$work/live-full.png' 192 200 HHL && is_colour '$work/live-full.png' 704 200 HLL"
ctl key QUENDALUMETRA ESCAPE >/dev/null; sleep 0.5
ctl command QUENDALUMETRA 40004 >/dev/null
check "exit code 0" test "$(wait_rc live 15)" = 0
stats=$(tr -d '\r' <"$work/engine.txt" 2>/dev/null | tail -n1)
check "engine statistics line: $stats" bash -c "[[ '$stats' =~ ^fields\ [0-9]+\ missed\ [0-9]+\ rate\ [0-9]+\.[0-9]{3}$ ]]"
read -r _ fields _ missed _ rate <<<"$stats"
# How close to 59.94 fields a second the live path came depends on the machine: the
# figures are reported, and only what holds on a busy machine is checked. A field is
# missed when the engine thread is kept off the processor for a whole field period.
echo "  report: live video: ${fields:-?} fields, ${missed:-?} missed, ${rate:-?} fields/s of 59.940"
check "the live path never runs faster than 59.94 fields/s" \
  awk -v r="${rate:-0}" 'BEGIN { exit !(r > 0 && r <= 59.945) }'
check "most field times delivered a field (at least half)" \
  awk -v r="${rate:-0}" -v m="${missed:-1}" -v f="${fields:-0}" \
    'BEGIN { exit !(f > 0 && m <= f && r >= 59.94 / 2) }'

for scenario in "NoVideoPort|Your display device (or driver) does not support a video port.  A video port is required for this application to run." \
                "NoOverlay|Your display device (or driver) does not support an overlay. Hardware overlay support is required for this application to run." \
                "NoAutoflip|Can't play live video. Please change to other display\\nmodes or close other video players, then run again."; do
  value=${scenario%%|*}; text=${scenario#*|}
  echo "-- $value"
  simulator_reset
  simulator_dword "$value" 1
  start "$value"
  ctl count-msgbox "Corvan Telvista" 6000 >"$work/$value.count" 2>"$work/$value.texts"
  check "$value: its message" grep -qF ": $text" "$work/$value.texts"
  check "$value: exactly one message" grep -qx "count=1" "$work/$value.count"
  check "$value: exit code 0" test "$(wait_rc "$value" 15)" = 0
done

echo "-- surface loss"
simulator_reset
simulator_dword LoseSurfaces 1
start lost
ctl wait-window QUENDALUMETRA 15000 >/dev/null
check "a lost surface is rebuilt without a message" test "$(ctl count-msgbox "Corvan Telvista" 3000 | tr -dc 0-9)" = 0
origin=$(ctl wait-window QUENDALUMETRA 1000 | grep -o 'origin=[0-9,]*' | cut -d= -f2)
ox=${origin%,*}; oy=${origin#*,}
import -window root "$work/lost.png"
check "live video is back after the rebuild" is_colour "$work/lost.png" $((ox + 66)) $((oy + 60)) HHL
ctl command QUENDALUMETRA 40004 >/dev/null
check "exit code 0" test "$(wait_rc lost 15)" = 0

echo "-- capture"
simulator_reset
simulator_string EngineStats "$(winpath "$work/engine-cap.txt")"
c="$WINEPREFIX/drive_c"
rm -f "$c/capture.bmp" "$c/capture.avi" "$c/temp.avi"
start cap
ctl wait-window QUENDALUMETRA 15000 >/dev/null
ctl command QUENDALUMETRA 40021 >/dev/null; sleep 1
ctl key QUENDALUMETRA F5 >/dev/null; sleep 1.5
check "F5 writes a 253,494-byte BMP" test "$(stat -c %s "$c/capture.bmp" 2>/dev/null)" = 253494
check "ImageMagick reads it as 352x240" bash -c "identify -format '%w %h' '$c/capture.bmp' | grep -qx '352 240'"
check "the still is the test card (yellow bar)" is_colour "$c/capture.bmp" 66 60 HHL
ctl key QUENDALUMETRA F7 >/dev/null; sleep 2
ctl key QUENDALUMETRA A >/dev/null
ctl msgbox "Corvan Telvista" 30000 >"$work/cap.box"
check "video capture summary" grep -Eq '^text=Captured [0-9]+ frames, [0-9]+\.[0-9]{3} seconds\.$' "$work/cap.box"
check "the AVI is 352x240 and ffprobe reads it" \
  bash -c "ffprobe -v error -show_entries stream=width,height -of csv=p=0 '$c/capture.avi' | grep -qx '352,240'"
n=$(ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$c/capture.avi" 2>/dev/null)
d=$(od -An -tu4 -j128 -N4 "$c/capture.avi" 2>/dev/null | tr -d ' ')
# The header's duration is the time the pictures were taken over, so its rate is theirs.
echo "  report: video capture: ${n:-?} frames in ${d:-?} ms," \
  "$(awk -v n="${n:-0}" -v d="${d:-0}" 'BEGIN { printf "%.3f", (d > 0 ? n * 1000 / d : 0) }') frames/s of 59.940"
check "never more than one frame a field, and no faster rate stored" \
  awk -v n="${n:-0}" -v d="${d:-0}" 'BEGIN { e = d * 59.94 / 1000; exit !(n > 0 && n <= e + 2) }'
check "no raw file left" test ! -e "$c/temp.avi"
ctl command QUENDALUMETRA 40004 >/dev/null
check "exit code 0" test "$(wait_rc cap 15)" = 0
# A busy machine costs the board fields and the capture some of those; the capture still
# gets at least half of what the board delivered, at the rate it delivered over the run.
read -r _ _ _ _ _ cap_rate <<<"$(tr -d '\r' <"$work/engine-cap.txt" 2>/dev/null | tail -n1)"
check "frames for at least half the fields delivered (board at ${cap_rate:-?} fields/s)" \
  awk -v n="${n:-0}" -v d="${d:-0}" -v r="${cap_rate:-0}" 'BEGIN { exit !(r > 0 && n >= r * d / 1000 / 2) }'

echo "-- the main panel with the pointer"
simulator_reset
"$WINE" reg delete 'HKLM\SOFTWARE\QUENDA\LUMETRA' /f >/dev/null 2>&1
c="$WINEPREFIX/drive_c"
rm -f "$c/capture.bmp"
start panel
ctl wait-window QUENDALUMETRA 15000 >/dev/null
panel_origin() { ctl wait-window "#32770|Corvan Main Panel" 5000 | grep -o 'origin=[0-9,-]*' | cut -d= -f2; }
ctl wait-window "#32770|Corvan Main Panel" 5000 >/dev/null
sleep 1  # live video starts inside the loop
p=$(panel_origin); px=${p%,*}; py=${p#*,}
read -r left top right bottom < <(ctl wait-window QUENDALUMETRA 1000 | grep -o 'rect=[0-9,-]*' | cut -d= -f2 | tr , ' ')
check "main panel centred 5 pixels below the video window" \
  test "$px,$py" = "$((left - (420 - (right - left)) / 2)),$((bottom + 5))"
click() {  # x y inside the panel
  xdotool mousemove $((px + $1)) $((py + $2)) click 1
  sleep "${3:-0.3}"
}
# Retries a check for a few seconds: a loaded machine may take a while to act on a click.
eventually() {
  local i
  for i in $(seq 25); do
    "$@" 2>/dev/null && return 0
    sleep 0.2
  done
  return 1
}
geometry_is() { test "$(geometry)" = "$1"; }
size_is() { test "$(geometry | cut -d' ' -f1)" = "$1"; }
click 63 48  # Capture Mode
check "Capture Mode button: 352x240 with the dialog frame" eventually geometry_is "client=352x240 style=0x14400008"
click 300 21  # Capture Single Frame
still_written() { test "$(stat -c %s "$c/capture.bmp" 2>/dev/null)" = 253494; }
check "Capture Single Frame button writes the still" eventually still_written
click 383 33  # Show/Hide Video Source Options: brightness selected
click 397 33 1  # Right: brightness 128 -> 136
read -r ox oy < <(ctl wait-window QUENDALUMETRA 1000 | grep -o 'origin=[0-9,]*' | cut -d= -f2 | tr , ' ')
import -window root "$work/panel-options.png"
# The window is 358 x 246 with its frame: the label and the first segment of the selected
# brightness row are red.
red_in() {  # file x y width height: some red pixels there
  local n
  n=$(convert "$1" -crop "$4x$5+$2+$3" +repage -fx 'r > 0.6 && g < 0.4 && b < 0.4' \
    -format '%[fx:int(mean * w * h)]' info:)
  [[ ${n:-0} -gt 3 ]]
}
check "source options over the picture: brightness label in red" \
  red_in "$work/panel-options.png" $((ox + 358 / 35)) $((oy + (2 * 246 >> 4))) $((5 * 358 / 35)) $((246 >> 4))
check "source options over the picture: a full red segment" \
  is_colour "$work/panel-options.png" $((ox + 358 / 5 + 1)) $((oy + (5 * 246 >> 5))) HLL
click 383 33  # hide them again
click 79 48  # LiveVideo Mode
check "LiveVideo Mode button returns" eventually geometry_is "client=352x240 style=0x94840308"
click 114 48  # Full Screen
check "Full Screen button covers the screen" eventually size_is "client=1024x768"
ctl key QUENDALUMETRA ESCAPE >/dev/null || echo "    lumctl could not send Esc (status $?)"
check "Esc brings the window back" eventually size_is "client=352x240"
[[ $(geometry) == client=352x240* ]] || echo "    after Esc: $(geometry)"
p=$(panel_origin); px=${p%,*}; py=${p#*,}
# At a person's pace: the moves leave the panel, so they reach it only once the press
# has given it the capture.
xdotool mousemove $((px + 200)) $((py + 62)) mousedown 1
ctl wait-capture "#32770|Corvan Main Panel" 5000 >/dev/null
xdotool mousemove $((px + 220)) $((py + 72)); sleep 0.1
xdotool mousemove $((px + 240)) $((py + 82)); sleep 0.1
xdotool mouseup 1
panel_at() { test "$(panel_origin)" = "$1"; }
check "the panel follows a drag by its face" eventually panel_at "$((px + 40)),$((py + 20))"
[[ $(panel_origin) == "$((px + 40)),$((py + 20))" ]] || echo "    panel from $px,$py to $(panel_origin)"
p=$(panel_origin); px=${p%,*}; py=${p#*,}
click 26 50 0  # Exit
check "Exit button ends the program with code 0" test "$(wait_rc panel 15)" = 0
check "the brightness set on the panel is stored" \
  bash -c "'$WINE' reg query 'HKLM\\SOFTWARE\\QUENDA\\LUMETRA' /v BRIGHTNESS | tr -d '\r' | grep -qE 'REG_DWORD +0x88$'"

echo "-- Video Format and Set Capture File with the pointer"
# The dialogs are opened and operated with real pointer input on the virtual display;
# lumctl only reports where a control is and what it shows.
simulator_reset
c="$WINEPREFIX/drive_c"
rm -f "$c/capture.avi" "$c/capture001.bmp" "$c/capture002.bmp" "$c/temp.avi"
item_field() { ctl item "$1" "$2" | grep -o "$3=[^ ]*" | head -n1 | cut -d= -f2-; }
item_text() { ctl item "$1" "$2" | sed -n 's/^text=//p'; }
rect_of() { ctl item "$1" "$2" | sed -n 's/^rect=\([-0-9]*\),\([-0-9]*\),\([0-9]*\),\([0-9]*\) .*/\1 \2 \3 \4/p'; }
click_at() { xdotool mousemove "$1" "$2" click 1; sleep 0.8; }
click_item() { local x y w h; read -r x y w h < <(rect_of "$1" "$2"); click_at $((x + w / 2)) $((y + h / 2)); }
panel_click() { local x y w h; read -r x y w h < <(rect_of "Corvan Main Panel" 0); click_at $((x + $1)) $((y + $2)); }
pick_entry() {  # dialog title, combo id, entry: drops the list down and clicks the entry
  local x y w h ih
  read -r x y w h < <(rect_of "$1" "$2")
  ih=$(item_field "$1" "$2" itemheight)
  click_at $((x + w / 2)) $((y + h / 2))
  click_at $((x + w / 2)) $((y + h + 2 + ih * $3 + ih / 2))
}
start dialogs
ctl wait-window QUENDALUMETRA 15000 >/dev/null; sleep 1
if command -v xdotool >/dev/null; then
  panel_click 63 48
  check "Capture Mode from the panel" grep -q 'client=352x240' <(ctl wait-window QUENDALUMETRA 1000)
  panel_click 300 46
  check "Video Format opens from its panel button, RGB chosen" test "$(item_field "Video Format" 1029 sel)" = 0
  check "in Capture Mode Full Screen is unavailable" test "$(item_field "Video Format" 1027 enabled)" = 0
  pick_entry "Video Format" 1029 1
  check "YVU9 picked from the list" test "$(item_text "Video Format" 1029)" = "YVU9 Planar  (Indeo Raw)"
  click_item "Video Format" 1
  check "OK closes Video Format" bash -c "! '$WINE' '$root/build/win/lumctl.exe' item 'Video Format' 0 >/dev/null 2>&1"
  panel_click 340 46
  check "Set Capture File opens from its panel button" test "$(item_text "Set Capture File" 1039)" = 'c:\capture.bmp'
  click_item "Set Capture File" 1057
  check "ticking numbered names shows capture001.bmp" test "$(item_text "Set Capture File" 1039)" = 'c:\capture001.bmp'
  pick_entry "Set Capture File" 1180 4
  check "capture size 1760 x 1200 picked" test "$(item_text "Set Capture File" 1180)" = "1760 x 1200"
  import -window root "$work/set-capture-file.png"
  click_item "Set Capture File" 1
  panel_click 300 21; sleep 1.5  # Capture Single Frame
  check "the still is numbered and 5x: 1760 x 1200" test "$(stat -c %s "$c/capture001.bmp" 2>/dev/null)" = 6336054
  panel_click 340 21  # Capture Video
  sleep 2; ctl key QUENDALUMETRA A >/dev/null
  ctl msgbox "Corvan Telvista" 30000 >"$work/dialogs.box"
  check "video capture summary" grep -Eq '^text=Captured [0-9]+ frames' "$work/dialogs.box"
  check "the AVI is YVU9 and ffprobe reads it as yuv410p 352x240" test \
    "$(ffprobe -v error -show_entries stream=codec_tag_string,width,height,pix_fmt -of csv=p=0 "$c/capture.avi")" \
    = "YVU9,352,240,yuv410p"
else
  check "xdotool is installed" false
fi
ctl command QUENDALUMETRA 40004 >/dev/null
check "exit code 0" test "$(wait_rc dialogs 15)" = 0

source "$root/tests/e2e/playback.sh"
source "$root/tests/e2e/modal.sh"

echo "-- the test card's frame at every edge"
# The share of a rectangle's pixels that are white: the frame, not the bars (75%), the
# blanking or the background. Checked one pixel wide along each edge of the picture.
white() {  # file x y w h
  convert "$1" -crop "$4x$5+$2+$3" +repage -fx 'min(r,min(g,b))' -threshold 88% \
    -format "%[fx:mean]" info:
}
edge_white() {  # file x y w h [x y w h]: at least 90% white, in the first or the second
  awk -v a="$(white "$1" "$2" "$3" "$4" "$5")" -v b="$([[ $# -gt 5 ]] && white "$1" "$6" "$7" "$8" "$9" || echo 0)" \
    'BEGIN { exit !(a >= 0.9 || b >= 0.9) }'
}
# The top edge may be the second row: a 288-line still averages its first row with the
# blanking line above the picture.
frame_edges() {  # what, file, x, y, w, h, [top/bottom only]
  local what=$1 f=$2 x=$3 y=$4 w=$5 h=$6
  check "$what: top edge" edge_white "$f" "$x" "$y" "$w" 1 "$x" $((y + 1)) "$w" 1
  check "$what: bottom edge" edge_white "$f" "$x" $((y + h - 1)) "$w" 1
  [[ -n ${7:-} ]] && return
  check "$what: left edge" edge_white "$f" "$x" "$y" 1 "$h"
  check "$what: right edge" edge_white "$f" $((x + w - 1)) "$y" 1 "$h"
}
c="$WINEPREFIX/drive_c"
"$WINE" reg delete 'HKLM\SOFTWARE\QUENDA\LUMETRA' /f >/dev/null 2>&1  # picture controls at their defaults
for standard in NTSC-M PAL-BGHI; do
  simulator_reset
  simulator_string Composite "$standard"
  rm -f "$c/capture.bmp"
  start "frame-$standard"
  ctl wait-window QUENDALUMETRA 15000 >/dev/null
  sleep 2
  window=$(ctl wait-window QUENDALUMETRA 1000)
  origin=$(grep -o 'origin=[0-9,]*' <<<"$window" | cut -d= -f2)
  size=$(grep -o 'client=[0-9x]*' <<<"$window" | cut -d= -f2)
  ox=${origin%,*}; oy=${origin#*,}; w=${size%x*}; h=${size#*x}
  import -window root "$work/frame-$standard-window.png"
  frame_edges "$standard in a ${size} window" "$work/frame-$standard-window.png" "$ox" "$oy" "$w" "$h"
  ctl key QUENDALUMETRA S ctrl >/dev/null; sleep 1.5
  import -window root "$work/frame-$standard-full.png"
  # At full screen the left and right crops grow with the screen's width beyond the
  # port's 720 columns: only the top and bottom edges carry the frame there.
  frame_edges "$standard at full screen" "$work/frame-$standard-full.png" 0 0 1024 768 top-bottom
  ctl key QUENDALUMETRA ESCAPE >/dev/null; sleep 0.5
  ctl command QUENDALUMETRA 40021 >/dev/null; sleep 1
  ctl key QUENDALUMETRA F5 >/dev/null; sleep 1.5
  frame_edges "$standard still" "$c/capture.bmp" 0 0 352 "$h"
  ctl command QUENDALUMETRA 40004 >/dev/null
  check "$standard: exit code 0" test "$(wait_rc "frame-$standard" 15)" = 0
done

echo "-- placement through the window system"
# Nothing outside the rectangles given (window frames, covers) differs from the empty
# desktop: no picture where it does not belong.
unchanged_outside() {  # shot, "x0,y0 x1,y1"...
  local shot=$1; shift
  local draw=() r
  for r in "$@"; do draw+=(-draw "rectangle $r"); done
  convert "$work/desktop.png" -fill black "${draw[@]}" "$work/desktop-masked.png"
  convert "$shot" -fill black "${draw[@]}" "$work/shot-masked.png"
  [[ "$(compare -metric AE "$work/desktop-masked.png" "$work/shot-masked.png" null: 2>&1)" == 0 ]]
}
around() {  # client x y w h -> the window's frame rectangle, with a margin
  echo "$(($1 - 6)),$(($2 - 6)) $(($1 + $3 + 5)),$(($2 + $4 + 5))"
}
simulator_reset
import -window root "$work/desktop.png"
start place
ctl wait-window QUENDALUMETRA 15000 >/dev/null
# The main panel goes off the screen, so that the desktop around the window stays empty.
ctl wait-window "#32770|Corvan Main Panel" 5000 >/dev/null
ctl move "#32770|Corvan Main Panel" 3000 3000 >/dev/null
sleep 1.5
client_origin() { ctl wait-window QUENDALUMETRA 1000 | grep -o 'origin=[0-9,-]*' | cut -d= -f2; }
placed() {  # window x y -> screenshot $work/place-<tag>.png after the overlay tick
  ctl move QUENDALUMETRA "$1" "$2" >/dev/null
  # The client area is inside a 3-pixel border; a busy machine can be slow to move it.
  for _ in $(seq 25); do [[ "$(client_origin)" == "$(($1 + 3)),$(($2 + 3))" ]] && break; sleep 0.2; done
  sleep 0.8
  import -window root "$work/place-$3.png"
}
# The border is 3 pixels: the client lands on multiples of 8, where the card's
# destination boundary lets the picture start at the client's edge.
# Client areas off the card's 8-pixel destination boundary: the overlay starts at the
# next multiple of 8 and the strip left of it is black, never the key.
# A busy machine can take longer than one tick to place the overlay: the picture is judged
# once it has settled, or after 5 s.
for x in 98 201 305; do
  placed "$x" 93 "unaligned-$x"
  read -r cx cy < <(client_origin | tr , ' ')
  for _ in $(seq 10); do
    [[ "$(key_pixels "$work/place-unaligned-$x.png" "$cx" "$cy" 352 240)" == 0 ]] &&
      is_colour "$work/place-unaligned-$x.png" "$cx" $((cy + 120)) LLL && break
    sleep 0.5
    import -window root "$work/place-unaligned-$x.png"
  done
  check "client at x $cx: no key colour in the client area" \
    test "$(key_pixels "$work/place-unaligned-$x.png" "$cx" "$cy" 352 240)" = 0
  check "client at x $cx: the strip left of the overlay is black" \
    is_colour "$work/place-unaligned-$x.png" "$cx" $((cy + 120)) LLL
done
placed 197 93 moved
frame_edges "moved to (200,96)" "$work/place-moved.png" 200 96 352 240
check "moved: no picture outside the window" unchanged_outside "$work/place-moved.png" "$(around 200 96 352 240)"
( ctl cover 300 156 150 100 3000 >/dev/null & ); sleep 1.5
import -window root "$work/place-covered.png"; sleep 1.5
check "covered: the covering window is untouched by the picture" \
  test "$(convert "$work/place-covered.png" -crop 150x100+300+156 +repage -fill black -opaque 'rgb(0,160,0)' -format '%[fx:maxima]' info:)" = 0
check "covered: the picture stays around the cover, frame included" \
  edge_white "$work/place-covered.png" 200 96 100 1
check "covered: nothing outside window and cover" \
  unchanged_outside "$work/place-covered.png" "$(around 200 96 352 240)" "300,156 449,255"
ctl minimize QUENDALUMETRA >/dev/null; sleep 0.8
import -window root "$work/place-minimised.png"
check "minimised: no picture anywhere" unchanged_outside "$work/place-minimised.png" "0,720 1023,767"
ctl restore QUENDALUMETRA >/dev/null; sleep 0.8
import -window root "$work/place-restored.png"
window=$(ctl wait-window QUENDALUMETRA 1000)
origin=$(grep -o 'origin=[0-9,]*' <<<"$window" | cut -d= -f2)
frame_edges "restored" "$work/place-restored.png" "${origin%,*}" "${origin#*,}" 352 240
# Hanging off each edge of the screen: the on-screen part of the picture, its frame on
# the edges that are on the screen, nothing beyond the window.
placed -99 93 off-left
check "off the left edge: top, bottom and right of the frame" bash -c "$(declare -f white edge_white);
  edge_white '$work/place-off-left.png' 0 96 256 1 && edge_white '$work/place-off-left.png' 0 335 256 1 &&
  edge_white '$work/place-off-left.png' 255 96 1 240"
check "off the left edge: nothing outside" unchanged_outside "$work/place-off-left.png" "0,90 261,341"
placed 821 93 off-right
check "off the right edge: top, bottom and left of the frame" bash -c "$(declare -f white edge_white);
  edge_white '$work/place-off-right.png' 824 96 200 1 && edge_white '$work/place-off-right.png' 824 335 200 1 &&
  edge_white '$work/place-off-right.png' 824 96 1 240"
check "off the right edge: nothing outside" unchanged_outside "$work/place-off-right.png" "818,90 1023,341"
placed 197 -103 off-top
check "off the top edge: left, right and bottom of the frame" bash -c "$(declare -f white edge_white);
  edge_white '$work/place-off-top.png' 200 0 1 140 && edge_white '$work/place-off-top.png' 551 0 1 140 &&
  edge_white '$work/place-off-top.png' 200 139 352 1"
check "off the top edge: nothing outside" unchanged_outside "$work/place-off-top.png" "194,0 557,145"
placed 197 665 off-bottom
check "off the bottom edge: left, right and top of the frame" bash -c "$(declare -f white edge_white);
  edge_white '$work/place-off-bottom.png' 200 668 1 100 && edge_white '$work/place-off-bottom.png' 551 668 1 100 &&
  edge_white '$work/place-off-bottom.png' 200 668 352 1"
check "off the bottom edge: nothing outside" unchanged_outside "$work/place-off-bottom.png" "194,662 557,767"
ctl command QUENDALUMETRA 40004 >/dev/null
check "exit code 0" test "$(wait_rc place 15)" = 0

echo "-- no key colour in place of the picture: start-up, the tuner panel closed, processing"
if command -v xdotool >/dev/null; then
  simulator_reset
  start nokey
  ctl wait-window QUENDALUMETRA 15000 >/dev/null
  keyed=""
  for i in 1 2 3 4 5 6; do
    import -window root "$work/nokey-start-$i.png"
    keyed+="$(client_key_pixels "$work/nokey-start-$i.png") "
  done
  check "from the window's first appearance to live video: no key colour ($keyed)" \
    test "$(tr -d ' 0' <<<"$keyed")" = ""
  click() { local p; p=$(ctl point "$@") || return 1; xdotool mousemove $p click 1; sleep 0.5; }
  read -r x y < <(ctl point "Corvan Telvista" 0)
  xdotool mousemove "$x" "$y" click 3; sleep 0.7
  xdotool mousemove $((x + 20)) $((y + 9)) click 1  # Video Source
  click "Video Source" 1003
  click "Video Source" 1
  tuner_panel_up() { ctl wait-window "#32770|Corvan Tuner Panel" 3000 >/dev/null; }
  check "Video Source's OK with the Tuner brings up the tuner panel" tuner_panel_up
  click "Corvan Tuner Panel" 0 78 84  # its close key
  keyed=""
  for i in 1 2 3 4 5; do
    sleep 0.3
    import -window root "$work/nokey-tuner-$i.png"
    keyed+="$(client_key_pixels "$work/nokey-tuner-$i.png") "
  done
  check "after the tuner panel's close key: no key colour ($keyed)" \
    test "$(tr -d ' 0' <<<"$keyed")" = ""
  ctl command QUENDALUMETRA 40021 >/dev/null; sleep 1
  ctl key QUENDALUMETRA F7 >/dev/null; sleep 3
  # Activating the video window raises it above the picture; the picture must come back
  # in front while the capture runs, not only once it ends. The key that ends the capture
  # then reaches the window already in front, as a user's key press does.
  ctl activate QUENDALUMETRA >/dev/null
  for i in $(seq 10); do
    sleep 0.5
    import -window root "$work/nokey-activated.png"
    [[ "$(client_key_pixels "$work/nokey-activated.png")" == 0 ]] && break
  done
  check "the video window activated during a capture: the picture comes back in front" \
    test "$(client_key_pixels "$work/nokey-activated.png")" = 0
  sleep 2
  ctl key QUENDALUMETRA A >/dev/null
  keyed=""
  for i in 1 2 3 4 5 6; do
    import -window root "$work/nokey-processing-$i.png"
    keyed+="$(client_key_pixels "$work/nokey-processing-$i.png") "
  done
  check "from the end of a video capture through its processing: no key colour ($keyed)" \
    test "$(tr -d ' 0' <<<"$keyed")" = ""
  ctl msgbox "Corvan Telvista" 30000 >"$work/nokey-capture.box"
  check "the capture was processed" grep -q '^text=Captured ' "$work/nokey-capture.box"
  ctl command QUENDALUMETRA 40004 >/dev/null
  check "exit code 0" test "$(wait_rc nokey 15)" = 0
else
  echo "  skip (no xdotool)"
fi

echo "-- dialogs with the pointer: Video Source, tuner panel, Channel Setting, About"
if command -v xdotool >/dev/null; then
  simulator_reset
  "$WINE" reg delete 'HKLM\SOFTWARE\QUENDA\LUMETRA' /f >/dev/null 2>&1
  trace="$work/trace-dialogs.txt"
  simulator_string BusTrace "$(winpath "$trace")"
  start dialogs
  ctl wait-window QUENDALUMETRA 15000 >/dev/null; sleep 1
  # Clicks with the real pointer, at places lumctl reads from the windows.
  click() { local p; p=$(ctl point "$@") || return 1; xdotool mousemove $p click 1; sleep 0.5; }
  shown() { ctl point "$1" 0 >/dev/null 2>&1; }
  read -r x y < <(ctl point "Corvan Telvista" 0)
  xdotool mousemove "$x" "$y" click 3; sleep 0.7
  xdotool mousemove $((x + 20)) $((y + 9)) click 1  # the menu's first item
  check "the context menu opens Video Source" shown "Video Source"
  read -r x y < <(ctl point "Video Source" 1013)
  read -r end _ < <(ctl point "Video Source" 1013 -3 0)
  xdotool mousemove "$x" "$y" mousedown 1; sleep 0.2
  xdotool mousemove $((x + 20)) "$y"; sleep 0.2
  xdotool mousemove "$end" "$y"; sleep 0.2
  xdotool mouseup 1; sleep 0.3
  check "the brightness thumb dragged to its end writes 0xFF at once" tr_has "$trace" "S 48+ 0A+ FF+ P"
  click "Video Source" 1003
  click "Video Source" 1
  check "OK with the Tuner chosen brings up the tuner panel" shown "Corvan Tuner Panel"
  click "Corvan Tuner Panel" 0 112 240
  check "the channel-list button opens Channel Setting" shown "Channel Setting"
  click "Channel Setting" 1121 10 33  # slot 2's box
  click "Channel Setting" 1121 60 55  # slot 3's row
  click "Channel Setting" 1131
  xdotool type --delay 40 "News 24 and more"; sleep 0.3
  click "Channel Setting" 1170
  xdotool key Up Return; sleep 0.3  # the plan above Taiwan Cable
  click "Channel Setting" 1
  click "Corvan Main Panel" 0 13 50
  check "the main panel's About button opens the About box" shown "About Corvan Telvista"
  click "About Corvan Telvista" 1
  check "its OK ends it" bash -c "! '$WINE' '$root/build/win/lumctl.exe' point 'About Corvan Telvista' 0 >/dev/null 2>&1"
  ctl command QUENDALUMETRA 40004 >/dev/null
  check "exit code 0" test "$(wait_rc dialogs 15)" = 0
  query >"$work/dialogs.reg"
  query /s >"$work/dialogs-all.reg"
  for v in "BRIGHTNESS 0xff" "VIDEOCONNECTOR 0x3eb" "CABLESTANDARD 0x1" "VIDEOSTANDARD 0x3"; do
    set -- $v
    check "stored $1 = $2" grep -qE "^ +$1 +REG_DWORD +$2\$" "$work/dialogs.reg"
  done
  checked=$(grep -E '^ +CHECKED +REG_BINARY' "$work/dialogs-all.reg" | awk '{print $3}')
  check "slot 2 unticked, the others kept" \
    test "$checked" = "000000000100000000000000$(printf '01000000%.0s' $(seq 98))"
  check "the typed name is stored cut at ten characters" \
    bash -c "grep -E '^ +NAME +REG_MULTI_SZ' '$work/dialogs-all.reg' | grep -q 'News 24 an\\\\0'"
  # Later runs start from a first run, not from the Tuner and PAL stored here.
  "$WINE" reg delete 'HKLM\SOFTWARE\QUENDA\LUMETRA' /f >/dev/null 2>&1
else
  echo "  skip (no xdotool)"
fi

simulator_reset
echo "$pass $fail" >"$counts"
echo "e2e: $pass passed, $fail failed"
