# Sourced by run.sh: clips played back in the real program with pointer clicks on the main
# panel, judged by screenshots of the video window.

# Clicks a point of the main panel as the pointer would.
panel_click() {  # x y
  local panel
  panel=$(xdotool search --name '^Corvan Main Panel$' | head -n1)
  xdotool mousemove --window "$panel" "$1" "$2"; sleep 0.2
  xdotool mousedown 1; sleep 0.1; xdotool mouseup 1; sleep 0.4
}
# The video window's client area in a screenshot.
window_shot() {  # name
  import -window root "$work/$1-full.png"
  convert "$work/$1-full.png" -crop "352x240+$ox+$oy" +repage "$work/$1.png"
}
pixels_differ() {  # a b -> number of differing pixels
  compare -metric AE "$work/$1.png" "$work/$2.png" null: 2>&1 | cut -d' ' -f1 | cut -d. -f1
}
# The smallest RMSE (0..1) of a window shot against every frame of a clip, decoded with
# the program's full-range YUV (for RGB clips the scaling changes nothing).
nearest_frame() {  # shot clip
  local frames="$work/frames-$1"
  rm -rf "$frames"; mkdir -p "$frames"
  ffmpeg -loglevel error -i "$2" -vf scale=in_range=full:out_range=full:flags=neighbor "$frames/%04d.png"
  for f in "$frames"/*.png; do
    compare -metric RMSE "$work/$1.png" "$f" null: 2>&1 | sed -E 's/.*\((.*)\)/\1/'
    echo
  done | sort -g | head -n1
}

# Open Video File, the name typed into the real file dialog.
open_clip() {  # windows path
  panel_click 320 46
  sleep 1.5
  xdotool key alt+n; sleep 0.3
  xdotool type --delay 20 "$1"
  xdotool key Return
  sleep 2
}

echo "-- playback"
simulator_reset
c="$WINEPREFIX/drive_c"
rm -f "$c/capture.avi"
start play
ctl wait-window QUENDALUMETRA 15000 >/dev/null
sleep 1
panel_click 63 48    # Capture Mode
origin=$(ctl wait-window QUENDALUMETRA 1000 | grep -o 'origin=[0-9,]*' | cut -d= -f2)
ox=${origin%,*}; oy=${origin#*,}
panel_click 340 21   # Capture Video
sleep 1.5
ctl key QUENDALUMETRA A >/dev/null
ctl msgbox "Corvan Telvista" 30000 >"$work/play-capture.box"
check "a clip was captured" grep -q '^text=Captured ' "$work/play-capture.box"
sleep 0.5
window_shot play-live-a; sleep 0.5; window_shot play-live-b
check "the captured clip waits: the window still shows the moving live picture" \
  test "$(pixels_differ play-live-a play-live-b)" -gt 100
panel_click 261 15   # Play
sleep 0.3; window_shot play-a
sleep 0.4; window_shot play-b
check "while playing the window's picture changes" test "$(pixels_differ play-a play-b)" -gt 100
panel_click 247 15   # Pause
sleep 0.3; window_shot pause-a
sleep 0.6; window_shot pause-b
check "paused, the window holds one still picture" test "$(pixels_differ pause-a pause-b)" -lt 50
check "the still picture is not the live one" test "$(pixels_differ pause-a play-live-b)" -gt 1000
panel_click 261 15   # Play on
sleep 0.4; window_shot play-c
check "Play goes on from the paused picture" test "$(pixels_differ pause-b play-c)" -gt 100
panel_click 275 15   # Stop
sleep 0.8; window_shot stop-a; sleep 0.5; window_shot stop-b
check "Stop brings the moving live picture back" test "$(pixels_differ stop-a stop-b)" -gt 100
ctl command QUENDALUMETRA 40004 >/dev/null
check "exit code 0" test "$(wait_rc play 15)" = 0

echo "-- playback of clips opened with Open Video File"
# A YVU9 clip from the program's own video capture (run in the Win32 test program).
"$WINE" "$root/build/win/win32_tests.exe" \
  --gtest_filter=PlaybackTest.CaptureReplacesTheOpenClipAndLoadsTheNewOne >/dev/null 2>&1
check "the program captured a YVU9 clip" test -s "$c/cap_play_yvu9.avi"
check "ffprobe reads it as YVU9" \
  bash -c "ffprobe -v error -show_entries stream=codec_tag_string -of csv=p=0 '$c/cap_play_yvu9.avi' | grep -qix 'yvu9'"
simulator_reset
start open
ctl wait-window QUENDALUMETRA 15000 >/dev/null
sleep 1
origin=$(ctl wait-window QUENDALUMETRA 1000 | grep -o 'origin=[0-9,]*' | cut -d= -f2)
ox=${origin%,*}; oy=${origin#*,}
for clip in cap_play_yvu9 capture; do
  open_clip "c:\\$clip.avi"
  window_shot "$clip-first-a"; sleep 0.5; window_shot "$clip-first-b"
  check "$clip: the first frame stands still in the window" \
    test "$(pixels_differ "$clip-first-a" "$clip-first-b")" -lt 50
  panel_click 261 15   # Play
  sleep 0.3; window_shot "$clip-play-a"
  sleep 0.4; window_shot "$clip-play-b"
  check "$clip: playing, the picture changes" test "$(pixels_differ "$clip-play-a" "$clip-play-b")" -gt 100
  panel_click 247 15   # Pause
  sleep 0.3; window_shot "$clip-pause"
  nearest=$(nearest_frame "$clip-pause" "$c/$clip.avi")
  echo "  report: $clip: paused picture against the clip's frames as ffmpeg decodes them: RMSE ${nearest:-?}"
  check "$clip: the paused picture is one of the clip's frames, in its colours" \
    awk -v e="${nearest:-1}" 'BEGIN { exit !(e < 0.01) }'
done
panel_click 275 15   # Stop
sleep 0.8; window_shot open-stop-a; sleep 0.5; window_shot open-stop-b
check "Stop brings the moving live picture back" test "$(pixels_differ open-stop-a open-stop-b)" -gt 100
ctl command QUENDALUMETRA 40004 >/dev/null
check "exit code 0" test "$(wait_rc open 15)" = 0
