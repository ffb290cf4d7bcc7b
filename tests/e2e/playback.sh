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
# The smallest RMSE (0..1) of a window shot against every frame of a clip.
nearest_frame() {  # shot clip
  local frames="$work/frames-$1"
  rm -rf "$frames"; mkdir -p "$frames"
  ffmpeg -loglevel error -i "$2" "$frames/%04d.png"
  for f in "$frames"/*.png; do
    compare -metric RMSE "$work/$1.png" "$f" null: 2>&1 | sed -E 's/.*\((.*)\)/\1/'
  done | sort -g | head -n1
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
