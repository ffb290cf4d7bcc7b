# Sourced by run.sh: Exit while a modal loop runs (a file picker, a picker inside a dialog,
# the context menu, the Capture Frames dialog), one capture at a time, and Esc in Video
# Source, with the real pointer and keyboard on the virtual display.

echo "-- Exit from inside modal loops"
if command -v xdotool >/dev/null; then
  simulator_reset
  c="$WINEPREFIX/drive_c"
  modal_click() { local p; p=$(ctl point "$@") || return 1; xdotool mousemove $p click 1; sleep 0.6; }
  visible() { ctl point "$1" 0 >/dev/null 2>&1; }
  gone() { ! visible "$1"; }
  video_style() { ctl wait-window QUENDALUMETRA 1000 | grep -o 'style=0x[0-9a-f]*' | cut -d= -f2; }
  video_disabled() { (($(video_style) & 0x08000000)); }
  video_enabled() { ! video_disabled; }
  right_click_picture() {
    local x y
    read -r x y < <(ctl point "Corvan Telvista" 0)
    xdotool mousemove "$x" "$y" click 3; sleep 0.7
  }
  menu_open() { ctl wait-window "#32768" 1500 >/dev/null 2>&1; }
  started() { start "$1"; ctl wait-window QUENDALUMETRA 15000 >/dev/null; sleep 1; }

  started exit-open
  modal_click "Corvan Main Panel" 0 320 46  # Open Video File
  check "Open Video File shows its picker" eventually visible "Open"
  check "the picker disables the video window" video_disabled
  right_click_picture
  check "a right click on the picture opens no menu while the picker is up" bash -c \
    "! '$WINE' '$root/build/win/lumctl.exe' wait-window '#32768' 1000 >/dev/null 2>&1"
  modal_click "Open" 2  # Cancel
  check "the picker cancelled: the video window takes input again" eventually video_enabled
  modal_click "Corvan Main Panel" 0 320 46
  check "the picker opens again" eventually visible "Open"
  ctl command QUENDALUMETRA 40004 >/dev/null  # Exit arrives while the picker is up
  check "Exit with the picker up ends the program with code 0" test "$(wait_rc exit-open 15)" = 0

  started exit-browse
  modal_click "Corvan Main Panel" 0 63 48   # Capture Mode
  modal_click "Corvan Main Panel" 0 340 46  # Set Capture File
  check "Set Capture File opens" eventually visible "Set Capture File"
  modal_click "Set Capture File" 1044  # Browse for the AVI name
  check "its Browse shows the save picker" eventually visible "Save As"
  ctl command QUENDALUMETRA 40004 >/dev/null
  check "Exit with a picker over a dialog ends the program with code 0" \
    test "$(wait_rc exit-browse 15)" = 0

  started exit-menu
  right_click_picture
  check "a right click on the picture opens the context menu" menu_open
  ctl command QUENDALUMETRA 40004 >/dev/null
  check "Exit with the context menu open ends the program with code 0" \
    test "$(wait_rc exit-menu 15)" = 0

  echo "-- one capture at a time"
  rm -f "$c/capture.avi" "$c/temp.avi" "$c"/lum*.tmp
  started frames
  modal_click "Corvan Main Panel" 0 63 48   # Capture Mode
  modal_click "Corvan Main Panel" 0 320 21  # Capture Frames
  check "Capture Frames opens" eventually visible "Capture Frames"
  modal_click "Capture Frames" 1054
  modal_click "Capture Frames" 1054
  check "two pictures taken" test "$(ctl item "Capture Frames" 1053 | sed -n 's/^text=//p')" = 2
  ctl command QUENDALUMETRA 40012 >/dev/null  # Capture Video, as the context menu sends it
  check "Capture Video meanwhile is refused without a message" \
    test "$(ctl count-msgbox "Corvan Telvista" 1500 | tr -dc 0-9)" = 0
  modal_click "Capture Frames" 1054
  check "the sequence goes on: three pictures" \
    test "$(ctl item "Capture Frames" 1053 | sed -n 's/^text=//p')" = 3
  ctl command QUENDALUMETRA 40004 >/dev/null
  check "Exit with Capture Frames open ends the program with code 0" test "$(wait_rc frames 30)" = 0
  check "the three pictures are kept in capture.avi" \
    test "$(stat -c %s "$c/capture.avi" 2>/dev/null)" = $((224 + 3 * (352 * 240 * 3 + 8) + 8 + 16 * 3))
  check "no raw or temporary file is left" \
    bash -c "! ls '$c/temp.avi' '$c'/lum*.tmp >/dev/null 2>&1"

  echo "-- Esc in Video Source"
  started source-esc
  right_click_picture
  read -r x y < <(ctl point "Corvan Telvista" 0)
  xdotool mousemove $((x + 20)) $((y + 9)) click 1; sleep 0.8  # the menu's first item
  check "the context menu opens Video Source" eventually visible "Video Source"
  before=$(ctl wait-window QUENDALUMETRA 1000 | grep -oE 'client=[0-9]+x[0-9]+')
  xdotool key Escape; sleep 0.8
  check "Esc cancels Video Source" eventually gone "Video Source"
  check "and leaves the video window as it was ($before)" \
    test "$(ctl wait-window QUENDALUMETRA 1000 | grep -oE 'client=[0-9]+x[0-9]+')" = "$before"
  ctl command QUENDALUMETRA 40004 >/dev/null
  check "exit code 0" test "$(wait_rc source-esc 15)" = 0
else
  check "xdotool is installed" false
fi
