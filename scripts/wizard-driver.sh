# Drives the installer wizard on an X display like a person would, and reads its pages back from
# screenshots. Sourced by `make run` and by the end-to-end tests, inside a prefix made by wine-run.sh
# (WINEPREFIX, DISPLAY and ZELN_WINE64 set). Coordinates are the window's own logical grid: (0, 0) is its
# top-left corner, 720 x 547 its size. The places of the controls are the wizard's own, "x y width height" in
# WIZARD_INSTALL_BUTTON, WIZARD_FINISH_BUTTON, WIZARD_CLOSE_BUTTON, WIZARD_MINIMIZE_BUTTON,
# WIZARD_AGREEMENT_BOX, WIZARD_AGREEMENT_LINK, WIZARD_RECOMMEND_LINK, WIZARD_PROGRESS_BAR and WIZARD_DRAG_STRIP,
# from the file the build writes from the program's constants (ZELN_WIZARD_LAYOUT: build/native/app/wizard-layout.sh).
# On a display of WIZARD_DPI dots per inch (96 unless set) the window is that grid times WIZARD_DPI / 96 in
# screen pixels, and the functions scale every coordinate and rectangle they are given the same way.
# Every function answers by its status and is safe to call under `set -e`.

readonly WIZARD_TITLE="泽尔恩输入法 安装向导"
WIZARD_PID="" WIZARD_WINDOW="" WIZARD_X=0 WIZARD_Y=0 WIZARD_STATUS=""
WIZARD_DPI=${WIZARD_DPI:-96}

wizard_fail() { echo "wizard: $*" >&2; return 1; }

# shellcheck source=/dev/null
source "${ZELN_WIZARD_LAYOUT:?the layout of the wizard: wizard-layout.sh of the native build}"
# The rectangle of a control ("x y width height"), by its name in the layout: INSTALL_BUTTON, CLOSE_BUTTON, ...
wizard_area() { local name="WIZARD_$1"; echo "${!name:?no control $1 in the layout}"; }
# A click in the middle of a control.
wizard_press() {
  local x y width height
  read -r x y width height <<<"$(wizard_area "$1")"
  wizard_click $((x + width / 2)) $((y + height / 2))
}

# A length of the grid in screen pixels at WIZARD_DPI, truncated as the wizard truncates it.
wizard_px() { echo $(($1 * WIZARD_DPI / 96)); }

# Starts the installer in the background and waits up to 60 s for its window on the welcome page.
wizard_start() {
  "$ZELN_WINE64" "$1" >/dev/null 2>&1 &
  WIZARD_PID=$!
  wizard_find_window welcome
}

# wizard_find_window [PAGE]: waits up to 60 s, while the program started as WIZARD_PID runs, for a window with
# the installer's title (the wizard or its usage box), showing PAGE when one is given; its id in WIZARD_WINDOW.
wizard_find_window() {
  local _
  for _ in $(seq 300); do
    WIZARD_WINDOW=$(xdotool search --onlyvisible --name "$WIZARD_TITLE" 2>/dev/null | head -1 || true)
    if [[ -n "$WIZARD_WINDOW" ]] && wizard_locate && { [[ -z ${1:-} ]] || wizard_is_page "$1"; }; then return 0; fi
    kill -0 "$WIZARD_PID" 2>/dev/null || wizard_fail "the installer ended before its window showed" || return 1
    sleep 0.2
  done
  wizard_fail "no installer window${1:+ on its $1 page} within 60 s"
}

# Reads where the window stands on the screen.
wizard_locate() {
  local geometry
  geometry=$(xdotool getwindowgeometry --shell "$WIZARD_WINDOW" 2>/dev/null) || return 1
  WIZARD_X=$(sed -n 's/^X=//p' <<<"$geometry")
  WIZARD_Y=$(sed -n 's/^Y=//p' <<<"$geometry")
  [[ -n "$WIZARD_X" && -n "$WIZARD_Y" ]]
}

wizard_move_to() {
  xdotool mousemove "$((WIZARD_X + $(wizard_px "$1")))" "$((WIZARD_Y + $(wizard_px "$2")))"
  sleep 0.2
}

# A left click at a point of the window: the pointer comes to rest there first, as a hand would.
wizard_click() {
  wizard_move_to "$1" "$2"
  xdotool click 1
  sleep 0.5
}

# Presses at one point of the window, moves by (dx, dy) screen pixels with the button held, releases.
wizard_drag() {
  wizard_move_to "$1" "$2"
  xdotool mousedown 1
  sleep 0.3
  local step x y
  x=$((WIZARD_X + $(wizard_px "$1"))) y=$((WIZARD_Y + $(wizard_px "$2")))
  for step in 1 2 3 4 5; do
    xdotool mousemove "$((x + $3 * step / 5))" "$((y + $4 * step / 5))"
    sleep 0.1
  done
  xdotool mouseup 1
  sleep 0.5
}

# Saves the screen's rectangle where the window stands, 720 x 547 at 96 DPI (the screen itself with a second
# path).
wizard_shot() {
  local screen=${2:-}
  local whole
  whole=$(mktemp --suffix .png)
  import -window root "$whole" 2>/dev/null || { rm -f "$whole"; return 1; }
  convert "$whole" -crop "$(wizard_px 720)x$(wizard_px 547)+$WIZARD_X+$WIZARD_Y" +repage "$1"
  if [[ -n "$screen" ]]; then mv "$whole" "$screen"; else rm -f "$whole"; fi
}

# "R G B" of a pixel of a screenshot, given on the grid.
wizard_pixel() {
  local x y
  x=$(wizard_px "$2") y=$(wizard_px "$3")
  convert "$1" -format "%[fx:int(255*p{$x,$y}.r)] %[fx:int(255*p{$x,$y}.g)] %[fx:int(255*p{$x,$y}.b)]" info:
}

# How many pixels of the rectangle (x, y, width, height) on the grid of a screenshot have channels in the
# ranges "RMIN RMAX GMIN GMAX BMIN BMAX".
wizard_count_pixels() {
  local ranges
  read -r -a ranges <<<"$6"
  convert "$1" -crop "$(wizard_px "$4")x$(wizard_px "$5")+$(wizard_px "$2")+$(wizard_px "$3")" +repage -depth 8 txt:- |
    awk -F'[(),]+' -v r0="${ranges[0]}" -v r1="${ranges[1]}" -v g0="${ranges[2]}" -v g1="${ranges[3]}" \
        -v b0="${ranges[4]}" -v b1="${ranges[5]}" \
        'NR > 1 && $3 >= r0 && $3 <= r1 && $4 >= g0 && $4 <= g1 && $5 >= b0 && $5 <= b1 { n++ } END { print n + 0 }'
}

# How many pixels of the rectangle (x, y, width, height) on the grid of a screenshot differ from the same
# rectangle of a picture of the page at the screenshot's scale (laid on black, as the window is on the screen).
wizard_differing_pixels() {
  local geometry shown expected
  geometry="$(wizard_px "$5")x$(wizard_px "$6")+$(wizard_px "$3")+$(wizard_px "$4")"
  shown=$(mktemp --suffix .png) expected=$(mktemp --suffix .png)
  convert "$1" -crop "$geometry" +repage "$shown"
  convert "$2" -background black -flatten -crop "$geometry" +repage "$expected"
  compare -metric AE -fuzz 1% "$shown" "$expected" null: 2>&1 || true
  rm -f "$shown" "$expected"
}

# Whether a pixel is close to a colour "R G B" (each channel within 40).
wizard_pixel_near() {
  local r g b want_r want_g want_b difference
  read -r r g b <<<"$(wizard_pixel "$1" "$2" "$3")"
  read -r want_r want_g want_b <<<"$4"
  for difference in $((r - want_r)) $((g - want_g)) $((b - want_b)); do
    (( difference <= 40 && difference >= -40 )) || return 1
  done
}

# The page a screenshot shows, told by pixels only that page has there: inside solid shapes, away from their
# edges, so that they hold at every scale.
wizard_shot_is_page() {
  local shot=$1
  case "$2" in
    welcome) wizard_pixel_near "$shot" 302 72 "46 126 195" && wizard_pixel_near "$shot" 290 60 "61 140 209" ;;
    installing) wizard_pixel_near "$shot" 302 72 "255 255 255" && wizard_pixel_near "$shot" 150 60 "255 255 255" ;;
    success) wizard_pixel_near "$shot" 150 60 "46 158 91" && wizard_pixel_near "$shot" 140 70 "46 158 91" ;;
    failure) wizard_pixel_near "$shot" 302 72 "224 72 72" && wizard_pixel_near "$shot" 300 80 "224 72 72" ;;
    *) return 1 ;;
  esac
}

wizard_is_page() {
  local shot
  shot=$(mktemp --suffix .png)
  wizard_shot "$shot" && wizard_shot_is_page "$shot" "$1"
  local status=$?
  rm -f "$shot"
  return $status
}

# Waits up to the given seconds (default 120) for a page.
wizard_wait_page() {
  local deadline=$((SECONDS + ${2:-120}))
  while (( SECONDS < deadline )); do
    wizard_is_page "$1" && return 0
    kill -0 "$WIZARD_PID" 2>/dev/null || wizard_fail "the installer ended while waiting for the $1 page" || return 1
    sleep 0.3
  done
  wizard_fail "no $1 page within ${2:-120} s"
}

# Waits up to the given seconds (default 30) for the installer to end; its exit status in WIZARD_STATUS.
wizard_wait_exit() {
  local deadline=$((SECONDS + ${1:-30}))
  while kill -0 "$WIZARD_PID" 2>/dev/null; do
    (( SECONDS < deadline )) || { wizard_fail "the installer is still running after ${1:-30} s"; return 1; }
    sleep 0.2
  done
  WIZARD_STATUS=0
  wait "$WIZARD_PID" || WIZARD_STATUS=$?
}
