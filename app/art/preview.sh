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

# The places of the controls, written by the native build from the program's own constants.
# shellcheck source=/dev/null
source "${ZELN_WIZARD_LAYOUT:-$HERE/../../build/native/app/wizard-layout.sh}"

# Layers for one preview, each an image placed at a window position.
layers=()
on() { layers+=("(" "$1" ")" -geometry "+$2+$3" -composite); }
res() { on "$RES/$1" "$2" "$3"; }
# A picture at a control's top-left corner, the control named as in the layout (INSTALL_BUTTON, ...).
control() { local name="WIZARD_$2" x y _; read -r x y _ _ <<<"${!name}"; res "$1" "$x" "$y"; }
read -r bar_x bar_y _ _ <<<"$WIZARD_PROGRESS_BAR"

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

control install.png INSTALL_BUTTON; control close.png CLOSE_BUTTON; control minimize.png MINIMIZE_BUTTON
control box-ticked.png AGREEMENT_BOX
on "$WORK/version.png" "$version_x" 420
compose welcome.png welcome.png

control install-disabled.png INSTALL_BUTTON; control close-hot.png CLOSE_BUTTON
control minimize-hot.png MINIMIZE_BUTTON; control box.png AGREEMENT_BOX
on "$WORK/version.png" "$version_x" 420
compose welcome.png welcome-unticked.png

convert -size 698x30 xc:none -fill '#C8C8C8' -draw 'rectangle 0,25 697,29' -fill '#00FF00' \
    -draw 'rectangle 0,25 313,29' "$WORK/bar.png"
control close.png CLOSE_BUTTON; control minimize.png MINIMIZE_BUTTON
on "$WORK/bar.png" "$bar_x" "$bar_y"; on "$WORK/percent.png" $((bar_x + 294)) "$bar_y"
compose installing.png installing.png

control finish.png FINISH_BUTTON; control close.png CLOSE_BUTTON; control minimize.png MINIMIZE_BUTTON
compose success.png success.png

control finish.png FINISH_BUTTON; control close.png CLOSE_BUTTON; control minimize.png MINIMIZE_BUTTON
compose success-restart.png success-restart.png

for page in failure-busy failure-code failure; do
    control finish.png FINISH_BUTTON; control close.png CLOSE_BUTTON; control minimize.png MINIMIZE_BUTTON
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
