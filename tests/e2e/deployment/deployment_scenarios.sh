#!/usr/bin/env bash
# The shipped 32-bit installer run by deployment tools and scripts in a 64-bit prefix (WoW64): each way it is
# started and each way it ends, with the whole exit code read through a Windows launcher, and what it changed
# read back from the prefix.
# usage (inside scripts/wine-run.sh): deployment_scenarios.sh INSTALLER MANIFEST LAUNCHER IME_STANDIN SCREENSHOT_DIR
set -u
readonly installer=$1 manifest=$2 launcher=$3 ime_standin=$4 out=$5
readonly here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/e2e/install/install_checks.sh
source "$here/../install/install_checks.sh"
# shellcheck source=scripts/wizard-driver.sh
source "$here/../../../scripts/wizard-driver.sh"
# shellcheck source=tests/e2e/deployment/launcher.sh
source "$here/launcher.sh"
rm -rf "$out" && mkdir -p "$out"

# The installers as a deployment share holds them: the demo installer and a damaged copy (its trailer cut off).
mkdir -p "$prefix/drive_c/deploy"
cp "$installer" "$prefix/drive_c/deploy/setup.exe"
cp "$installer" "$prefix/drive_c/deploy/damaged.exe" && truncate -s -64 "$prefix/drive_c/deploy/damaged.exe"
readonly setup='C:\deploy\setup.exe' damaged='C:\deploy\damaged.exe'
# Windows of the installer on the display: the wizard and the usage box both carry its title.
installer_windows() { xdotool search --name "$WIZARD_TITLE" 2>/dev/null | wc -l; }
# Wine's reg crashes listing the whole uninstall entry (on its empty values), so single values are read.
nothing_installed() {
  [[ ! -e "$prefix/drive_c/Program Files (x86)/Zelnsoft" ]] || { echo "the install folder is there"; return 1; }
  ! uninstall_entry_names_version || { echo "the uninstall entry is there"; return 1; }
}

# 1. A command line it does not understand: the usage in a message box (none with /quiet or /passive anywhere on
# it), nothing changed, 1639. A /log file that cannot be made: 1622, and no box in an unattended run. A run that
# waited on a box would never end by itself.
usage_for_unknown_option() {
  start_through_launcher "$setup" /silent
  wizard_find_window || return 1
  import -window root "$out/usage.png"
  # The box's default button answers the Enter key.
  xdotool windowfocus --sync "$WIZARD_WINDOW" 2>/dev/null
  xdotool key --window "$WIZARD_WINDOW" Return
  wait_for_exit_code 30 && exit_code_is 1639
}
check "an unknown option shows the usage and exits with 1639" usage_for_unknown_option
run_to_end "$setup" /bogus /quiet
check "an unknown option before /quiet exits with 1639 by itself, without a box" exit_code_is 1639
run_to_end "$setup" /quiet /log
check "/quiet with /log but no file exits with 1639 at once, without a box" exit_code_is 1639
run_to_end "$setup" -QUIET /passive
check "/quiet with /passive exits with 1639" exit_code_is 1639
run_to_end "$setup" /passive /log 'C:\deploy\setup.exe\install.log'
check "a /log file whose folder is a file: /passive exits with 1622 by itself, without a box" exit_code_is 1622
check "none of them installed anything" nothing_installed

# log_is FILE TEXT: the file holds the byte-order mark and exactly these lines (given with \r\n ends).
log_is() {
  cmp -s "$1" <(printf '\xef\xbb\xbf%b' "$2") || { od -c "$1" | head -8; false; }
}

# 2. A damaged installer, unattended: its result code, its /log file says so, and nothing changed.
run_to_end "$damaged" /quiet /log 'C:\deploy logs\damaged.log'
check "/quiet on a damaged installer exits with the failure page's code 6" exit_code_is 6
check "and its /log file says so (no system line: the record of a package not found is emptied)" \
  log_is "$prefix/drive_c/deploy logs/damaged.log" 'Exit code : 6, the install failed with this result code.\r\n'
check "and changes nothing" nothing_installed

# 3. The unattended install as deployment tools start it, with /norestart: no window at all while it runs (a
# running input method holds it at its first notice for a while, so that the screen is looked at mid-install),
# every entry placed, 0.
"$wine" "$ime_standin" 'C:\standin.log' 'RUDERADOD_MSGWND{28b83e81-2466-47a2-a12d-95bcd38b237e}' \
  --answer-3002-after 6000 >/dev/null 2>&1 &
standin=$!
for _ in $(seq 100); do grep -q ready "$prefix/drive_c/standin.log" 2>/dev/null && break; sleep 0.1; done
quiet_install_shows_nothing() {
  start_through_launcher "$setup" /norestart /quiet
  local _
  for _ in $(seq 100); do grep -q 3002 "$prefix/drive_c/standin.log" 2>/dev/null && break; sleep 0.1; done
  grep -q 3002 "$prefix/drive_c/standin.log" || { echo "the install never told the input method"; return 1; }
  import -window root "$out/quiet-mid-install.png"
  [[ $(installer_windows) -eq 0 ]] || { echo "a window of the installer shows"; return 1; }
  wait_for_exit_code 120 && exit_code_is 0
}
check "/norestart /quiet installs with no window and exits with 0" quiet_install_shows_nothing
kill "$standin" 2>/dev/null
check "every entry is in place after the quiet install" \
  "$here/../install/check_install.py" --wow64 "$prefix" "$manifest" installed
check "the uninstall entry is written" uninstall_entry_names_version
check "the log is deleted after the quiet install" log_deleted

# 4. The passive wizard: it installs without a click, shows its progress and closes itself after its last page;
# its log goes where /log says, in the same bytes as "ins.log", ends with the outcome, and stays.
readonly deployment_log="$prefix/drive_c/deploy logs/zeln/install.log"
passive_install_ends_by_itself() {
  start_through_launcher "$setup" /passive /log 'C:\deploy logs\zeln\install.log'
  # The window is visible before its first picture moves it to its place, so it is located anew until it
  # shows the success page (for 3 s).
  wizard_find_window success || { import -window root "$out/passive-stuck.png"; return 1; }
  wizard_shot "$out/passive-success.png"
  wait_for_exit_code 30 && exit_code_is 0
}
deployment_log_kept() {
  head -c 3 "$deployment_log" | cmp -s - <(printf '\xef\xbb\xbf') &&
    grep -q $'^\xef\xbb\xbfOS Type : Win7 x64 bit.\r$' "$deployment_log" &&
    [[ $(tail -n 1 "$deployment_log") == $'Exit code : 0, installed.\r' ]] ||
    { od -c "$deployment_log" | head -5; false; }
}
check "/passive installs without a click and closes itself with 0" passive_install_ends_by_itself
check "no installer window is left" test "$(installer_windows)" -eq 0
check "the /log file, its folders made, holds the log and is kept after the success" deployment_log_kept
check "no ins.log is written beside it" log_deleted

# 5. One installer at a time: while a wizard runs, a second one, quiet or not, changes nothing and exits with
# 1618, and a second wizard does not open. Closing the first before it installs exits with 1602.
one_installer_at_a_time() {
  start_through_launcher "$setup"
  wizard_find_window welcome || return 1
  local first=$WIZARD_PID
  run_to_end "$setup" /quiet
  exit_code_is 1618 || return 1
  run_to_end "$setup"
  exit_code_is 1618 || return 1
  [[ $(installer_windows) -eq 1 ]] || { echo "$(installer_windows) installer windows"; return 1; }
  WIZARD_PID=$first
  rm -f "$exit_code_record"
  wizard_press CLOSE_BUTTON
  wait_for_exit_code 30 && exit_code_is 1602
}
check "a second installer exits with 1618 while the wizard runs; closing the wizard then exits with 1602" \
  one_installer_at_a_time

# 6. The finish button of a failure page ends the installer with that page's code.
finish_on_failure_page() {
  start_through_launcher "$damaged"
  wizard_find_window welcome || return 1
  wizard_press INSTALL_BUTTON
  wizard_wait_page failure 60 || return 1
  wizard_shot "$out/failure.png"
  wizard_press FINISH_BUTTON
  wait_for_exit_code 30 && exit_code_is 6
}
check "finish on the failure page of a damaged installer exits with 6" finish_on_failure_page

echo "screenshots: $out"
echo "$failures failed"
[[ $failures -eq 0 ]]
