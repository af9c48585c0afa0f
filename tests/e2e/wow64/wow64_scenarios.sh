#!/usr/bin/env bash
# The shipped 32-bit installer clicked through in a 64-bit prefix, where it runs as on 64-bit Windows: under
# WoW64, with "System32" redirected to the 32-bit system folder, "Sysnative" as the alias of the 64-bit one,
# and HKEY_LOCAL_MACHINE\Software seen through the 32-bit registry view unless it asks for the 64-bit one.
# Each install is read back from Wine's own stores (its folders and registry hive files) and with the
# system's own programs: the uninstaller's list, keyboard-layout loading in a 32-bit and a 64-bit process,
# and GDI's font enumeration.
# usage (inside scripts/wine-run.sh): wow64_scenarios.sh INSTALLER MANIFEST FONT_TABLE PROBE32 PROBE64
#                                     REGSVR32_STANDIN IME_STANDIN SCREENSHOT_DIR PLANTED_PROGRAM PLANTED_LIBRARY
#                                     MAKER_SITE
set -u
readonly installer=$1 manifest=$2 font_table=$3 probe32=$4 probe64=$5 regsvr32_standin=$6 ime_standin=$7 out=$8
readonly planted_program=$9 planted_library=${10} maker_site=${11}
readonly here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/e2e/install/install_checks.sh
source "$here/../install/install_checks.sh"
# shellcheck source=tests/e2e/wow64/wow64_checks.sh
source "$here/wow64_checks.sh"
readonly product='{BCC8E95D-5517-4B72-A87D-8ADE002BC46D}'
readonly uninstall='Software\Microsoft\Windows\CurrentVersion\Uninstall'
readonly uninstall32='Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall'
readonly earlier_layout=E0FF0804
# shellcheck source=scripts/wizard-driver.sh
source "$here/../../../scripts/wizard-driver.sh"
rm -rf "$out" && mkdir -p "$out"

# wizard_install NAME: presses install, waits for the success page, presses finish; exit code 0 expected.
wizard_install() {
  wizard_start "$installer" || { import -window root "$out/$1-start.png"; return 1; }
  wizard_shot "$out/$1-welcome.png"
  wizard_press INSTALL_BUTTON
  wizard_wait_page success 300 || { wizard_shot "$out/$1-stuck.png"; return 1; }
  wizard_shot "$out/$1-success.png"
  wizard_press FINISH_BUTTON
  wizard_wait_exit 30 || return 1
  [[ $WIZARD_STATUS == 0 ]] || { echo "exit code $WIZARD_STATUS"; return 1; }
}

# The uninstaller prints "{code}|||name" in the console's code page: the product's Chinese name comes out
# as question marks here, so only the entry and a name of the right length are compared.
listed_by_uninstaller() {
  "$wine" uninstaller --list 2>/dev/null | tr -d '\r' >"$work/uninstaller.list"
  grep -qxE "$product[|]{3}.{6}" "$work/uninstaller.list" || { cat "$work/uninstaller.list"; false; }
}

# probe_fonts PROBE: GDI finds every family of the font table by the name in its own font file.
probe_fonts() {
  local families=()
  mapfile -t families < <(cut -f2 "$font_table" | sed 's/ (OpenType)$//')
  "$wine" "$1" fonts "${families[@]}" 2>/dev/null | tr -d '\r' >"$work/fonts.out"
  [[ $(grep -c '^found ' "$work/fonts.out") -eq ${#families[@]} ]] || { grep -v '^found ' "$work/fonts.out"; false; }
}

# What earlier editions left, in both registry views and both system folders: their uninstall entries, a
# per-user Windows Installer registration, a layout of an earlier IME module, earlier modules, an IME
# module without a version resource, and an earlier update folder.
prepare_earlier_edition() {
  local key view folder
  for key in 'ZelnIME2016' '{39318221-A7D4-400F-B932-674B420F4FF8}' '{9C2801B2-17E6-47B0-B7B9-F65A3000165B}'; do
    for view in "$uninstall" "$uninstall32"; do
      "$wine" reg add "HKLM\\$view\\$key" /v DisplayName /d 'Zelnsoft IME 2016' /f >/dev/null 2>&1 || return 1
    done
  done
  "$wine" reg add "HKCU\\$uninstall\\{CBA7897C-F148-44DA-B5C0-872A30E765E2}" /v DisplayName /d 'Zelnsoft IME' /f >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\Microsoft\Installer\Products\C7987ABC841FAD445B0C78A2037E562E\SourceList\Net' \
    /v 1 /d 'D:\' /f >/dev/null 2>&1
  "$wine" reg add "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts\\$earlier_layout" \
    /v 'IME File' /d ZelnsoftZelnCode.ime /f >/dev/null 2>&1
  for folder in system32 syswow64; do
    echo "earlier module" >"$windows/$folder/ZelnsoftZelnCode.ime"
    echo "earlier converter" >"$windows/$folder/ZelnIMECnvrt.dll"
    echo "no version resource" >"$windows/$folder/ZelnIme.ime"
  done
  mkdir -p "$prefix/drive_c/Program Files (x86)/Zelnsoft/Update"
  echo "earlier updater" >"$prefix/drive_c/Program Files (x86)/Zelnsoft/Update/ZNUpdate.exe"
  flush_registry
  stored_in_machine_hive "$uninstall\\ZelnIME2016" && stored_in_machine_hive "$uninstall32\\ZelnIME2016" &&
    stored_in_hive user.reg "$uninstall\\{CBA7897C-F148-44DA-B5C0-872A30E765E2}"
}

earlier_edition_removed() {
  local key view problems=0
  for key in 'ZelnIME2016' '{39318221-A7D4-400F-B932-674B420F4FF8}' '{9C2801B2-17E6-47B0-B7B9-F65A3000165B}'; do
    for view in "$uninstall" "$uninstall32"; do
      not_stored_in_machine_hive "$view\\$key" || problems=$((problems + 1))
    done
  done
  not_stored_in_machine_hive "SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts\\$earlier_layout" || problems=$((problems + 1))
  not_stored_in_hive user.reg "$uninstall\\{CBA7897C-F148-44DA-B5C0-872A30E765E2}" || problems=$((problems + 1))
  not_stored_in_hive user.reg 'Software\Microsoft\Installer\Products\C7987ABC841FAD445B0C78A2037E562E' ||
    problems=$((problems + 1))
  # The update folder itself comes back with the present edition's service.
  absent "$windows"/{system32,syswow64}/{ZelnsoftZelnCode.ime,ZelnIMECnvrt.dll} \
    "$prefix/drive_c/Program Files (x86)/Zelnsoft/Update/ZNUpdate.exe" || problems=$((problems + 1))
  [[ $problems -eq 0 ]]
}

echo "installer: $installer"
check "the 32-bit installer is a PE32 program" bash -c "file -b '$installer' | grep -q '^PE32 executable'"
check "an earlier edition is prepared in both views and both system folders" prepare_earlier_edition

# 1. A fresh install on the version Wine reports by default (6.1: the older kind of layouts).
check "a fresh install clicked through reaches the success page and exits with 0" wizard_install fresh
flush_registry
check "every entry is where 64-bit Windows puts it (kind 1 in system32, kind 2 in syswow64)" \
  "$here/../install/check_install.py" --wow64 "$prefix" "$manifest" installed
check "no folder named Sysnative is created" no_sysnative_folder
check "the uninstall entry is stored in the 64-bit view" stored_in_machine_hive "$uninstall\\$product"
check "the uninstall entry is not under Wow6432Node" not_stored_in_machine_hive "$uninstall32\\$product"
check "the uninstall entry carries the version" uninstall_entry_names_version
check "the system's uninstaller lists the product" listed_by_uninstaller
check "the earlier edition is gone from both views and both system folders" earlier_edition_removed
check "both layouts of the older kind are registered and recorded" records_layouts KLCN KLMN
check "the 28 fonts are registered" fonts_registered
check "the log is deleted after success" log_deleted
check "a 64-bit process loads the Mongolian layout with the 64-bit IME module" probe_layout "$probe64" KLMN amd64
check "a 32-bit process loads the Mongolian layout with the 32-bit IME module" probe_layout "$probe32" KLMN i386
check "a 32-bit process loads the Chinese layout with the 32-bit IME module" probe_layout "$probe32" KLCN i386
check "GDI of a 64-bit process finds every font family by its own name" probe_fonts "$probe64"
check "GDI of a 32-bit process finds every font family by its own name" probe_fonts "$probe32"

# 2. Again over the installed edition on Windows 10 (the text-service branch). The 32-bit installer's
# regsvr32 is the 32-bit one in syswow64: a stand-in that, unlike Wine's, reads "/s-" as Windows does.
rm -f "$windows/syswow64/regsvr32.exe" && cp "$regsvr32_standin" "$windows/syswow64/regsvr32.exe"
"$wine" reg add 'HKCU\Software\Wine\DllOverrides' /v regsvr32.exe /t REG_SZ /d native /f >/dev/null 2>&1
"$wine" winecfg -v win10 >/dev/null 2>&1
export ZELN_REGSVR32_RECORD
ZELN_REGSVR32_RECORD=$(winepath_of "$work/regsvr32.record")
check "a second install on Windows 10 reaches the success page and exits with 0" wizard_install again
flush_registry
check "every entry is still where 64-bit Windows puts it" \
  "$here/../install/check_install.py" --wow64 "$prefix" "$manifest" installed
check "the 32-bit regsvr32 is run on the text-service module" regsvr32_ran_as_windows_would
check "the module's registration ran" text_service_registered
check "the earlier layouts are retired: one layout names the IME module" test "$(layout_count)" -eq 1
check "the uninstall entry is still only in the 64-bit view" not_stored_in_machine_hive "$uninstall32\\$product"
check "a 64-bit process loads the text-service branch's layout" probe_layout "$probe64" KLMN amd64
check "a 32-bit process loads the text-service branch's layout" probe_layout "$probe32" KLMN i386

# 3. On Windows Vista, the oldest workstation edition with the alias, while an input-method instance holds
# the install at its first notice for a while: the log names the edition as it runs, then the install ends.
"$wine" winecfg -v vista >/dev/null 2>&1
"$wine" "$ime_standin" 'C:\standin.log' 'RUDERADOD_MSGWND{28b83e81-2466-47a2-a12d-95bcd38b237e}' \
  --answer-3002-after 8000 &
standin=$!
for _ in $(seq 100); do grep -q ready "$prefix/drive_c/standin.log" 2>/dev/null && break; sleep 0.1; done
# keep_log_while_running: a copy of the log as soon as it is there, while the install is held.
keep_log_while_running() {
  local _
  for _ in $(seq 100); do
    [[ -s "$roaming/ins.log" ]] && { cp "$roaming/ins.log" "$work/vista.log"; return 0; }
    sleep 0.1
  done
  return 1
}
vista_install() {
  wizard_start "$installer" || { import -window root "$out/vista-start.png"; return 1; }
  wizard_press INSTALL_BUTTON
  wizard_wait_page installing 60 || return 1
  keep_log_while_running
  wizard_shot "$out/vista-installing.png"
  wizard_wait_page success 300 || { wizard_shot "$out/vista-stuck.png"; return 1; }
  wizard_press FINISH_BUTTON
  wizard_wait_exit 30 || return 1
  [[ $WIZARD_STATUS == 0 ]]
}
# A new log: the UTF-8 byte-order mark, then the system line with Windows' line end.
log_names_vista() {
  cmp -s "$work/vista.log" <(printf '\xef\xbb\xbfOS Type : Vista x64 bit.\r\n') || { od -c "$work/vista.log" | head; false; }
}
check "an install on Vista reaches the success page and exits with 0" vista_install
kill "$standin" 2>/dev/null
check "while it ran on Vista, the log named the edition" log_names_vista
check "the instance was told before and after the install" \
  diff <(tr -d '\r' <"$prefix/drive_c/standin.log") <(printf 'ready\n3002\n3001\n')
check "every entry is in place after the Vista install" \
  "$here/../install/check_install.py" --wow64 "$prefix" "$manifest" installed
check "the log is deleted after the Vista install" log_deleted

# 4. Started by a person from a download folder that also holds programs and DLLs named like those the installer
# or the system might start or load, each of which records it if it ever runs; the folder is also the current
# directory, as when the installer is opened there. On Windows 10, so regsvr32 runs too.
readonly downloads="$prefix/drive_c/users/${USER:-root}/Downloads"
plant_download_folder() {
  local name
  mkdir -p "$downloads" && cp "$installer" "$downloads/ZelnIME-Setup.exe" || return 1
  for name in explorer regsvr32 cmd rundll32 msiexec; do cp "$planted_program" "$downloads/$name.exe" || return 1; done
  for name in version msimg32 gdiplus propsys uxtheme dwmapi cryptbase winmm psapi shlwapi comctl32 imm32 msctf \
              oleacc userenv profapi secur32 sspicli wtsapi32 ntmarta windowscodecs apphelp setupapi shfolder \
              dbghelp rsaenh cryptsp wintrust iertutil urlmon; do
    cp "$planted_library" "$downloads/$name.dll" || return 1
  done
}
download_folder_install() {
  pushd "$downloads" >/dev/null || return 1
  wizard_start "$downloads/ZelnIME-Setup.exe"
  local started=$?
  popd >/dev/null || return 1
  [[ $started -eq 0 ]] || { import -window root "$out/downloads-start.png"; return 1; }
  wizard_press AGREEMENT_LINK
  opened_pages 1 || return 1
  wizard_press INSTALL_BUTTON
  wizard_wait_page success 300 || { wizard_shot "$out/downloads-stuck.png"; return 1; }
  wizard_shot "$out/downloads-success.png"
  wizard_press RECOMMEND_LINK
  opened_pages 2 || return 1
  wizard_press FINISH_BUTTON
  wizard_wait_exit 30 || return 1
  [[ $WIZARD_STATUS == 0 ]] || { echo "exit code $WIZARD_STATUS"; return 1; }
}
# opened_pages COUNT: waits up to 30 s until the system's explorer has handed that many addresses to the
# browser (the harness's stand-in records them on drive C).
opened_pages() {
  local _
  for _ in $(seq 150); do
    [[ $(wc -l <"$prefix/drive_c/browser-addresses.txt" 2>/dev/null || echo 0) -ge $1 ]] && return 0
    sleep 0.2
  done
  echo "pages opened: $(cat "$prefix/drive_c/browser-addresses.txt" 2>/dev/null)"
  return 1
}
nothing_planted_ran() {
  local record found=0
  for record in planted-loads.txt explorer-commands.txt; do
    [[ -e "$downloads/$record" ]] && { echo "$record:"; iconv -f UTF-16LE -t UTF-8 "$downloads/$record" 2>/dev/null ||
                                        cat "$downloads/$record"; found=1; }
  done
  [[ $found -eq 0 ]]
}
links_opened_their_pages() {
  diff <(cat "$prefix/drive_c/browser-addresses.txt") \
    <(printf '%s\n' "$maker_site/site/alias__dovevoz/2826/Default.aspx" \
                     "$maker_site/site/alias__dovevoz/2824/Default.aspx#recommend")
}
regsvr32_ran_from_the_system_folder() {
  iconv -f UTF-16LE -t UTF-8 "$work/downloads-regsvr32.record" | tr -d '\r' >"$work/downloads-regsvr32.txt"
  grep -qxF 'parameters:/s- C:\windows\system32\ZelnImeTSF.ime' "$work/downloads-regsvr32.txt" &&
    grep -qixF 'directory:C:\windows\system32' "$work/downloads-regsvr32.txt" || { cat "$work/downloads-regsvr32.txt"; false; }
}
"$wine" winecfg -v win10 >/dev/null 2>&1
"$wine" reg delete 'HKCU\Software\Zelnsoft\DemoTextService' /f >/dev/null 2>&1
rm -f "$prefix/drive_c/browser-addresses.txt"
ZELN_REGSVR32_RECORD=$(winepath_of "$work/downloads-regsvr32.record")
check "a download folder holds the installer beside planted programs and DLLs" plant_download_folder
check "started from that folder, the installer opens both pages and installs to the success page" download_folder_install
check "no planted program ran and no planted DLL was loaded" nothing_planted_ran
check "the links had the system's explorer open the agreement page, then the recommendation page" links_opened_their_pages
check "the system folder's 32-bit regsvr32 ran on the text-service module, in the system folder" \
  regsvr32_ran_from_the_system_folder
check "the module's registration ran" text_service_registered
check "every entry is in place after the install from the download folder" \
  "$here/../install/check_install.py" --wow64 "$prefix" "$manifest" installed

# 5. Upgrades while the input method is in use, as most upgrades find it: programs of both kinds have the
# modules of their own kind loaded, which can then be renamed but not deleted. For Wine a restart is ending
# every process of the prefix and starting a program again, which runs the file operations left for it.
same_system_folders() { diff "$work/folders.before" <(system_folders); }
set_aside_while_in_use() {
  local module
  diff <({ cat "$work/folders.before"
           for module in $modules; do printf 'system32/%s.1.old\nsyswow64/%s.1.old\n' "$module" "$module"; done
         } | sort) <(system_folders)
}
# What the system deletes at restart, as its 64-bit start-up will look for it: the 32-bit modules set aside
# in syswow64, the 64-bit ones in system32.
restart_deletes_real_paths() {
  local module folder
  value_of 'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager' PendingFileRenameOperations |
    sed 's/\\0/\n/g' | grep . | tr '[:upper:]' '[:lower:]' | sort >"$work/pending"
  diff <(for module in $modules; do
           for folder in syswow64 system32; do printf '\\??\\c:\\windows\\%s\\%s.1.old\n' "$folder" "${module,,}"; done
         done | sort) "$work/pending"
}
left_to_restart() { set_aside_while_in_use && restart_deletes_real_paths; }
upgrade_in_use() {  # upgrade_in_use NAME FOLDER64 FOLDER32 [BYTES]
  put_modules "$2" "$3" "${4:-}" && system_folders >"$work/folders.before" &&
    hold programs64 "$holder64" load "$system_path\\ZelnIme.ime" load "$system_path\\ZelnImeTSF.ime" &&
    hold programs32 "$holder32" load "$system_path\\ZelnIme.ime" load "$system_path\\ZelnImeTSF.ime" &&
    wizard_install "$1"
}

check "an earlier edition in use by a 64-bit and a 32-bit program is upgraded to the success page" \
  upgrade_in_use in-use "$earlier64" "$earlier32"
check "the programs that had the earlier modules still run" holders_still_run
check "the modules in use are set aside beside the new ones" set_aside_while_in_use
check "the restart is told to delete them by their real paths" restart_deletes_real_paths
check "every entry is in place while the earlier modules are still in use" \
  "$here/../install/check_install.py" --wow64 "$prefix" "$manifest" installed
check "a 64-bit program started now loads the new IME module" new_module_loaded "$probe64"
check "a 32-bit program started now loads the new IME module" new_module_loaded "$probe32"
restart_prefix
check "after a restart both system folders hold the files they held before the upgrade" same_system_folders
check "after a restart every entry is in place" "$here/../install/check_install.py" --wow64 "$prefix" "$manifest" installed

check "another build of the same version, in use by programs of both kinds, is replaced to the success page" \
  upgrade_in_use same-version "$packaged/1" "$packaged/2" 'another build'
check "the programs that had the other build still run" holders_still_run
check "the other build's modules are set aside and left to the restart by their real paths" left_to_restart
restart_prefix
check "after a restart both system folders again hold the files they held before" same_system_folders
check "after a restart the new build is in place" "$here/../install/check_install.py" --wow64 "$prefix" "$manifest" installed

# One module held open without delete sharing while another is merely loaded: the install fails with 2, on
# the page that asks to try again later, and the working install stays complete, before and after a restart.
working_install() {
  (cd "$prefix/drive_c" && find 'Program Files (x86)/Zelnsoft' windows/system32/Zeln* windows/syswow64/Zeln* \
    -type f -print0 | sort -z | xargs -0 md5sum)
  recorded_layouts
  value_of "HKLM\\$uninstall\\$product" DisplayVersion
}
same_working_install() { diff "$work/install.before" <(working_install); }
hold_one_open_one_loaded() {
  put_modules "$earlier64" "$earlier32" && system_folders >"$work/folders.before" &&
    working_install >"$work/install.before" &&
    hold open64 "$holder64" open "$system_path\\ZelnImeTSF.ime" &&
    hold load32 "$holder32" load "$system_path\\ZelnIme.ime"
}
fails_with_2() {
  wizard_start "$installer" || { import -window root "$out/held-start.png"; return 1; }
  wizard_press INSTALL_BUTTON
  wizard_wait_page failure 300 || { wizard_shot "$out/held-stuck.png"; return 1; }
  wizard_shot "$out/held-failure.png"
  # Only the page of result 2 has writing in this part of its third column.
  [[ $(wizard_count_pixels "$out/held-failure.png" 345 380 30 70 '0 130 0 130 0 130') -gt 40 ]] ||
    { echo "not the page of result 2"; return 1; }
  wizard_press FINISH_BUTTON
  wizard_wait_exit 30 && [[ $WIZARD_STATUS == 2 ]]
}
log_names_put_back() {
  diff <(printf '%s\n' 'Cannot be set aside: C:\windows\Sysnative\ZelnImeTSF.ime' \
           'Put back: C:\windows\System32\ZelnImeTSF.ime' \
           'Put back: C:\windows\Sysnative\ZelnIme.ime' 'Put back: C:\windows\System32\ZelnIme.ime') \
       <(tr -d '\r' <"$roaming/ins.log" | grep -E '^(Cannot be set aside|Put back):')
}
check "an earlier edition is in place again, its 64-bit text service held open and its 32-bit IME loaded" \
  hold_one_open_one_loaded
check "the install stops with 2 on the module held open" fails_with_2
check "the programs holding the modules still run" holders_still_run
check "every module is back in its place and the working install is complete" same_working_install
check "nothing is left set aside" same_system_folders
check "the log names the module held open and each module put back" log_names_put_back
restart_prefix
check "after a restart nothing of the working install is lost" same_working_install
check "after a restart both system folders hold the files they held before the failed run" same_system_folders
put_modules "$packaged/1" "$packaged/2"

echo "screenshots: $out"
echo "$failures failed"
[[ $failures -eq 0 ]]
