#!/usr/bin/env bash
# One end-to-end scenario of the wizard, run by wine-run.sh inside a fresh prefix on a private display.
# usage: wizard_scenario.sh SCENARIO INSTALLER OUTPUT_DIR STANDIN_EXPLORER MAKER_SITE IME_STANDIN
#   (screenshots are kept in OUTPUT_DIR; STANDIN_EXPLORER is planted beside the installer and records its
#   command line if it ever runs; MAKER_SITE is the site the build gave the links; IME_STANDIN plays a running
#   input method; display_scales needs a screen of 1920 x 1200)
set -euo pipefail
scenario=$1 installer=$2 out=$3 standin_explorer=$4 maker_site=$5 ime_standin=$6
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/wizard-driver.sh
source "$here/../../../scripts/wizard-driver.sh"
rm -rf "$out" && mkdir -p "$out"

failures=0
check() {
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what" >&2; failures=$((failures + 1)); fi
}
at_least() { (( $1 >= $2 )); }
equals() { [[ "$1" == "$2" ]]; }
not() { ! "$@"; }

# Pixel classes, as "RMIN RMAX GMIN GMAX BMIN BMAX".
readonly VERSION_BROWN="150 255 40 130 0 80"   # the version text, 0xCA5100
readonly NEAR_BLACK="0 90 0 90 0 90"          # the result code, 0x0A0A0A
readonly TICK_GREEN="0 130 130 255 0 140"       # the tick of the agreement box
readonly BAR_GREEN="0 60 200 255 0 60"          # the progress bar's fill, 0x00FF00
readonly BUTTON_BLUE="30 90 110 170 170 230"    # the install and finish buttons
readonly BUTTON_GREY="180 215 190 220 195 225"  # the disabled install button

count() { wizard_count_pixels "$@"; }
version_ink() { count "$1" 200 410 320 45 "$VERSION_BROWN"; }
# The progress bar's track: its last five rows, under the percentage; the fill is counted along its middle row.
read -r BAR_X BAR_Y BAR_WIDTH BAR_HEIGHT <<<"$WIZARD_PROGRESS_BAR"
bar_track() { echo "$BAR_X $((BAR_Y + BAR_HEIGHT - 5)) $BAR_WIDTH 5"; }
bar_length() { count "$1" "$BAR_X" $((BAR_Y + BAR_HEIGHT - 3)) "$BAR_WIDTH" 1 "$BAR_GREEN"; }
# The drag strip's rows: a press on its middle or last row drags, one on the row below does not.
read -r _ STRIP_TOP _ STRIP_HEIGHT <<<"$WIZARD_DRAG_STRIP"
readonly STRIP_MIDDLE=$((STRIP_TOP + STRIP_HEIGHT / 2)) STRIP_LAST=$((STRIP_TOP + STRIP_HEIGHT - 1))
readonly BELOW_STRIP=$((STRIP_TOP + STRIP_HEIGHT))
seen_length() { local length=$1; shift; printf '%s\n' "$@" | grep -cx "$length" || true; }  # how many of the lengths after the first equal it

# The installer copied into a folder beside a planted "explorer.exe", which a command "explorer ..." would find
# first; it records its command line in the same folder if it ever runs. The links go to the system's own
# explorer, which hands the address to the browser: the harness's stand-in records it on drive C.
with_planted_explorer() {
  mkdir -p "$out/run"
  cp "$installer" "$out/run/setup.exe"
  cp "$standin_explorer" "$out/run/explorer.exe"
  rm -f "$out/run/explorer-commands.txt" "$ZELN_WINEPREFIX/drive_c/browser-addresses.txt"
  installer="$out/run/setup.exe"
}
planted_explorer_never_ran() { [[ ! -e "$out/run/explorer-commands.txt" ]]; }
opened_addresses() { cat "$ZELN_WINEPREFIX/drive_c/browser-addresses.txt" 2>/dev/null || true; }
wait_for_addresses() {  # count: waits up to 30 s for that many addresses opened
  local _
  for _ in $(seq 150); do
    (( $(opened_addresses | wc -l) >= $1 )) && return 0
    sleep 0.2
  done
  return 1
}
readonly AGREEMENT_PAGE="$maker_site/site/alias__dovevoz/2826/Default.aspx"
readonly RECOMMEND_PAGE="$maker_site/site/alias__dovevoz/2824/Default.aspx#recommend"

# A running input method (the stand-in's window, with the options given), up before the installer looks for
# it; its log lines go to the file named in the first argument. Sets IME_PID.
start_ime_standin() {
  local log=$1 _
  shift
  rm -f "$log"
  "$ZELN_WINE64" "$ime_standin" "$log" "RUDERADOD_MSGWND{28b83e81-2466-47a2-a12d-95bcd38b237e}" "$@" >/dev/null 2>&1 &
  IME_PID=$!
  for _ in $(seq 100); do grep -q ready "$log" 2>/dev/null && break; sleep 0.1; done
}

# The exit code tells the outcome: 0 installed, the result code after a failure, 1602 when the wizard is closed
# before the install ended. Wine hands this script only the low 8 bits of a Windows exit code (1602 arrives as
# 66); the deployment scenarios read whole codes through a Windows launcher.
readonly CLOSED_BY_USER=$((1602 % 256))

finish_and_expect_exit() {  # the code the finish button ends the installer with
  wizard_press FINISH_BUTTON
  if wizard_wait_exit 30; then
    check "the finish button ends the installer with exit code $1" equals "$WIZARD_STATUS" "$1"
  else
    failures=$((failures + 1))
  fi
}

welcome_and_agreement() {
  wizard_start "$installer"
  wizard_shot "$out/welcome.png"
  check "the version text is drawn near y 420" at_least "$(version_ink "$out/welcome.png")" 40
  check "the agreement box starts ticked" at_least "$(count "$out/welcome.png" $(wizard_area AGREEMENT_BOX) "$TICK_GREEN")" 8
  check "the install button starts blue" at_least "$(count "$out/welcome.png" $(wizard_area INSTALL_BUTTON) "$BUTTON_BLUE")" 2000

  wizard_press AGREEMENT_BOX
  wizard_move_to 300 300
  wizard_shot "$out/unticked.png"
  check "unticking empties the box" equals "$(count "$out/unticked.png" $(wizard_area AGREEMENT_BOX) "$TICK_GREEN")" 0
  check "unticking greys the install button" at_least "$(count "$out/unticked.png" $(wizard_area INSTALL_BUTTON) "$BUTTON_GREY")" 2000
  wizard_press INSTALL_BUTTON
  sleep 2
  wizard_shot "$out/ignored.png"
  check "the grey install button ignores a click" wizard_shot_is_page "$out/ignored.png" welcome
  check "no progress bar after the ignored click" equals "$(count "$out/ignored.png" $(bar_track) "195 205 195 205 195 205")" 0

  wizard_press AGREEMENT_BOX
  wizard_move_to 300 300
  wizard_shot "$out/ticked.png"
  check "ticking again shows the tick" at_least "$(count "$out/ticked.png" $(wizard_area AGREEMENT_BOX) "$TICK_GREEN")" 8
  check "ticking again makes the install button blue" \
    at_least "$(count "$out/ticked.png" $(wizard_area INSTALL_BUTTON) "$BUTTON_BLUE")" 2000

  wizard_press CLOSE_BUTTON
  wizard_wait_exit 30
  check "the close button on the welcome page ends the installer with the user's exit code" \
    equals "$WIZARD_STATUS" "$CLOSED_BY_USER"
}

window_strip_and_buttons() {
  wizard_start "$installer"
  local x=$WIZARD_X y=$WIZARD_Y
  wizard_drag 300 "$STRIP_MIDDLE" 60 40
  wizard_locate
  check "a drag in the strip moves the window" equals "$WIZARD_X,$WIZARD_Y" "$((x + 60)),$((y + 40))"
  x=$WIZARD_X y=$WIZARD_Y
  wizard_drag 300 "$BELOW_STRIP" 60 40
  wizard_locate
  check "a drag from the row below the strip leaves the window in place" equals "$WIZARD_X,$WIZARD_Y" "$x,$y"

  iconic() { xprop -id "$WIZARD_WINDOW" WM_HINTS | grep -q "Initial state is Iconic"; }
  check "the window starts in the normal state" not iconic
  wizard_press MINIMIZE_BUTTON
  sleep 1
  # With no window manager on the private display, Wine's request to iconify shows only in the hints.
  check "the minimize button minimizes the window" iconic
  xdotool key --window "$WIZARD_WINDOW" alt+F4 2>/dev/null
  wizard_wait_exit 30
  check "Alt+F4 ends the minimized installer with the user's exit code" equals "$WIZARD_STATUS" "$CLOSED_BY_USER"
}

install_to_success() {
  with_planted_explorer
  # The demo install takes well under a second: a running input method that takes 8 s to answer each of the
  # install's two notices holds the bar at 1 % and then at 98 % long enough for the screenshots, which on a
  # machine that emulates 32-bit code and is busy come only every few seconds.
  start_ime_standin "$out/ime-standin.log" --answer-3002-after 8000 --answer-3001-after 8000
  wizard_start "$installer"
  wizard_press AGREEMENT_LINK
  check "the agreement link has the system's explorer open a page" wait_for_addresses 1
  check "that page is the agreement page" equals "$(opened_addresses)" "$AGREEMENT_PAGE"
  wizard_press INSTALL_BUTTON
  # The screenshot that first finds the installing page is kept as the first of the page's screenshots.
  local shots=0 lengths=() length percent deadline=$((SECONDS + 60))
  until wizard_shot "$out/installing-0.png" && wizard_shot_is_page "$out/installing-0.png" installing; do
    (( SECONDS < deadline )) || break
    sleep 0.2
  done
  while wizard_shot_is_page "$out/installing-$shots.png" installing; do
    lengths+=("$(bar_length "$out/installing-$shots.png")")
    shots=$((shots + 1))
    (( shots < 40 )) || break
    sleep 0.3
    wizard_shot "$out/installing-$shots.png" || break
  done
  echo "bar lengths seen: ${lengths[*]}"
  check "the installing page showed a bar" at_least "${#lengths[@]}" 1
  check "the installing page has no version text" equals "$(version_ink "$out/installing-0.png")" 0
  local grew=1 i
  for ((i = 1; i < ${#lengths[@]}; i++)); do (( lengths[i] >= lengths[i - 1] )) || grew=0; done
  check "the green bar only grows" equals "$grew" 1
  local whole=1
  for length in "${lengths[@]}"; do
    percent=$(( (length * 100 + 697) / 698 ))
    (( percent * 698 / 100 == length )) || whole=0
  done
  check "each bar is 698 pixels times a whole percentage" equals "$whole" 1
  check "the bar showed 1 % while the input method was told of the install" at_least "$(seen_length 6 "${lengths[@]}")" 1
  check "and 98 % while it was told the files are in place" at_least "$(seen_length 684 "${lengths[@]}")" 1
  wizard_wait_page success 300
  wizard_shot "$out/success.png"
  check "the success page shows the finish button at (653, 397)" \
    at_least "$(count "$out/success.png" $(wizard_area FINISH_BUTTON) "$BUTTON_BLUE")" 1500
  check "the success page has no version text" equals "$(version_ink "$out/success.png")" 0
  # The agreement link's area went with the welcome page: a click there now runs nothing.
  wizard_press AGREEMENT_LINK
  wizard_press RECOMMEND_LINK
  check "the recommendation link has the system's explorer open a page" wait_for_addresses 2
  sleep 1
  check "two pages opened in all: the agreement page, then the recommendation page" \
    equals "$(opened_addresses)" "$AGREEMENT_PAGE"$'\n'"$RECOMMEND_PAGE"
  check "the explorer planted beside the installer never ran" planted_explorer_never_ran
  finish_and_expect_exit 0
  kill "$IME_PID" 2>/dev/null || true
}

damaged_installer() {
  local damaged="$out/damaged-setup.exe"
  cp "$installer" "$damaged"
  truncate -s -64 "$damaged"
  wizard_start "$damaged"
  wizard_press INSTALL_BUTTON
  # Straight from the welcome page to the failure page: no installing page comes between.
  local seen=""
  for _ in $(seq 100); do
    wizard_shot "$out/after-install.png"
    if wizard_shot_is_page "$out/after-install.png" installing; then seen=installing; break; fi
    if wizard_shot_is_page "$out/after-install.png" failure; then seen=failure; break; fi
    sleep 0.2
  done
  check "the damaged installer goes straight to the failure page" equals "$seen" failure
  wizard_shot "$out/failure.png"
  check "the result code is written downwards from (424, 290)" \
    at_least "$(count "$out/failure.png" 398 288 26 60 "$NEAR_BLACK")" 40
  check "nothing is written above y 288 in that column" equals "$(count "$out/failure.png" 398 250 26 36 "$NEAR_BLACK")" 0
  check "the failure page has no version text" equals "$(version_ink "$out/failure.png")" 0
  finish_and_expect_exit 6
}

# Ending the installer without finishing: Alt+F4 on the welcome page, and the close button in the middle of
# an install, which ends the process at once wherever the install stands. A running input method that never
# answers the install's notice holds the install on its installing page for the second part.
alt_f4() {
  wizard_start "$installer"
  wizard_click 300 300
  xdotool key --window "$WIZARD_WINDOW" alt+F4 2>/dev/null
  wizard_wait_exit 30
  check "Alt+F4 ends the installer with the user's exit code" equals "$WIZARD_STATUS" "$CLOSED_BY_USER"

  local ime_log="$out/ime-standin.log" _
  start_ime_standin "$ime_log" --never-answer-3002
  wizard_start "$installer"
  wizard_press INSTALL_BUTTON
  wizard_wait_page installing 60
  for _ in $(seq 100); do grep -q '^3002' "$ime_log" 2>/dev/null && break; sleep 0.2; done
  check "the install is held at its notice to the input method" grep -q '^3002' "$ime_log"
  wizard_shot "$out/before-close.png"
  check "the installing page is shown when the close button is pressed" \
    wizard_shot_is_page "$out/before-close.png" installing
  wizard_press CLOSE_BUTTON
  check "the close button ends the installer mid-install within 10 s" wizard_wait_exit 10
  check "it ends with the user's exit code" equals "$WIZARD_STATUS" "$CLOSED_BY_USER"
  check "no installer window is left" equals "$(xdotool search --name "$WIZARD_TITLE" 2>/dev/null | wc -l)" 0
  # The log goes only when an install has finished: still there, it shows the install was cut short.
  check "the install did not run to its end (its log is still there)" \
    compgen -G "$WINEPREFIX/drive_c/users/*/AppData/Roaming/ins.log"
  kill "$IME_PID" 2>/dev/null || true
}

# The prefix's display at the given dots per inch: the user's LogPixels, which Wine reads when its server
# starts again (ending the server ends every process of the prefix, as a restart would).
set_display_dpi() {
  "$ZELN_WINE64" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  # The server may have ended by itself after the last program: then there is nothing to end.
  "$wineserver" -k 2>/dev/null || true
  "$wineserver" -w
  WIZARD_DPI=$1
}
readonly wineserver=${ZELN_WINESERVER:-/usr/lib/wine/wineserver}

window_size() { xdotool getwindowgeometry "$WIZARD_WINDOW" 2>/dev/null | sed -n 's/^ *Geometry: //p'; }

# The wizard on displays of 96, 120, 144 and 192 dots per inch (100 to 200 percent), the manifest declaring it
# aware of them: at each, its size and place on the 1920 x 1200 screen, the drag strip, and a whole install
# clicked at the scaled places of the buttons; at 192, the welcome page's pixels are the double-size picture's.
display_scales() {
  local dpi width height x y
  for dpi in 96 120 144 192; do
    set_display_dpi "$dpi"
    wizard_start "$installer" || { failures=$((failures + 1)); continue; }
    width=$((720 * dpi / 96)) height=$((547 * dpi / 96))
    check "at $dpi DPI the window is ${width} x ${height}" equals "$(window_size)" "${width}x${height}"
    check "at $dpi DPI it stands centred on the screen" \
      equals "$WIZARD_X,$WIZARD_Y" "$(((1920 - width) / 2)),$(((1200 - height) / 2))"
    wizard_shot "$out/welcome-$dpi.png"
    check "at $dpi DPI the version text is drawn near y 420" at_least "$(version_ink "$out/welcome-$dpi.png")" 40
    if ((dpi == 192)); then
      check "at 192 DPI the welcome page is the double-size picture, pixel for pixel" \
        equals "$(wizard_differing_pixels "$out/welcome-$dpi.png" "$here/../../../app/res/welcome@2x.png" 0 0 580 400)" 0
    fi
    x=$WIZARD_X y=$WIZARD_Y
    wizard_drag 300 "$STRIP_LAST" 60 40
    wizard_locate
    check "at $dpi DPI a drag from the strip's last row moves the window" \
      equals "$WIZARD_X,$WIZARD_Y" "$((x + 60)),$((y + 40))"
    x=$WIZARD_X y=$WIZARD_Y
    wizard_drag 300 "$BELOW_STRIP" 60 40
    wizard_locate
    check "at $dpi DPI a drag from the row below leaves it in place" equals "$WIZARD_X,$WIZARD_Y" "$x,$y"

    wizard_press INSTALL_BUTTON
    # As long as install_to_success waits. The screen is kept for a look at where the installer stood; one left
    # running is ended with the prefix's server at the next scale, or with the run.
    if ! wizard_wait_page success 300; then
      failures=$((failures + 1))
      import -window root "$out/no-success-$dpi.png" 2>/dev/null || true
      continue
    fi
    wizard_shot "$out/success-$dpi.png"
    check "at $dpi DPI the success page shows the finish button" \
      at_least "$(count "$out/success-$dpi.png" $(wizard_area FINISH_BUTTON) "$BUTTON_BLUE")" 1500
    finish_and_expect_exit 0
  done
}

"$scenario"
(( failures == 0 )) || { echo "$failures check(s) failed; screenshots in $out" >&2; exit 1; }
