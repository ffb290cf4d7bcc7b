#!/usr/bin/env bash
# The README's pictures: scripts/pictures still makes every one of them (here into
# build/pictures-check, never into docs/), and each shows what its name says, coarsely:
# the windows it was cut to, by their size, and the test card's colour bars where the
# picture shows live video or a clip of it. Expects a display and the Wine session.
# Writes "<passed> <failed>" to the file given as $1.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
counts=${1:-/dev/null}
out="$root/build/pictures-check"
rm -rf "$out"

source "$root/scripts/lib/checks.sh"

check "scripts/pictures runs" "$root/scripts/pictures" "$out"

size() { identify -format '%w %h' "$out/$1" 2>/dev/null; }
panel_w=$(identify -format %w "$root/resources/main_panel_normal.bmp")
panel_h=$(identify -format %h "$root/resources/main_panel_normal.bmp")
tuner_w=$(identify -format %w "$root/resources/tuner_panel_normal.bmp")
tuner_h=$(identify -format %h "$root/resources/tuner_panel_normal.bmp")
# At least as large as the windows it must show: the picture (352 x 240 on this board's
# NTSC test card) over the panel, or beside it.
holds() {  # picture, min width, min height
  local w h
  read -r w h <<<"$(size "$1")"
  [[ -n "$h" ]] || return 1
  ((w >= $2 && h >= $3 && w <= 1024 && h <= 768))
}
# Each channel cut at half: the six bars of the test card are six of the eight corners of
# the colour cube, each a few thousand pixels.
bars() {  # picture
  local histogram colour
  histogram=$(convert "$out/$1" -alpha off -channel RGB -threshold 50% -format %c histogram:info: 2>/dev/null)
  for colour in '#FFFF00' '#00FFFF' '#00FF00' '#FF00FF' '#FF0000' '#0000FF'; do
    awk -v c="$colour" '$0 ~ c { n = $1 + 0 } END { exit !(n >= 2000) }' <<<"$histogram" || return 1
  done
}
check "live.png: the picture and the main panel" holds live.png "$panel_w" $((240 + panel_h))
check "live.png: the test card's bars" bars live.png
check "capture-mode.png: the picture and the main panel" holds capture-mode.png "$panel_w" $((240 + panel_h))
check "capture-mode.png: the test card's bars" bars capture-mode.png
check "source-options.png: the picture and the main panel" holds source-options.png "$panel_w" $((240 + panel_h))
differs() {  # picture, picture: in more than a few hundred pixels
  local n
  n=$(compare -metric AE "$out/$1" "$out/$2" null: 2>&1 | cut -d' ' -f1 | cut -d. -f1)
  [[ "$n" =~ ^[0-9]+$ ]] && ((n > 200))
}
check "source-options.png: the options over the picture differ from the plain picture" \
  differs live.png source-options.png
check "playing.png: the picture and the main panel" holds playing.png "$panel_w" $((240 + panel_h))
check "playing.png: the clip of the test card" bars playing.png
check "tuner.png: the picture and the tuner panel" holds tuner.png 352 $((240 > tuner_h ? 240 : tuner_h))
check "tuner.png: wider than the picture alone, by the tuner panel" holds tuner.png $((352 + tuner_w / 2)) 240
check "video-source.png: the picture and the dialog" holds video-source.png 352 240

echo "$pass $fail" >"$counts"
echo "pictures: $pass passed, $fail failed"
