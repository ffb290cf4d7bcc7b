#!/usr/bin/env bash
# The packages of one Windows tree ($PACKAGE_TREE, build/win by default), checked as a
# Windows user gets them, in a fresh Wine prefix of their own: the zip's contents; the
# installer's silent install, its shortcut and Add/Remove Programs entry; the installed
# program on the simulated board; the YVU9 decompressor for every program, played by a
# plain MCI player in another process; the silent uninstall. Expects a display (DISPLAY).
# Writes "<passed> <failed>" to the file given as $1 (and "<that file without .counts>
# .skipped" when the packages cannot be tried here).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/lib/wine.sh"
counts=${1:-/dev/null}
tree=${PACKAGE_TREE:-$root/build/win}
if [[ -f "$tree/portable_tests.exe" ]]; then bits=32; else bits=64; fi
work="$root/build/package-test/win$bits"
rm -rf "$work"
mkdir -p "$work"

source "$root/scripts/lib/checks.sh"
done_with() {
  echo "$pass $fail" >"$counts"
  echo "packages ($bits-bit): $pass passed, $fail failed"
  exit 0
}

if [[ $bits == 32 ]] && ! wine32_installed; then
  echo "this Wine has no 32-bit side (install wine32:i386 with scripts/setup)" | tee "${counts%.counts}.skipped"
  exit 0
fi

# The packages, remade when the program is newer than they are.
installer=$(ls -t "$tree"/packages/CorvanTelvista-*-win$bits.exe 2>/dev/null | head -n1)
zip=$(ls -t "$tree"/packages/CorvanTelvista-*-win$bits.zip 2>/dev/null | head -n1)
if [[ -z "$installer" || -z "$zip" || "$tree/lumetra.exe" -nt "$installer" || "$tree/lumetra.exe" -nt "$zip" ]]; then
  (cd "$tree" && cpack >"$work/cpack.log" 2>&1)
  installer=$(ls -t "$tree"/packages/CorvanTelvista-*-win$bits.exe 2>/dev/null | head -n1)
  zip=$(ls -t "$tree"/packages/CorvanTelvista-*-win$bits.zip 2>/dev/null | head -n1)
fi
check "the installer and the zip exist" test -s "$installer" -a -s "$zip"
[[ -s "$installer" && -s "$zip" ]] || done_with
echo "  report: $(basename "$installer") $(stat -c %s "$installer") bytes, $(basename "$zip") $(stat -c %s "$zip") bytes"
version=$(python3 "$root/packaging/version_resource.py" "$tree/lumetra.exe" | sed -n 's/^ProductVersion=//p')
publisher=$(python3 "$root/packaging/version_resource.py" "$tree/lumetra.exe" | sed -n 's/^CompanyName=//p')

echo "-- the zip"
top=$(basename "$zip" .zip)
listing=$(unzip -Z1 "$zip" | grep -v '/$' | LC_ALL=C sort | tr '\n' ' ')
pictures=$(grep -o 'docs/[a-z-]*\.png' "$root/README.md" | LC_ALL=C sort -u | sed "s|^|$top/|" | tr '\n' ' ')
check "it holds the program, the decompressor, the README with its pictures and the licence" \
  test "$listing" = "$top/LICENSE.txt $top/README.md $pictures$top/lumetra.exe $top/lumyvu9.dll "
check "its program is the one built" cmp -s <(unzip -p "$zip" "$top/lumetra.exe") "$tree/lumetra.exe"

echo "-- installer in a fresh prefix"
# A prefix and a Wine server of this check's own; the session's display stays.
export WINEPREFIX="$work/prefix"
# Shortcuts stay inside the prefix: no menu entries in the desktop of the machine.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
boot_start=$SECONDS
"$WINE" wineboot -i >/dev/null 2>&1
"$WINESERVER" -p >/dev/null 2>&1
echo "  report: fresh prefix made in $((SECONDS - boot_start)) s"
trap '"$WINESERVER" -k >/dev/null 2>&1' EXIT
c="$WINEPREFIX/drive_c"
if [[ $bits == 64 ]]; then
  dir="$c/Program Files/Corvan Telvista" sysdir="$c/windows/system32" view=/reg:64
else
  dir="$c/Program Files (x86)/Corvan Telvista" sysdir="$c/windows/syswow64" view=/reg:32
fi
ctl() { "$WINE" "$root/build/win/lumctl.exe" "$@" | tr -d '\r'; return "${PIPESTATUS[0]}"; }
value() {  # key name -> the value's data, empty when there is none
  "$WINE" reg query "$1" /v "$2" $view 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\CorvanTelvista'
drivers32='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Drivers32'
settings='HKLM\SOFTWARE\QUENDA\LUMETRA'
shortcut="$c/ProgramData/Microsoft/Windows/Start Menu/Programs/Corvan Telvista.lnk"
ffmpeg -loglevel error -y -f lavfi -i testsrc=size=176x144:rate=10 -t 1 -c:v rawvideo \
  -pix_fmt yuv410p -vtag YVU9 "$c/clip.avi"
mciplay() { "$WINE" "$tree/mciplay.exe" 'C:\clip.avi' 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }

install_start=$SECONDS
check "silent install exits 0" "$WINE" "$installer" /S
echo "  report: silent install took $((SECONDS - install_start)) s"
for f in lumetra.exe lumyvu9.dll README.md LICENSE.txt docs/live.png uninstall.exe; do
  check "installed: $f" test -s "$dir/$f"
done
check "Start-menu shortcut" test -s "$shortcut"
check "Add/Remove Programs: the name" test "$(value "$uninstall_key" DisplayName)" = "Corvan Telvista"
check "Add/Remove Programs: version $version from the program" test "$(value "$uninstall_key" DisplayVersion)" = "$version"
check "Add/Remove Programs: publisher $publisher from the program" test "$(value "$uninstall_key" Publisher)" = "$publisher"
check "Add/Remove Programs: the uninstaller, quoted" \
  grep -qi 'corvan telvista\\uninstall.exe"$' <<<"$(value "$uninstall_key" UninstallString)"
check "without the decompressor component nothing is registered" test -z "$(value "$drivers32" vidc.YVU9)"
mciplay >"$work/mciplay-none.out"
played=$?
check "and a plain MCI player cannot play the YVU9 clip" test $played -ne 0

# The installed program, started as the shortcut starts it, on the simulated board.
( cd "$dir" && "$WINE" "$dir/lumetra.exe" >/dev/null 2>&1; echo $? >"$work/run.rc" ) &
shows_window() { ctl wait-window QUENDALUMETRA 20000 >/dev/null; }
check "the installed program shows its video window" shows_window
ctl command QUENDALUMETRA 40004 >/dev/null
for _ in $(seq 150); do [[ -s "$work/run.rc" ]] && break; sleep 0.1; done
check "and its Exit ends it with code 0" test "$(cat "$work/run.rc" 2>/dev/null)" = 0
check "it stored its settings" test -n "$(value "$settings" BRIGHTNESS)"

echo "-- the decompressor for every program"
check "silent install with /CODEC exits 0" "$WINE" "$installer" /S /CODEC
check "vidc.YVU9 names lumyvu9.dll in the $bits-bit view" test "$(value "$drivers32" vidc.YVU9)" = lumyvu9.dll
check "the decompressor is in the $bits-bit system folder" cmp -s "$sysdir/lumyvu9.dll" "$tree/lumyvu9.dll"
mciplay >"$work/mciplay-codec.out"
played=$?
check "a plain MCI player in another process plays the YVU9 clip ($(cat "$work/mciplay-codec.out"))" \
  test $played -eq 0

echo "-- silent uninstall"
# The uninstaller copies itself away and returns at once; its copy does the work.
if [[ $bits == 64 ]]; then remove=(); else remove=(/REMOVESETTINGS); fi
uninstall_start=$SECONDS
"$WINE" "$dir/uninstall.exe" /S "${remove[@]}"
for _ in $(seq 300); do [[ -e "$dir" || -n "$(value "$uninstall_key" DisplayName)" ]] || break; sleep 0.1; done
echo "  report: silent uninstall took $((SECONDS - uninstall_start)) s"
check "no file of ours is left in Program Files" test ! -e "$dir"
check "the Uninstall entry is gone" test -z "$(value "$uninstall_key" DisplayName)"
check "the shortcut is gone" test ! -e "$shortcut"
check "the decompressor is unregistered and gone" \
  test -z "$(value "$drivers32" vidc.YVU9)" -a ! -e "$sysdir/lumyvu9.dll"
if [[ $bits == 64 ]]; then
  check "the user's settings stay" test -n "$(value "$settings" BRIGHTNESS)"
else
  check "with /REMOVESETTINGS the user's settings go too" test -z "$(value "$settings" BRIGHTNESS)"
fi
mciplay >"$work/mciplay-removed.out"
played=$?
check "the MCI player cannot play the clip any more" test $played -ne 0
done_with
