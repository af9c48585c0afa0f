#!/usr/bin/env bash
# Lays the buttons, boxes and program-drawn texts over each page picture at the places the wizard uses,
# on a grey desk so the shadow shows, to judge the art as the user will see it.
#
#   app/art/preview.sh [OUTPUT_DIR]        (default: /tmp/zeln-art-preview)
#
# The texts the program draws itself are imitated: the version "v 7.27.1.0" (18 pt, orange-brown, centred
# 10 pixels left of the middle, at y 420), the percentage over the progress bar, and a result code written
# downwards from (424, 290).
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
RES=$HERE/../res
OUT=${1:-/tmp/zeln-art-preview}
mkdir -p "$OUT"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# Layers for one preview, each an image placed at a window position.
layers=()
on() { layers+=("(" "$1" ")" -geometry "+$2+$3" -composite); }
res() { on "$RES/$1" "$2" "$3"; }

# Text as the program draws it: 18 pt at 96 dots per inch is 24 pixels.
convert -background none -density 72 pango:'<span font="DejaVu Sans 24" foreground="#CA5100">v 7.27.1.0</span>' \
    "$WORK/version.png"
version_width=$(convert "$WORK/version.png" -format '%w' info:)
version_x=$(((720 - version_width) / 2 - 10))
convert -background none -density 72 pango:'<span font="DejaVu Sans 24" foreground="#0A0A0A">(6)</span>' \
    -rotate 90 "$WORK/code.png"
code_width=$(convert "$WORK/code.png" -format '%w' info:)
convert -background none -density 72 pango:'<span font="DejaVu Sans 24" foreground="#0A0A0A">45%</span>' \
    "$WORK/percent.png"

compose() { # PAGE OUTPUT
    convert "$RES/$1" -compose Over "${layers[@]}" "$WORK/page.png"
    convert -size 760x587 xc:'#8C96A3' "$WORK/page.png" -geometry +20+20 -composite "$OUT/$2"
    layers=()
}

res install.png 653 193; res close.png 674 11; res minimize.png 638 11; res box-ticked.png 587 74
on "$WORK/version.png" "$version_x" 420
compose welcome.png welcome.png

res install-disabled.png 653 193; res close-hot.png 674 11; res minimize-hot.png 638 11; res box.png 587 74
on "$WORK/version.png" "$version_x" 420
compose welcome.png welcome-unticked.png

convert -size 698x30 xc:none -fill '#C8C8C8' -draw 'rectangle 0,25 697,29' -fill '#00FF00' \
    -draw 'rectangle 0,25 313,29' "$WORK/bar.png"
res close.png 674 11; res minimize.png 638 11; on "$WORK/bar.png" 11 506; on "$WORK/percent.png" 305 506
compose installing.png installing.png

res finish.png 653 397; res close.png 674 11; res minimize.png 638 11
compose success.png success.png

for page in failure-busy failure-code failure; do
    res finish.png 653 397; res close.png 674 11; res minimize.png 638 11
    if [[ $page == failure-code ]]; then on "$WORK/code.png" $((424 - code_width)) 294; fi
    compose "$page.png" "$page.png"
done

convert "$RES/installer.ico" -background none "$WORK/icon-%d.png"
convert -background '#E9ECEF' "$WORK/icon-0.png" "$WORK/icon-1.png" "$WORK/icon-2.png" -gravity center +append \
    "$OUT/icon.png"

montage -background '#E9ECEF' -geometry +6+6 -tile 6x \
    "$RES/install.png" "$RES/install-disabled.png" "$RES/finish.png" \
    "$RES/close.png" "$RES/close-hot.png" "$RES/minimize.png" "$RES/minimize-hot.png" \
    "$RES/box.png" "$RES/box-ticked.png" "$WORK/icon-0.png" "$WORK/icon-1.png" "$WORK/icon-2.png" \
    "$WORK/small.png"
convert "$WORK/small.png" -filter point -resize 200% "$OUT/small.png"

echo "previews written to $OUT"
