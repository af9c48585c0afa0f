#!/usr/bin/env bash
# Renders every picture of the installer wizard from shapes and text into app/res/:
# the page pictures, buttons and boxes (PNG resources 129-146), each twice: at its own size (NAME.png) and at
# twice that size for displays scaled above 100 percent (NAME@2x.png, the same picture drawn on a grid of
# twice the pixels, not an enlargement); and the application icon (139).
# The outputs are committed; the build never runs this script. Run it again after changing any picture.
#
#   app/art/make-art.sh [OUTPUT_DIR]        (default: app/res beside this folder)
#
# Text is shaped by pango through ImageMagick. Mongolian is set in Noto Sans Mongolian and turned a quarter
# turn clockwise, so each line becomes a column read top to bottom and columns follow each other left to
# right; Chinese is set in Noto Sans CJK SC, Latin in Noto Sans.
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
OUT=${1:-$HERE/../res}
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)

# --- tools --------------------------------------------------------------------------------------------------

need_packages=()
command -v convert >/dev/null 2>&1 || need_packages+=(imagemagick)
command -v python3 >/dev/null 2>&1 || need_packages+=(python3)
formats=$(convert -list format 2>/dev/null || true)
families=$(fc-list : family 2>/dev/null || true)
grep -q '^ *PANGO' <<<"$formats" || need_packages+=(libmagickcore-6.q16-6-extra)
grep -q 'Noto Sans Mongolian' <<<"$families" || need_packages+=(fonts-noto-core)
grep -q 'Noto Sans CJK SC' <<<"$families" || need_packages+=(fonts-noto-cjk)
if ((${#need_packages[@]})); then
    echo "installing ${need_packages[*]}" >&2
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need_packages[@]}" >/dev/null
    fc-cache -f >/dev/null
fi

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# --- palette and type -------------------------------------------------------------------------------------

BLUE='#348CD6'        # brand blue (52, 140, 214): border, sidebar, rules, buttons
BLUE_DARK='#2170B5'
BLUE_LIGHT='#4A9BE0'
INK='#1F2D3D'         # headings
TEXT='#4B5563'        # body text
MUTED='#8A94A3'       # captions
GREEN='#2E9E5B'
RED='#E04848'
LINE='#D5DAE1'
GREY_BUTTON='#C3C9D1'

MONGOL_FONT='Noto Sans Mongolian'
CJK_FONT='Noto Sans CJK SC'
LATIN_FONT='Noto Sans'

NN=$'\u202f'          # narrow no-break space: joins a Mongolian case suffix to its word

# Texts. Mongolian words are joined to their suffixes with NN as Mongolian spelling requires.
T_PRODUCT="ᠮᠣᠩᠭᠣᠯ ᠣᠷᠣᠭᠤᠯᠬᠤ ᠠᠷᠭ᠎ᠠ"                 # Mongolian input method
T_INSTALL="ᠤᠭᠰᠠᠷᠬᠤ"                                   # install
T_FINISH="ᠳᠠᠭᠤᠰᠬᠤ"                                    # finish
T_GUIDE="ᠤᠭᠰᠠᠷᠬᠤ ᠵᠢᠭᠠᠪᠤᠷᠢ"                            # installation guide
T_INSTALLING="ᠤᠭᠰᠠᠷᠴᠤ ᠪᠠᠶᠢᠨ᠎ᠠ"                         # installing
T_DONE="ᠤᠭᠰᠠᠷᠴᠤ ᠳᠠᠭᠤᠰᠪᠠ"                              # installation finished
T_READY="ᠣᠳᠣ ᠬᠡᠷᠡᠭᠯᠡᠵᠦ ᠪᠣᠯᠣᠨ᠎ᠠ"                          # ready to use now
T_FAILED="ᠤᠭᠰᠠᠷᠬᠤ ᠠᠮᠵᠢᠯᠲᠠ ᠦᠭᠡᠢ"                         # installation failed
T_RETRY="ᠳᠠᠬᠢᠨ ᠲᠤᠷᠰᠢᠨ᠎ᠠ${NN}ᠤᠤ"                         # please try again
T_IN_USE="ᠣᠷᠣᠭᠤᠯᠬᠤ ᠠᠷᠭ᠎ᠠ ᠬᠡᠷᠡᠭᠯᠡᠭᠳᠡᠵᠦ ᠪᠠᠶᠢᠨ᠎ᠠ"             # the input method is in use
T_RESTART="ᠳᠠᠬᠢᠨ ᠡᠬᠢᠯᠡᠭᠦᠯᠦᠭᠡᠳ ᠲᠤᠷᠰᠢᠨ᠎ᠠ${NN}ᠤᠤ"            # restart the computer and try again
T_AFTER_RESTART="ᠳᠠᠬᠢᠨ ᠡᠬᠢᠯᠡᠭᠦᠯᠦᠭᠡᠳ ᠳᠠᠭᠤᠰᠭᠠᠨ᠎ᠠ${NN}ᠤᠤ"      # restart the computer to finish
T_CODE="ᠠᠯᠳᠠᠭ᠎ᠠ${NN}ᠶᠢᠨ ᠺᠣᠳ᠋ ᠄"                       # error code:
T_AGREE="ᠤᠩᠰᠢᠭᠠᠳ ᠵᠥᠪᠰᠢᠶᠡᠷᠡᠪᠡ ᠄"                        # read and agreed:
T_AGREEMENT="ᠬᠡᠷᠡᠭᠯᠡᠭᠴᠢ${NN}ᠶᠢᠨ ᠭᠡᠷ᠎ᠡ"                  # user agreement
T_MORE="ᠪᠤᠰᠤᠳ ᠪᠦᠲᠦᠭᠡᠯ"                                 # other products
T_FAST="ᠬᠤᠷᠳᠤᠨ"                                       # fast
T_ACCURATE="ᠵᠥᠪ"                                      # accurate
T_HANDY="ᠳᠥᠭᠦᠮ"                                        # convenient
T_ELEGANT="ᠭᠣᠶᠤ"                                       # elegant
T_TYPE_LATIN="ᠯᠠᠲᠢᠨ ᠦᠰᠦᠭ${NN}ᠢᠶᠡᠷ ᠪᠢᠴᠢᠨ᠎ᠡ"               # type with Latin letters
T_PICK_NUMBER="ᠲᠣᠭ᠎ᠠ${NN}ᠪᠠᠷ ᠰᠣᠩᠭᠣᠨ᠎ᠠ"                  # choose by number
T_SWITCH="ᠣᠷᠣᠭᠤᠯᠬᠤ ᠠᠷᠭ᠎ᠠ ᠰᠣᠯᠢᠬᠤ"                        # switch the input method
T_HOW_TO="ᠬᠡᠷᠡᠭᠯᠡᠬᠦ ᠠᠷᠭ᠎ᠠ"                               # how to use it

# --- primitives --------------------------------------------------------------------------------------------

im() { convert "$@"; }

# Every picture is described on the grid of its own size and drawn S times finer (S = 1, then 2; set by
# render_pictures). Layers are placed by whole pixels, so a position scales by S; a -draw coordinate names a
# pixel's centre, so it scales by S about the first pixel's corner: u -> S u + (S - 1) / 2 (the AFFINE prefix,
# which scales stroke widths too). Text is set at S times the density, so a point size needs no change.
S=1
SUFFIX=""
AFFINE=""
px() { echo $(($1 * S)); }                                          # a whole length, scaled
fx() { awk -v value="$1" -v scale="$S" 'BEGIN { printf "%g", value * scale }'; }   # a decimal one
density() { echo $((72 * S)); }

# Writes a PNG of 8-bit RGBA without time stamps, so a second run gives the same bytes.
save_png() { # SOURCE... OUTPUT
    local out=${*: -1}
    im "${@:1:$#-1}" -strip -depth 8 -define png:exclude-chunks=date,time PNG32:"$out"
}

tmpfile() { mktemp -p "$WORK" XXXXXXXX.png; }

# Mongolian column: renders TEXT as one vertical column. The image keeps pango's full line height across
# the column (so columns of one size line up), trimmed to the ink along it. Prints the file name.
mongol() { # SIZE COLOUR TEXT [underline]
    local size=$1 colour=$2 text=$3 extra=""
    [[ ${4:-} == underline ]] && extra=' underline="single"'
    local raw f geometry
    raw=$(tmpfile)
    f=$(tmpfile)
    im -background none -density "$(density)" \
        pango:"<span font=\"$MONGOL_FONT $size\" foreground=\"$colour\"$extra>$text</span>" -rotate 90 "$raw"
    geometry=$(im "$raw" -format '%@' info:)          # WxH+X+Y of the ink
    local width height top
    width=$(im "$raw" -format '%w' info:)
    height=${geometry#*x}; height=${height%%+*}
    top=${geometry##*+}
    im "$raw" -crop "${width}x${height}+0+${top}" +repage "$f"
    echo "$f"
}

# Horizontal text trimmed to its ink. Prints the file name.
htext() { # FONT SIZE COLOUR WEIGHT TEXT
    local f
    f=$(tmpfile)
    im -background none -density "$(density)" \
        pango:"<span font=\"$1 $2\" foreground=\"$3\" weight=\"$4\">$5</span>" -trim +repage "$f"
    echo "$f"
}

width_of() { im "$1" -format '%w' info:; }
height_of() { im "$1" -format '%h' info:; }

# A Mongolian column's left edge, in pixels of the picture, for a column centred on x: the stem of the script
# sits about one em from the left of pango's line box.
column_left() { px $(($1 - $2)); }

# Composition: each page is its frame plus a list of layers placed at absolute positions: `place` at a
# position on the picture's own grid, `place_px` at one in pixels of the picture being drawn.
layers=()
place_px() { layers+=("(" "$1" ")" -geometry "+$2+$3" -composite); }
place() { place_px "$1" "$(px "$2")" "$(px "$3")"; }

# Places a Mongolian column centred on x, starting at y.
place_column() { # X Y SIZE COLOUR TEXT [underline]
    local f
    f=$(mongol "$3" "$4" "$5" "${6:-}")
    place_px "$f" "$(column_left "$1" "$3")" "$(px "$2")"
}

# Places a Mongolian column centred on x whose ink ends at y.
place_column_ending() { # X BOTTOM SIZE COLOUR TEXT
    local f
    f=$(mongol "$3" "$4" "$5")
    place_px "$f" "$(column_left "$1" "$3")" $(($(px "$2") - $(height_of "$f")))
}

# Places horizontal text centred on x with its ink top at y.
place_text_centred() { # X Y FONT SIZE COLOUR WEIGHT TEXT
    local f
    f=$(htext "$3" "$4" "$5" "$6" "$7")
    place_px "$f" $(($(px "$1") - $(width_of "$f") / 2)) "$(px "$2")"
}

# --- the emblem --------------------------------------------------------------------------------------------
# An original mark: a rounded tile holding a white vertical stroke, crowned by a diamond, with two teeth
# on its left and a foot swinging right, the way a word of Mongolian script hangs from its stem.

GLYPH="fill white stroke none
path 'M 256,78 L 300,122 L 256,166 L 212,122 Z'
path 'M 234,182 L 278,182 L 278,352 Q 278,392 318,404 L 350,414 L 350,444 L 304,434 Q 234,418 234,352 Z'
path 'M 234,214 L 234,254 L 168,288 L 168,248 Z'
path 'M 234,290 L 234,330 L 168,364 L 168,324 Z'"

EMBLEM=$WORK/emblem.png             # blue tile, white mark (icon, logo)
EMBLEM_WHITE=$WORK/emblem-white.png # white tile, blue mark (on the blue sidebar)
im -size 512x512 xc:none \
    \( -size 480x480 gradient:"$BLUE_LIGHT"-"$BLUE_DARK" -alpha set \
       \( -size 480x480 xc:none -fill white -draw 'roundrectangle 0,0 479,479 112,112' \) \
       -compose DstIn -composite \) -geometry +16+16 -compose Over -composite \
    -draw "$GLYPH" "$EMBLEM"
im -size 512x512 xc:none -fill white -draw 'roundrectangle 16,16 495,495 112,112' \
    \( -size 512x512 xc:none -draw "$GLYPH" -fill "$BLUE" -colorize 100 \) -composite "$EMBLEM_WHITE"

emblem_at() { # SOURCE SIZE -> file
    local f size
    f=$(tmpfile)
    size=$(px "$2")
    im "$1" -filter Lanczos -resize "${size}x${size}" "$f"
    echo "$f"
}

# The watermark: the mark alone, large and very pale, laid into the content area (x 115..708, y 11..535)
# so that it runs off the bottom edge.
watermark() { # OUTPUT
    im -size "$(px 594)x$(px 525)" xc:none \
        \( -size 512x512 xc:none -draw "$GLYPH" -fill "$BLUE" -colorize 100 -filter Lanczos \
           -resize "$(px 340)x$(px 340)" -channel A -evaluate multiply 0.07 +channel \) \
        -geometry "+$(px 214)+$(px 254)" -composite "$1"
}

# --- frames -----------------------------------------------------------------------------------------------

frame() { # plain|dashed OUTPUT
    python3 "$HERE/frame.py" "$1" "$S" "$WORK/frame.rgba"
    im -size "$(px 720)x$(px 547)" -depth 8 rgba:"$WORK/frame.rgba" "$2"
}

# Starts a page: the frame, the sidebar's emblem and vertical title, and the strip's caption.
begin_page() { # plain|dashed CAPTION watermark|none
    layers=()
    BASE=$WORK/frame-$1.png
    if [[ $3 == watermark ]]; then place "$WORK/watermark.png" 115 11; fi
    place "$(emblem_at "$EMBLEM_WHITE" 42)" 24 30
    place_column 45 96 19 white "$T_PRODUCT"
    place "$(dot 5 '#A9C4DE')" 95 44
    place_column 97 60 15 "$MUTED" "$2"
    place "$(maker_mark)" 38 452
}

# The maker's name at the foot of the sidebar, turned like the Mongolian title above it.
maker_mark() {
    local f
    f=$(tmpfile)
    im -background none -density "$(density)" \
        pango:"<span font=\"$LATIN_FONT 11\" foreground=\"#FFFFFF\" weight=\"600\" letter_spacing=\"1200\">ZELNSOFT</span>" \
        -trim +repage -rotate 90 -channel A -evaluate multiply 0.7 +channel "$f"
    echo "$f"
}

# A small filled circle of diameter D.
dot() { # D COLOUR
    local f
    f=$(tmpfile)
    im -size "$(px "$1")x$(px "$1")" xc:none -fill "$2" \
        -draw "$AFFINE circle $((($1 - 1) / 2)),$((($1 - 1) / 2)) $((($1 - 1) / 2)),0" "$f"
    echo "$f"
}

end_page() { # OUTPUT
    save_png "$BASE" -compose Over "${layers[@]}" "$1"
}

# --- small pictures -----------------------------------------------------------------------------------------

# A vertical push button: rounded body with a soft top highlight and a white Mongolian word.
button() { # WIDTH HEIGHT TOP_COLOUR BOTTOM_COLOUR WORD OUTPUT
    local w=$1 h=$2 word size
    word=$(mongol 19 white "$5")
    size="$(px "$w")x$(px "$h")"
    save_png -size "$size" xc:none \
        \( -size "$size" gradient:"$3"-"$4" -alpha set \
           \( -size "$size" xc:none -fill white -draw "$AFFINE roundrectangle 0,0 $((w - 1)),$((h - 1)) 9,9" \) \
           -compose DstIn -composite \) -compose Over -composite \
        \( "$word" \) -gravity center -geometry "+$(px 1)+0" -composite "$6"
}

# A 35 x 30 title-bar button: an optional filled background and a centred cross or bar.
title_button() { # cross|bar BACKGROUND FOREGROUND OUTPUT
    local shape
    if [[ $1 == cross ]]; then
        shape="line 12.5,10 22.5,20 line 22.5,10 12.5,20"
    else
        shape="line 12.5,15.5 22.5,15.5"
    fi
    save_png -size "$(px 35)x$(px 30)" "xc:$2" -stroke "$3" -strokewidth 1.6 -fill none -draw "$AFFINE $shape" "$4"
}

# A 16 x 16 tick box: white with a grey rim, optionally ticked in green.
tick_box() { # empty|ticked OUTPUT
    local tick=""
    [[ $1 == ticked ]] && tick="stroke $GREEN stroke-width 2.2 fill none stroke-linecap round stroke-linejoin round
polyline 3.8,8.2 6.8,11.2 12.2,4.8"
    save_png -size "$(px 16)x$(px 16)" xc:none -fill white -stroke '#9AA3AF' -strokewidth 1 \
        -draw "$AFFINE roundrectangle 0.5,0.5 15.5,15.5 2.5,2.5" -draw "$AFFINE $tick" "$2"
}

small_pictures() {
    button 44 160 "$BLUE_LIGHT" "$BLUE_DARK" "$T_INSTALL" "$OUT/install$SUFFIX.png"           # 130
    button 44 160 '#CDD2D9' "$GREY_BUTTON" "$T_INSTALL" "$OUT/install-disabled$SUFFIX.png"     # 145
    button 44 105 "$BLUE_LIGHT" "$BLUE_DARK" "$T_FINISH" "$OUT/finish$SUFFIX.png"              # 138
    title_button cross none '#3C4450' "$OUT/close$SUFFIX.png"                                 # 131
    title_button cross "$RED" white "$OUT/close-hot$SUFFIX.png"                               # 132
    title_button bar none '#3C4450' "$OUT/minimize$SUFFIX.png"                                # 134
    title_button bar '#E5E8EC' '#3C4450' "$OUT/minimize-hot$SUFFIX.png"                       # 135
    tick_box empty "$OUT/box$SUFFIX.png"                                                      # 143
    tick_box ticked "$OUT/box-ticked$SUFFIX.png"                                              # 144
}

# --- the welcome page (129) ---------------------------------------------------------------------------------

welcome_page() {
    begin_page dashed "$T_GUIDE" watermark
    # The maker's logo, centred over the content column left of the agreement box.
    local logo_mark logo_name logo_product logo_width logo_left x word
    logo_mark=$(emblem_at "$EMBLEM" 40)
    logo_name=$(htext "$LATIN_FONT" 25 "$INK" 600 "Zelnsoft")
    logo_product=$(htext "$CJK_FONT" 13 "$MUTED" 400 "泽尔恩输入法")
    logo_width=$(($(px 52) + $(width_of "$logo_name")))
    logo_left=$(($(px 350) - logo_width / 2))
    place_px "$logo_mark" "$logo_left" "$(px 46)"
    place_px "$logo_name" $((logo_left + $(px 52))) "$(px 47)"
    place_px "$logo_product" $((logo_left + $(px 53))) "$(px 75)"
    # Four green words: fast, accurate, convenient, elegant.
    x=242
    for word in "$T_FAST" "$T_ACCURATE" "$T_HANDY" "$T_ELEGANT"; do
        place "$(dot 7 "$GREEN")" $((x - 3)) 146
        place_column "$x" 166 36 "$GREEN" "$word"
        x=$((x + 74))
    done
    place_text_centred 350 360 "$CJK_FONT" 13 "$MUTED" 400 "快速 · 准确 · 便捷 · 美观"
    # The agreement sentence under the box at (587, 74, 16, 16) and the link text in its area (584, 310, 24, 160).
    place_column 595 100 15 "$TEXT" "$T_AGREE"
    place_column 596 316 15 "$BLUE" "$T_AGREEMENT" underline
    end_page "$OUT/welcome$SUFFIX.png"
}

# --- pictures of the input method, used on the installing and success pages ---------------------------------

# A card: white rounded panel with a grey rim and a faint drop shadow. Prints the file name.
card() { # WIDTH HEIGHT
    local f size
    f=$(tmpfile)
    size="$(px $(($1 + 8)))x$(px $(($2 + 8)))"
    im -size "$size" xc:none \
        \( -size "$size" xc:none -fill '#00000022' \
           -draw "$AFFINE roundrectangle 4,6 $(($1 + 3)),$(($2 + 5)) 6,6" -blur "0x$(fx 2.5)" \) -composite \
        -fill white -stroke '#C9D0D9' -strokewidth 1 \
        -draw "$AFFINE roundrectangle 4.5,4.5 $(($1 + 3)).5,$(($2 + 3)).5 5,5" "$f"
    echo "$f"
}

# A candidate window of a vertical Mongolian input method at (x, y): the typed Latin letters on top,
# then numbered candidates as columns. The first candidate is highlighted.
candidate_window() { # X Y TYPED CANDIDATE...
    local x=$1 y=$2 typed=$3
    shift 3
    local width=$((24 + 34 * $#)) height=196
    place "$(card "$width" "$height")" $((x - 4)) $((y - 4))
    place "$(htext "$LATIN_FONT" 13 "$INK" 400 "$typed")" $((x + 12)) $((y + 10))
    place "$(line_h $((width - 16)) "$LINE")" $((x + 8)) $((y + 34))
    local i=0 cx
    for candidate in "$@"; do
        cx=$((x + 29 + 34 * i))
        if ((i == 0)); then place "$(rounded 28 150 '#E3EFFA')" $((cx - 14)) $((y + 40)); fi
        place_text_centred "$cx" $((y + 46)) "$LATIN_FONT" 10 "$MUTED" 400 "$((i + 1))"
        place_column "$cx" $((y + 64)) 17 "$INK" "$candidate"
        i=$((i + 1))
    done
}

line_h() { # LENGTH COLOUR
    local f
    f=$(tmpfile)
    im -size "$(px "$1")x$(px 1)" "xc:$2" "$f"
    echo "$f"
}

rounded() { # WIDTH HEIGHT COLOUR
    local f
    f=$(tmpfile)
    im -size "$(px "$1")x$(px "$2")" xc:none -fill "$3" \
        -draw "$AFFINE roundrectangle 0,0 $(($1 - 1)),$(($2 - 1)) 4,4" "$f"
    echo "$f"
}

# A green arrow from (x1, y1) to (x2, y2) with a filled head. Draws onto a full-page layer.
arrow() { # X1 Y1 X2 Y2
    local f
    f=$(tmpfile)
    python3 - "$1" "$2" "$3" "$4" >"$WORK/arrow.mvg" <<'EOF'
import math, sys
x1, y1, x2, y2 = map(float, sys.argv[1:])
a = math.atan2(y2 - y1, x2 - x1)
head, half = 11.0, 6.0
bx, by = x2 - head * math.cos(a), y2 - head * math.sin(a)
px, py = -math.sin(a) * half, math.cos(a) * half
print(f"stroke-linecap round line {x1:.1f},{y1:.1f} {bx:.1f},{by:.1f}")
print(f"stroke none polygon {x2:.1f},{y2:.1f} {bx + px:.1f},{by + py:.1f} {bx - px:.1f},{by - py:.1f}")
EOF
    im -size "$(px 720)x$(px 547)" xc:none -fill "$GREEN" -stroke "$GREEN" -strokewidth 2.4 \
        -draw "$AFFINE $(cat "$WORK/arrow.mvg")" "$f"
    place "$f" 0 0
}

# --- the installing page (137) ------------------------------------------------------------------------------

installing_page() {
    begin_page plain "$T_INSTALLING" none
    place_column 160 132 22 "$INK" "$T_HOW_TO"
    candidate_window 204 180 "mongol" "ᠮᠣᠩᠭᠣᠯ" "ᠮᠣᠩᠭᠣᠯᠴᠤᠳ" "ᠮᠣᠩᠭᠣᠯᠵᠢᠨ"
    arrow 360 232 280 200
    place_column 366 238 15 "$TEXT" "$T_TYPE_LATIN"
    candidate_window 424 180 "bichig" "ᠪᠢᠴᠢᠭ" "ᠪᠢᠴᠢᠭᠴᠢ" "ᠪᠢᠴᠢᠯᠭᠡ"
    arrow 582 232 536 232
    place_column 588 238 15 "$TEXT" "$T_PICK_NUMBER"
    end_page "$OUT/installing$SUFFIX.png"
}

# --- the success pages (136, 146) ---------------------------------------------------------------------------

# The language bar: a small floating tool strip with the input method's mark, its name, a soft-keyboard
# switch and the menu switch.
language_bar() { # X Y
    local x=$1 y=$2 icons
    place "$(card 150 30)" $((x - 4)) $((y - 4))
    place "$(emblem_at "$EMBLEM" 20)" $((x + 6)) $((y + 5))
    place "$(htext "$MONGOL_FONT" 14 "$INK" 400 "ᠮᠣᠩ")" $((x + 34)) $((y + 7))
    place "$(line_v 18 "$LINE")" $((x + 72)) $((y + 6))
    icons=$(tmpfile)
    im -size "$(px 70)x$(px 30)" xc:none -fill none -stroke "$TEXT" -strokewidth 1.2 \
        -draw "$AFFINE roundrectangle 10.5,9.5 28.5,20.5 2,2" \
        -fill "$TEXT" -stroke none \
        -draw "$AFFINE rectangle 13,12 14,13 rectangle 17,12 18,13 rectangle 21,12 22,13 rectangle 25,12 26,13" \
        -draw "$AFFINE rectangle 15,17 24,18" \
        -draw "$AFFINE rectangle 44,10 56,11 rectangle 44,14 56,15 rectangle 44,18 56,19" "$icons"
    place "$(rounded 22 22 '#E3EFFA')" $((x + 115)) $((y + 4))
    place "$icons" $((x + 76)) "$y"
}

line_v() { # LENGTH COLOUR
    local f
    f=$(tmpfile)
    im -size "$(px 1)x$(px "$1")" "xc:$2" "$f"
    echo "$f"
}

# The input method's menu, open below the language bar.
menu() { # X Y
    local x=$1 y=$2 item_y
    place "$(card 118 126)" $((x - 4)) $((y - 4))
    place "$(rounded 110 24 '#E3EFFA')" $((x + 4)) $((y + 6))
    item_y=$((y + 10))
    for item in "输入设置" "软键盘" "字体与外观" "使用帮助" "关于"; do
        place "$(htext "$CJK_FONT" 12 "$INK" 400 "$item")" $((x + 16)) "$item_y"
        item_y=$((item_y + 23))
    done
}

# A key cap with a Latin key name. Prints the file name.
key_cap() { # LABEL
    local f label
    f=$(tmpfile)
    label=$(htext "$LATIN_FONT" 11 "$INK" 500 "$1")
    im -size "$(px 52)x$(px 28)" xc:none -fill '#00000014' -draw "$AFFINE roundrectangle 1,2 50,27 5,5" \
        -fill '#F4F6F8' -stroke '#B9C1CC' -strokewidth 1 -draw "$AFFINE roundrectangle 0.5,0.5 50.5,24.5 5,5" \
        \( "$label" \) -gravity north -geometry "+0+$(px 7)" -composite "$f"
    echo "$f"
}

success_mark() {
    local f
    f=$(tmpfile)
    im -size "$(px 44)x$(px 44)" xc:none -fill "$GREEN" -draw "$AFFINE circle 21.5,21.5 21.5,0.5" \
        -stroke white -strokewidth 3.6 -fill none -draw "$AFFINE polyline 11.5,22.5 18.5,29.5 32,15" "$f"
    echo "$f"
}

# A circular arrow turning clockwise, open at the top with its head at the upper left: the installation
# completes at the next restart. The arc is a polyline of points, since ImageMagick 6 closes a stroked arc,
# ellipse or path with a straight chord.
restart_mark() {
    local f
    f=$(tmpfile)
    python3 - >"$WORK/restart.mvg" <<'EOF'
import math
centre, radius, start, end = 11.5, 7.5, -35, 215    # degrees clockwise from the right
head, half = 4.4, 3.4
def at(angle, r=radius):
    a = math.radians(angle)
    return f"{centre + r * math.cos(a):.2f},{centre + r * math.sin(a):.2f}"
arc = " ".join(at(start + (end - start) * i / 48) for i in range(49))
# The head's base lies across the arc's end, its tip HEAD ahead of the end along the clockwise tangent.
tip = at(end + math.degrees(math.atan2(head, radius)), math.hypot(radius, head))
print(f"push graphic-context fill none stroke-linecap round stroke-linejoin round polyline {arc} pop graphic-context")
print(f"stroke none polygon {tip} {at(end, radius + half)} {at(end, radius - half)}")
EOF
    im -size "$(px 24)x$(px 24)" xc:none -fill "$GREEN" -stroke "$GREEN" -strokewidth 2.2 \
        -draw "$AFFINE $(cat "$WORK/restart.mvg")" "$f"
    echo "$f"
}

# The success page: the tick and "installation finished" with TEXT in the column beside them; an install that
# completes at the next restart also shows the restart mark beside the tick. Both pages keep every place of
# the plain one, since the program gives them the same buttons and link areas.
success_page() { # NAME TEXT [restart]
    begin_page dashed "$T_GUIDE" watermark
    place "$(success_mark)" 136 48
    if [[ ${3:-} == restart ]]; then place "$(restart_mark)" 194 58; fi
    place_column 158 108 24 "$INK" "$T_DONE"
    place_column 206 108 16 "$TEXT" "$2"
    language_bar 268 62
    menu 372 108
    candidate_window 466 262 "sain" "ᠰᠠᠶᠢᠨ" "ᠰᠠᠶᠢᠬᠠᠨ" "ᠰᠠᠶᠢᠰᠢᠶᠠᠯ"
    # The switch between the input method and the keyboard's own letters.
    place "$(key_cap Ctrl)" 272 318
    place_text_centred 298 352 "$LATIN_FONT" 13 "$MUTED" 400 "+"
    place "$(key_cap Shift)" 272 372
    place_column 356 318 15 "$TEXT" "$T_SWITCH"
    place_column 675 74 15 "$BLUE" "$T_MORE" underline
    end_page "$OUT/$1$SUFFIX.png"
}

# --- the failure pages (140, 141, 142) ---------------------------------------------------------------------

failure_mark() {
    local f
    f=$(tmpfile)
    im -size "$(px 56)x$(px 56)" xc:none -fill "$RED" -draw "$AFFINE circle 27.5,27.5 27.5,0.5" \
        -stroke white -strokewidth 4 -draw "$AFFINE line 19,19 36,36 line 36,19 19,36" "$f"
    echo "$f"
}

# Failure pictures share the mark above a heading column; further columns follow to the right.
begin_failure() {
    begin_page plain "$T_GUIDE" none
    place "$(failure_mark)" 284 66
    place_column 318 148 24 "$INK" "$T_FAILED"
}

failure_pages() {
    begin_failure                                                      # 140: the input method stayed busy
    place_column 368 150 20 "$TEXT" "$T_IN_USE"
    place_column 417 150 20 "$TEXT" "$T_RESTART"
    end_page "$OUT/failure-busy$SUFFIX.png"

    begin_failure                                                      # 141: any other result, code follows
    place_column 368 150 20 "$TEXT" "$T_RETRY"
    # The program writes "(code)" downwards from (424, 290) in the column just left of x 424, continuing this
    # column after its colon.
    place_column_ending 417 292 20 "$TEXT" "$T_CODE"
    end_page "$OUT/failure-code$SUFFIX.png"

    begin_failure                                                      # 142: result 1
    place_column 368 150 20 "$TEXT" "$T_RETRY"
    end_page "$OUT/failure$SUFFIX.png"
}

# --- every picture at one scale -----------------------------------------------------------------------------

render_pictures() { # SCALE SUFFIX
    S=$1
    SUFFIX=$2
    AFFINE="affine $S,0,0,$S,$(awk -v s="$S" 'BEGIN { printf "%g,%g", (s - 1) / 2, (s - 1) / 2 }')"
    frame plain "$WORK/frame-plain.png"
    frame dashed "$WORK/frame-dashed.png"
    watermark "$WORK/watermark.png"
    small_pictures
    welcome_page
    installing_page
    success_page success "$T_READY"                                   # 136
    success_page success-restart "$T_AFTER_RESTART" restart           # 146: completes at the next restart
    failure_pages
}

render_pictures 1 ""
render_pictures 2 "@2x"

# --- the application icon (139) ---------------------------------------------------------------------------
# The sizes Windows asks for at 100 to 200 percent: 16 to 32 for small icons, 32 to 64 and 96 for large ones,
# and 256 for Explorer's largest views (stored compressed, as PNG).

icons=()
for size in 256 96 64 48 40 32 24 20 16; do
    save_png "$EMBLEM" -filter Lanczos -resize "${size}x${size}" "$WORK/icon$size.png"
    icons+=("$WORK/icon$size.png")
done
im "${icons[@]}" "$OUT/installer.ico"

python3 "$HERE/check.py" "$OUT"
echo "pictures written to $OUT"
