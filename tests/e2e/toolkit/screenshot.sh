#!/usr/bin/env bash
# Captures the toolkit's small test window (buttons, a turned and a plain label over a half-transparent
# background) as the X display shows it, over grey and white squares so that what shows
# through the window can be judged. Run under scripts/wine-run.sh, which provides the prefix and display.
# usage: screenshot.sh TOOLKIT_TEST_PROGRAM OUTPUT_FOLDER
set -uo pipefail
[[ $# -eq 2 ]] || { echo "usage: $0 TOOLKIT_TEST_PROGRAM OUTPUT_FOLDER" >&2; exit 2; }
program=$1 out=$2
for tool in xcompmgr xdotool convert display import; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed; run scripts/bootstrap.sh" >&2; exit 1; }
done
mkdir -p "$out" || exit 1
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
shot="$out/toolkit-window-over-root.png"

# 20-pixel squares of white and dark grey (60).
convert -size 40x40 xc:white -fill 'gray(60)' -draw 'rectangle 0,0 19,19' -draw 'rectangle 20,20 39,39' \
  -write mpr:tile +delete -size 1280x1024 tile:mpr:tile "$work/root.png" || { echo "cannot make the root picture" >&2; exit 1; }

# A compositing manager, so that the window's per-pixel alpha blends with what lies under it (without one
# the X server shows the premultiplied pixels as they are, as if over black). It paints the root itself,
# so the squares are shown in an ordinary window beneath the test window instead.
xcompmgr >/dev/null 2>&1 &
compositor_pid=$!
display -geometry +0+0 "$work/root.png" >/dev/null 2>&1 &
backdrop_pid=$!
trap 'kill "$backdrop_pid" "$compositor_pid" 2>/dev/null; rm -rf "$work"' EXIT
sleep 1

# The test program keeps its window up until the flag file appears (a Windows path on Wine's Z: drive).
ZELN_TOOLKIT_SHOW_UNTIL="Z:${work//\//\\}\\captured" \
  "$ZELN_WINE64" "$program" --gtest_filter='UIScreenshotTest.*' &
test_pid=$!

found=0
for _ in $(seq 150); do
  if xdotool search --onlyvisible --name '^Toolkit screenshot$' >/dev/null 2>&1; then found=1; break; fi
  kill -0 "$test_pid" 2>/dev/null || break
  sleep 0.2
done
status=0
if [[ $found -eq 1 ]]; then
  sleep 1  # let the last push reach the display
  import -window root -crop 400x280+0+0 +repage "$shot" || status=1
else
  echo "the test window never showed" >&2
  status=1
fi
touch "$work/captured"
wait "$test_pid" || status=1
[[ $status -eq 0 ]] || exit $status

# The window's background, colour (24, 48, 96) at alpha 128, premultiplied to (12, 24, 48), over the squares:
# source-over gives 12 + 255 * 127 / 255 = 139 (and so on) over white, 12 + 60 * 127 / 255 = 42 over grey.
expect_pixel() {  # x y r g b: the screen pixel within 2 of each channel
  local got
  got=$(convert "$shot" -format "%[fx:int(255*p{$1,$2}.r+0.5)] %[fx:int(255*p{$1,$2}.g+0.5)] %[fx:int(255*p{$1,$2}.b+0.5)]" info:) || return 1
  read -r r g b <<<"$got"
  if (( ${r:-999} - $3 > 2 || $3 - ${r:-999} > 2 || g - $4 > 2 || $4 - g > 2 || b - $5 > 2 || $5 - b > 2 )); then
    echo "pixel ($1, $2) is ($got), expected ($3 $4 $5)" >&2
    return 1
  fi
}
expect_pixel 70 50 139 151 175 || status=1  # the window's background over a white square
expect_pixel 50 50 42 54 78 || status=1     # over a grey one
expect_pixel 10 10 60 60 60 || status=1     # beside the window, the squares themselves
# The panel's half-transparent wash, composited once: (134, 12, 24) at alpha 192 over a white square gives
# 134 + 255 * 63 / 255 = 197 and so on. Each render that composited it again would push it towards opaque red.
expect_pixel 190 140 197 75 87 || status=1
# Where the panel's hidden square was: the background over a grey square, as elsewhere.
expect_pixel 215 140 42 54 78 || status=1
exit $status
