#!/usr/bin/env bash
# Upgrades over a complete install, as this product's users meet them every time: the shipped 32-bit installer
# in a 64-bit prefix (WoW64) on Windows 10, run unattended through a Windows launcher that reads whole exit
# codes, and read back from the prefix and with programs of both kinds loading the input method.
#   - The user's own data file and changed fonts and application files: the upgrade completes (0), the user's
#     file as they left it, every other file the new edition's.
#   - Files in use (a dictionary mapped by one program, another held open without delete sharing): the upgrade
#     succeeds and the restart completes it (3010), the input method working until then; after the restart
#     every file is the new edition's and nothing is left over.
#   - An upgrade over an earlier edition that fails, or whose wizard is closed, after that edition was taken
#     out: every file, key and preload slot is back as it was, before and after a restart.
#   - The wizard's page for an upgrade the restart completes, at 100 and 200 percent.
# For Wine a restart is ending every process of the prefix and starting a program again, which runs the file
# operations left for it.
# usage (inside scripts/wine-run.sh --screen 1920x1200): upgrade_scenarios.sh INSTALLER MANIFEST LAUNCHER
#                                                         PROBE32 PROBE64 REGSVR32_STANDIN SCREENSHOT_DIR
set -u
readonly installer=$1 manifest=$2 launcher=$3 probe32=$4 probe64=$5 regsvr32_standin=$6 out=$7
readonly here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/e2e/install/install_checks.sh
source "$here/../install/install_checks.sh"
# shellcheck source=tests/e2e/wow64/wow64_checks.sh
source "$here/wow64_checks.sh"
# shellcheck source=scripts/wizard-driver.sh
source "$here/../../../scripts/wizard-driver.sh"
# shellcheck source=tests/e2e/deployment/launcher.sh
source "$here/../deployment/launcher.sh"
rm -rf "$out" && mkdir -p "$out"

mkdir -p "$prefix/drive_c/deploy" && cp "$installer" "$prefix/drive_c/deploy/setup.exe"
readonly setup='C:\deploy\setup.exe'
readonly app="$prefix/drive_c/Program Files (x86)/Zelnsoft"
readonly app_path='C:\Program Files (x86)\Zelnsoft'
readonly user_file='Zelnsoft\ZelnIME\userphrase.dat'
readonly user_data="$roaming/Zelnsoft/ZelnIME/userphrase.dat"
readonly res="$here/../../../app/res"

# Windows 10, where the text service is registered too; its regsvr32 is the 32-bit one in syswow64: a
# stand-in that, unlike Wine's, reads "/s-" as Windows does.
"$wine" winecfg -v win10 >/dev/null 2>&1
rm -f "$windows/syswow64/regsvr32.exe" && cp "$regsvr32_standin" "$windows/syswow64/regsvr32.exe"
"$wine" reg add 'HKCU\Software\Wine\DllOverrides' /v regsvr32.exe /t REG_SZ /d native /f >/dev/null 2>&1

installed() { "$here/../install/check_install.py" --wow64 "$prefix" "$manifest" installed "$@"; }
quiet_upgrade_exits_with() { run_to_end "$setup" /quiet && exit_code_is "$1"; }
# change FILE...: the bytes of another edition.
change() { local file; for file in "$@"; do printf 'of the earlier edition' >>"$file" || return 1; done; }
nothing_left_over() {
  local left
  left=$(find "$app" "$windows/Fonts" "$windows/system32" "$windows/syswow64" -name '*.[0-9]*.old' -o -name '*.[0-9]*.new')
  [[ -z $left ]] || { echo "left over: $left"; false; }
}
no_pending_operation() {
  local pending
  pending=$(value_of 'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager' PendingFileRenameOperations)
  [[ -z $pending ]] || { echo "pending: $pending"; false; }
}
the_input_method_loads() {
  probe_layout "$probe64" KLMN amd64 >"$work/probe64.out" || { cat "$work/probe64.out"; return 1; }
  probe_layout "$probe32" KLMN i386
}

check "a complete install of this build exits with 0" quiet_upgrade_exits_with 0
check "every entry is in place" installed

# 1. The user has typed: their data file is theirs, and the upgrade completes around it.
printf 'phrases the user typed\r\n' >"$user_data"
check "over the user's own data file the upgrade exits with 0" quiet_upgrade_exits_with 0
check "the user's data file is as they left it" diff <(printf 'phrases the user typed\r\n') "$user_data"
check "every other entry is the new edition's" installed --users-own "$user_file"
check "the log is deleted after the upgrade" log_deleted

# 2. The earlier edition's fonts and application files differ from the new ones.
check "fonts and application files of another edition are in place" \
  change "$windows/Fonts/zlaltai.ttf" "$windows/Fonts/zlgobi.ttf" "$app/ZelnIME/readme.txt" \
         "$app/ZelnIME/dict/base.dic" "$app/Update/ZNService2.exe"
check "over them the upgrade exits with 0" quiet_upgrade_exits_with 0
check "every font and application file is the new edition's" installed --users-own "$user_file"
check "nothing of the earlier files is left over" nothing_left_over

# 3. The input method in use: one of its dictionaries mapped by a 64-bit program, another held open without
# delete sharing by a 32-bit one, both of the earlier edition.
files_in_use() {
  change "$app/ZelnIME/dict/base.dic" "$app/ZelnIME/dict/names.dic" &&
    cp "$app/ZelnIME/dict/names.dic" "$work/names.earlier" &&
    hold mapped "$holder64" map "$app_path\\ZelnIME\\dict\\base.dic" &&
    hold held "$holder32" open "$app_path\\ZelnIME\\dict\\names.dic"
}
waits_for_the_restart() {
  cmp -s "$work/names.earlier" "$app/ZelnIME/dict/names.dic" || { echo "the held file was replaced"; return 1; }
  cmp -s "${manifest%/*}/files/0/ZelnIME/dict/names.dic" "$app/ZelnIME/dict/names.dic.1.new" ||
    { echo "the new file does not wait beside it"; ls "$app/ZelnIME/dict"; return 1; }
}
log_names_the_waiting_file() {
  tr -d '\r' <"$roaming/ins.log" |
    grep -qxF "Replaced at restart: $app_path\\ZelnIME\\dict\\names.dic, waiting as $app_path\\ZelnIME\\dict\\names.dic.1.new" ||
    { cat "$roaming/ins.log"; false; }
}
check "a mapped and a held dictionary of the earlier edition are in use" files_in_use
check "the upgrade succeeds and the restart completes it: 3010" quiet_upgrade_exits_with 3010
check "the programs using the dictionaries still run" holders_still_run
check "the held dictionary is still the earlier one, the new one waiting beside it" waits_for_the_restart
new_modules_load() { new_module_loaded "$probe64" && new_module_loaded "$probe32" && records_layouts KLMN; }
check "programs of both kinds load the new modules before the restart, its layouts recorded" new_modules_load
check "the log is kept and names the file that waits" log_names_the_waiting_file
restart_prefix
check "after the restart every entry is the new edition's" installed --users-own "$user_file"
check "after the restart nothing is left over" nothing_left_over
check "after the restart no file operation is pending" no_pending_operation

# 4. The wizard's own page for it, at 100 and 200 percent: the page of the success with the restart's mark and
# words, pixel for pixel where it differs from the plain success page; finish exits with 3010 (Wine hands this
# script its low 8 bits).
set_dpi() {
  "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  restart_prefix
  WIZARD_DPI=$1
}
restart_page_at() {  # restart_page_at DPI PICTURE
  set_dpi "$1"
  change "$app/ZelnIME/dict/names.dic" && hold held "$holder32" open "$app_path\\ZelnIME\\dict\\names.dic" || return 1
  wizard_start "$installer" || return 1
  wizard_press INSTALL_BUTTON
  wizard_wait_page success 300 || { wizard_shot "$out/restart-$1-stuck.png"; return 1; }
  wizard_shot "$out/restart-$1.png"
  local differing
  differing=$(wizard_differing_pixels "$out/restart-$1.png" "$res/$2" 186 40 34 300)
  [[ $differing -eq 0 ]] || { echo "$differing pixels differ from $2"; return 1; }
  wizard_press FINISH_BUTTON
  wizard_wait_exit 30 && [[ $WIZARD_STATUS == $((3010 % 256)) ]] || { echo "exit status $WIZARD_STATUS"; return 1; }
  restart_prefix
}
check "at 96 DPI the wizard shows the page of an install the restart completes" restart_page_at 96 success-restart.png
check "at 192 DPI it shows the double-size page" restart_page_at 192 success-restart@2x.png
set_dpi 96

# 5. Over an earlier edition (modules of version 7.26, other fonts and files), an upgrade that cannot complete:
# a folder stands where a font file goes. Every file of the product, its keys and the preload list come back
# as they were, and the input method loads, before and after a restart.
product_files() {
  (cd "$prefix/drive_c" && find "Program Files (x86)/Zelnsoft" windows/Fonts windows/system32 windows/syswow64 \
     "users/${USER:-root}/AppData/Roaming/Zelnsoft" \( -path 'windows/Fonts/*' -o -ipath '*zeln*' \) -print0 |
     sort -z | xargs -0 -I{} sh -c 'if [ -d "{}" ]; then echo "{}/"; else md5sum "{}"; fi')
}
# Read from the hive files: Wine's reg crashes listing the uninstall entry (on its empty values).
product_keys() {
  flush_registry
  hive_keys system.reg 'System\CurrentControlSet\Control\Keyboard Layouts' \
    'Software\Microsoft\Windows NT\CurrentVersion\Fonts' 'Software\Wow6432Node\Microsoft\Windows NT\CurrentVersion\Fonts' \
    'Software\Microsoft\Windows\CurrentVersion\Uninstall\{BCC8E95D-5517-4B72-A87D-8ADE002BC46D}'
  hive_keys user.reg 'Keyboard Layout\Preload' 'Software\Zelnsoft' 'EUDC\936'
}
earlier_edition() {
  put_modules "$earlier64" "$earlier32" &&
    change "$windows/Fonts/zlhovd.ttf" "$app/ZelnIME/skins/ink.skin" "$app/ZelnIME/conv/latin.tbl" &&
    rm "$windows/Fonts/zlaltai.ttf" && mkdir "$windows/Fonts/zlaltai.ttf" &&
    product_files >"$work/files.before" && product_keys >"$work/keys.before"
}
as_before() {
  diff "$work/files.before" <(product_files) && diff "$work/keys.before" <(product_keys)
}
check "an earlier edition is in place, a folder where one of the new fonts goes" earlier_edition
check "the upgrade fails placing the font: 13" quiet_upgrade_exits_with 13
check "every file, key and preload slot of the earlier edition is as it was" as_before
check "the input method loads in programs of both kinds" the_input_method_loads
check "the log says the install was undone" grep -q 'changes, every one restored' "$roaming/ins.log"
restart_prefix
check "after a restart the earlier edition is still as it was" as_before
check "after a restart no file operation is pending" no_pending_operation

# 6. The same earlier edition, the wizard closed while the upgrade registers the text service, after the
# earlier edition was taken out and the new files placed: the window goes, the upgrade is undone, 1602.
export ZELN_REGSVR32_HOLD ZELN_REGSVR32_RECORD
ZELN_REGSVR32_HOLD=$(winepath_of "$work/registration.release")
ZELN_REGSVR32_RECORD=$(winepath_of "$work/registration.record")
closed_while_registering() {
  rmdir "$windows/Fonts/zlaltai.ttf" && product_files >"$work/files.before" || return 1
  rm -f "$work/registration.release" "$work/registration.record"
  start_through_launcher "$setup"
  wizard_find_window welcome || return 1
  wizard_press INSTALL_BUTTON
  local _
  for _ in $(seq 600); do [[ -s "$work/registration.record" ]] && break; sleep 0.2; done
  [[ -s "$work/registration.record" ]] || { echo "the registration never began"; return 1; }
  wizard_shot "$out/closed-while-registering.png"
  wizard_press CLOSE_BUTTON
  local gone=0
  for _ in $(seq 50); do [[ $(xdotool search --onlyvisible --name "$WIZARD_TITLE" 2>/dev/null | wc -l) -eq 0 ]] && gone=1 && break; sleep 0.2; done
  touch "$work/registration.release"
  [[ $gone -eq 1 ]] || { echo "the window did not go"; return 1; }
  wait_for_exit_code 300 && exit_code_is 1602
}
check "the wizard closed during the upgrade goes at once and the installer ends with 1602" closed_while_registering
check "every file, key and preload slot of the earlier edition is as it was" as_before
check "the input method loads in programs of both kinds" the_input_method_loads
restart_prefix
check "after a restart the earlier edition is still as it was" as_before

echo "screenshots: $out"
echo "$failures failed"
[[ $failures -eq 0 ]]
