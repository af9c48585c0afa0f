#!/bin/bash
# Whole installs of the demo package in one Wine prefix, one after the other, each checked by what a user's
# machine holds afterwards: files, registry, the log, the exit code and the engine's messages.
# usage (inside scripts/wine-run.sh): install_scenarios.sh INSTALLER MANIFEST IME_STANDIN REGSVR32_STANDIN
set -u
readonly installer=$1 manifest=$2 ime_standin=$3 regsvr32_standin=$4
readonly here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/e2e/install/install_checks.sh
source "$here/install_checks.sh"

# install FILE NAME: runs a windowless installer; its messages go to $work/NAME.out, its exit code to NAME.rc.
install() {
  "$wine" "$1" >"$work/$2.out" 2>"$work/$2.err" </dev/null
  echo $? >"$work/$2.rc"
  tr -d '\r' <"$work/$2.out" >"$work/$2.messages"
}
exit_code_is() { [[ $(cat "$work/$1.rc") == "$2" ]] || { echo "exit code $(cat "$work/$1.rc"), messages:"; cat "$work/$1.messages"; }; [[ $(cat "$work/$1.rc") == "$2" ]]; }
# A successful run's messages: BEGIN, then rising percentages through every fixed mark to 100, then SUCCESS.
messages_of_success() {
  python3 - "$work/$1.messages" <<'PY'
import sys
lines = open(sys.argv[1]).read().split("\n")
lines = [l for l in lines if l and not l.startswith("INIT")]
assert lines[0] == "BEGIN" and lines[-1] == "SUCCESS", lines
marks = [int(l.split()[1]) for l in lines[1:-1]]
assert all(l.startswith("PROGRESS ") for l in lines[1:-1]), lines
assert marks == sorted(set(marks)), f"not strictly rising: {marks}"
# The extraction moves one point at a time (copy 6..25, decompression 26..45); the placement may skip.
missing = {1, 2, 50, 55, 95, 97, 98, 100} | set(range(5, 46))
missing -= set(marks)
assert not missing, f"never sent: {sorted(missing)} in {marks}"
assert all(55 < m < 95 for m in marks[marks.index(55) + 1:marks.index(95)]), marks
PY
}
only_failure() {  # only_failure NAME CODE: nothing but the failure itself reached the interface
  grep -v '^INIT' "$work/$1.messages" | diff - <(echo "FAILURE $2")
}
echo "installer: $installer"

# 1. A fresh machine, with the version Wine reports by default: the older kind of input-method layouts.
install "$installer" fresh
check "a fresh install succeeds" exit_code_is fresh 0
check "its messages rise through every mark to success" messages_of_success fresh
check "every entry is at its destination with the packaged bytes" "$here/check_install.py" "$prefix" "$manifest" installed
check "both layouts of the older kind are registered and recorded" records_layouts KLCN KLMN
check "two layouts name the IME module" test "$(layout_count)" -eq 2
check "the 28 fonts are registered" fonts_registered
check "the uninstall entry carries the version" uninstall_entry_names_version
check "the log is deleted after success" log_deleted

# 2. Again over the installed edition, on Windows 10 (the text-service branch), with a regsvr32 that, unlike
# Wine's, reads "/s-" as Windows' does. It replaces the prefix's own (unlinked first: the system folder's files
# are shared with the harness's base prefix), and Wine is told to run the file rather than its built-in one.
rm -f "$prefix/drive_c/windows/system32/regsvr32.exe" && cp "$regsvr32_standin" "$prefix/drive_c/windows/system32/regsvr32.exe"
"$wine" reg add 'HKCU\Software\Wine\DllOverrides' /v regsvr32.exe /t REG_SZ /d native /f >/dev/null 2>&1
"$wine" winecfg -v win10 >/dev/null 2>&1
# This time the installer is signed, as a shipped one is: the signature follows the package.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
  -subj "/CN=Zelnsoft test signing" >/dev/null 2>&1
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -in "$installer" -out "$work/signed.exe" >/dev/null
ZELN_REGSVR32_RECORD="$(winepath_of "$work/regsvr32.record")" install "$work/signed.exe" again
check "a signed install over the installed edition succeeds" exit_code_is again 0
check "its messages rise through every mark to success" messages_of_success again
check "every entry is still in place" "$here/check_install.py" "$prefix" "$manifest" installed
check "regsvr32 is run on the text-service module" regsvr32_ran_as_windows_would
check "the module's registration ran" text_service_registered
check "the earlier layouts are retired: one layout names the IME module" test "$(layout_count)" -eq 1
check "it is the recorded Mongolian layout" layout_names_ime "$(recorded_layouts | sed -n 's/^KLMN=//p')"

# 3. A damaged installer file: reported at once, and the working edition stays installed.
head -c $(( $(stat -c %s "$installer") - 40 )) "$installer" >"$work/truncated.exe"
install "$work/truncated.exe" truncated
check "a truncated installer fails with 6" exit_code_is truncated 6
check "only the failure reaches the interface" only_failure truncated 6
check "the installed edition is untouched" "$here/check_install.py" "$prefix" "$manifest" installed
check "its layout is still registered" test "$(layout_count)" -eq 1

# 4. An input-method instance that never answers the notice: the install gives up after the bound, before it
# has changed anything, and the working install of scenario 2 stays as it was.
"$wine" "$ime_standin" 'C:\standin.log' 'RUDERADOD_MSGWND{28b83e81-2466-47a2-a12d-95bcd38b237e}' --never-answer-3002 &
standin=$!
for _ in $(seq 100); do grep -q ready "$prefix/drive_c/standin.log" 2>/dev/null && break; sleep 0.1; done
started=$(date +%s)
ZELN_REGSVR32_RECORD="$(winepath_of "$work/hung-regsvr32.record")" install "$installer" hung
elapsed=$(( $(date +%s) - started ))
kill "$standin" 2>/dev/null
check "a hung input method fails the pre-check with 2" exit_code_is hung 2
check "the wait is bounded near 30 s (took ${elapsed} s)" test "$elapsed" -ge 29 -a "$elapsed" -le 60
check "the bar stays at 1" diff <(grep -v '^INIT' "$work/hung.messages") <(printf 'BEGIN\nPROGRESS 1\nFAILURE 2\n')
check "the log is kept for diagnosis" log_kept
check "every entry of the working install is still in place" "$here/check_install.py" "$prefix" "$manifest" installed
check "its layout is still registered: one layout names the IME module" test "$(layout_count)" -eq 1
check "it is still the recorded Mongolian layout" layout_names_ime "$(recorded_layouts | sed -n 's/^KLMN=//p')"
check "the uninstall entry is still there with the version" uninstall_entry_names_version
check "the text service is still registered" text_service_registered
check "regsvr32 was not run to unregister it" test ! -e "$work/hung-regsvr32.record"

echo "$failures failed"
[[ $failures -eq 0 ]]
