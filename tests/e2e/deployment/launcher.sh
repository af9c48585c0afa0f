# The installer started as deployment tools start it, through a Windows launcher that records its whole exit
# code (Wine hands a Unix parent only the low 8 bits of it). Sourced after install_checks.sh (and the wizard
# driver, whose WIZARD_PID a background run sets) by a script that has set launcher.

readonly exit_code_record="$prefix/drive_c/exit-code.txt"

# run_to_end ARGS...: the installer run through the launcher as a deployment tool runs it, waited for (at most
# 300 s); its whole exit code is left in EXIT_CODE.
EXIT_CODE=""
run_to_end() {
  rm -f "$exit_code_record"
  timeout 300 "$wine" "$launcher" 'C:\exit-code.txt' "$@" >/dev/null 2>&1
  EXIT_CODE=$(tr -dc '0-9' <"$exit_code_record" 2>/dev/null)
}
# start_through_launcher ARGS...: the same, in the background, for a run whose window the test drives.
start_through_launcher() {
  rm -f "$exit_code_record"
  "$wine" "$launcher" 'C:\exit-code.txt' "$@" >/dev/null 2>&1 &
  WIZARD_PID=$!
}
# wait_for_exit_code SECONDS: the launcher's record of the installer's end.
wait_for_exit_code() {
  local deadline=$((SECONDS + $1))
  until [[ -s "$exit_code_record" ]]; do
    (( SECONDS < deadline )) || { echo "no exit code within $1 s"; return 1; }
    sleep 0.2
  done
  EXIT_CODE=$(tr -dc '0-9' <"$exit_code_record")
}
exit_code_is() { [[ "$EXIT_CODE" == "$1" ]] || { echo "exit code ${EXIT_CODE:-none}, expected $1"; false; }; }
