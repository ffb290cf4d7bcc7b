# Sourced by the scripts: a Wine prefix of the project's own under build/, a virtual
# desktop of fixed size inside it, and a private X display when asked for one.
root=${root:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
export WINEPREFIX="$root/build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono/Gecko installers on first boot
if [[ -x /usr/lib/wine/wine64 ]]; then
  WINE=/usr/lib/wine/wine64
  WINESERVER=/usr/lib/wine/wineserver
else
  WINE=$(command -v wine64 || command -v wine)
  WINESERVER=$(command -v wineserver)
fi
# 32-bit programs are started like 64-bit ones, through $WINE: the 64-bit loader hands
# them to the 32-bit loader beside it, which Debian installs apart (wine32:i386).
WINE32_LOADER=$(dirname "$WINE")/wine
DESKTOP_SIZE=${DESKTOP_SIZE:-1024x768}
XVFB_PID=""

# Starts Xvfb on a display number it picks itself and exports DISPLAY. Picking a number
# here and starting Xvfb on it would race with another session doing the same, and the
# loser would end up on the winner's display, which goes away with the winner.
start_xvfb() {
  local number_file n
  number_file=$(mktemp) || return 1
  Xvfb -displayfd 3 -screen 0 "${DESKTOP_SIZE}x24" -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do
    [[ -s "$number_file" ]] && break
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  n=$(tr -dc 0-9 <"$number_file")
  rm -f "$number_file"
  if [[ -n "$n" ]] && kill -0 "$XVFB_PID" 2>/dev/null; then
    export DISPLAY=":$n"
    return 0
  fi
  stop_xvfb
  echo "cannot start Xvfb" >&2
  return 1
}

stop_xvfb() {
  [[ -n "$XVFB_PID" ]] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  XVFB_PID=""
  return 0
}

# The 32-bit loader is there: an ELF file of 32-bit class, not a wrapper script by that name.
wine32_installed() {
  [[ -x "$WINE32_LOADER" && $(od -An -tx1 -N5 "$WINE32_LOADER" 2>/dev/null | tr -d ' \n') == 7f454c4601 ]]
}

# The prefix has the 32-bit side of the system that 32-bit programs load.
prefix_has_32bit_side() { [[ -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]]; }

# 32-bit programs run here: the loader is installed and the prefix was made with it.
wine_runs_32bit() { wine32_installed && prefix_has_32bit_side; }

# Boots the prefix once and keeps every window inside one virtual desktop: no window
# manager is involved, so showing and hiding windows costs no X round trips.
prepare_prefix() {
  # A prefix made before 32-bit Wine was installed has an empty syswow64, and updating it
  # does not fill it in; everything in the prefix is made by these scripts, so it is made
  # anew, once: a prefix made with 32-bit Wine installed is kept even if its 32-bit side
  # could not be made (a kernel without 32-bit support, say).
  local made_with_wine32="$WINEPREFIX/.made-with-wine32"
  if [[ -f "$WINEPREFIX/system.reg" && ! -f "$made_with_wine32" ]] && wine32_installed &&
    ! prefix_has_32bit_side; then
    echo "wine: prefix $WINEPREFIX predates 32-bit Wine; making it anew"
    "$WINESERVER" -k >/dev/null 2>&1
    "$WINESERVER" -w >/dev/null 2>&1
    rm -rf "$WINEPREFIX"
  fi
  if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    echo "wine: creating prefix $WINEPREFIX"
    "$WINE" wineboot -i >/dev/null 2>&1 || true
    "$WINESERVER" -w
    if wine32_installed; then touch "$made_with_wine32"; fi
  fi
  # The panels' texts are set in Times New Roman; Liberation Serif has its metrics.
  if ! grep -q '"Times New Roman"="Liberation Serif"' "$WINEPREFIX/user.reg" 2>/dev/null; then
    "$WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "Times New Roman" \
      /d "Liberation Serif" /f >/dev/null 2>&1
    "$WINESERVER" -w
  fi
  if ! grep -q '"Desktop"="Default"' "$WINEPREFIX/user.reg" 2>/dev/null; then
    "$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    "$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$DESKTOP_SIZE" /f >/dev/null 2>&1
    "$WINESERVER" -w
  fi
}

# Keeps the server and Wine's own services running for the whole session. The services
# are started here with their output going nowhere: started by a later command they
# would inherit its stdout and hold a pipe open after the command itself has ended.
start_wine_session() {
  "$WINESERVER" -p >/dev/null 2>&1 || true
  "$WINE" cmd /c exit >/dev/null 2>&1 </dev/null || true
}
stop_wine_session() { "$WINESERVER" -k >/dev/null 2>&1 || true; }

# A unix path as the program sees it.
winpath() { echo "Z:${1//\//\\}"; }

simulator_reset() { "$WINE" reg delete 'HKCU\Software\QUENDA\Simulator' /f >/dev/null 2>&1 || true; }
simulator_dword() { "$WINE" reg add 'HKCU\Software\QUENDA\Simulator' /v "$1" /t REG_DWORD /d "$2" /f >/dev/null; }
simulator_string() { "$WINE" reg add 'HKCU\Software\QUENDA\Simulator' /v "$1" /t REG_SZ /d "$2" /f >/dev/null; }
