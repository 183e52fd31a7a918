#!/usr/bin/env bash
# Setups and uninstallers run by a deployment tool, with switches and no one at the screen.
# 1. /VERYSILENT /DIR= /TASKS=desktop /LANGUAGES=FR /LOG= installs exactly that: the product's
#    files but the other languages', the desktop icon and nothing else of the shortcuts, the
#    uninstall entry with its quiet command; no window appears at any time; exit code 0; the
#    log names the files written and the result.
# 2. An unknown switch ends with exit code 1 (command line not understood) before anything
#    is written, with no window under /VERYSILENT.
# 3. A damaged setup under /VERYSILENT ends with exit code 2, shows nothing, writes nothing.
# 4. The registered QuietUninstallString, run as Windows runs it, removes everything with no
#    window and exit code 0.
# 5. /? without silence shows the switches and exit codes in a message box, which the same
#    watch of the screen sees (so an empty watch above means nothing was shown); exit code 0.
# 6. /SILENT on a larger payload shows its progress window, titled like the setup dialog, and
#    nothing else but, while the long scan runs, the checking window (the same small window
#    with the setup's caption); screenshot while it works; exit code 0 and the files in place.
source "$(dirname "$0")/../lib/harness.sh"
source "$(dirname "$0")/../lib/example.sh"
e2e_start win32

dest='C:\Tools\Sample Notes'
log='C:\unattended.log'
e2e_pack "$KORV_EXAMPLE_DIR" "$E2E_DIR/SampleSetup.exe"
setup=$(winepath -w "$(e2e_place_setup "$E2E_DIR/SampleSetup.exe")" 2>/dev/null)

# watched_run WHAT CMDLINE [ACTIONS...]: runs the command line while every visible window of
# the prefix is watched, then drives ACTIONS; the exit code lands in E2E_RUN_EXIT and what was
# seen in SEEN.
watched_run() {
  local what=$1 command=$2 watch="$E2E_DIR/windows-$RANDOM.out"
  shift 2
  e2e_watch_windows 12000 "$watch"
  e2e_run_command_line "$command" "$E2E_DIR/run.out"
  [ $# = 0 ] || HELP_OUT=$(e2e_drive "$@")
  e2e_wait_command_line 120 "$E2E_DIR/run.out" || e2e_fail "$what did not end"
  wait "$E2E_WATCHER"
  SEEN=$(e2e_watched_windows "$watch" | tr '\n' ';')
}

unattended_run() {
  watched_run "$@"
  e2e_check_eq "windows seen during $1" "" "$SEEN"
}

e2e_log "1. quiet install"
unattended_run "the quiet install" \
  "\"$setup\" /VERYSILENT /DIR=\"$dest\" /tasks=desktop /LANGUAGES=FR \"/LOG=$log\""
e2e_check_eq "exit code of the quiet install" 0 "$E2E_RUN_EXIT"
ex_check_installed "$dest" IT RU
e2e_check_lnk "$(e2e_desktop)\\$EX_GROUP.lnk" "$dest\\$EX_EXE" "$dest"
e2e_check_absent "$(e2e_common_programs)\\$EX_GROUP"
e2e_check_absent "$(e2e_quick_launch)\\$EX_GROUP.lnk"
key=$(ex_uninstall_key)
e2e_check_reg "$key" UninstallString "\"$dest\\UnInst.exe\""
e2e_check_reg "$key" QuietUninstallString "\"$dest\\UnInst.exe\" /VERYSILENT"
e2e_check "the uninstall entry has an install date" e2e_reg_value "$key" InstallDate
logfile=$(e2e_unix "$log")
e2e_check "the log names a file written" grep -q "^file: $(printf '%s' "$dest" | sed 's/\\/\\\\/g')\\\\KNotes.exe" "$logfile"
e2e_check "the log ends with the exit code" grep -q "^exit code: 0" "$logfile"
e2e_check "the log is UTF-8 without NUL bytes" test "$(tr -d '\000' <"$logfile" | wc -c)" = "$(wc -c <"$logfile")"

e2e_log "2. unknown switch"
before=$(e2e_disk_snapshot)
unattended_run "an unknown switch" "\"$setup\" /VERYSILENT /S"
e2e_check_eq "exit code for an unknown switch" 1 "$E2E_RUN_EXIT"
e2e_check_snapshot "files after an unknown switch" "$before" "$(e2e_disk_snapshot)"

e2e_log "3. damaged setup"
damaged="$E2E_DIR/BrokenSetup.exe"
e2e_damage_payload "$E2E_DIR/SampleSetup.exe" "$damaged" >/dev/null || e2e_abort "could not damage the payload"
broken=$(winepath -w "$(e2e_place_setup "$damaged")" 2>/dev/null)
before=$(e2e_disk_snapshot)
unattended_run "the damaged setup" "\"$broken\" /VERYSILENT /DIR=C:\\Broken"
e2e_check_eq "exit code of the damaged setup" 2 "$E2E_RUN_EXIT"
e2e_check_snapshot "files after the damaged setup" "$before" "$(e2e_disk_snapshot)"

e2e_log "4. quiet uninstall"
command=$(e2e_reg_value "$key" QuietUninstallString) || e2e_abort "no QuietUninstallString"
unattended_run "the quiet uninstall" "$command"
e2e_check_eq "exit code of the quiet uninstall" 0 "$E2E_RUN_EXIT"
ex_check_removed "$dest"

e2e_log "5. the switches and exit codes"
watched_run "/?" "\"$setup\" /?" wait-msgbox 60000 msgbox-text dismiss
e2e_check_eq "exit code after /?" 0 "$E2E_RUN_EXIT"
e2e_check "the help names /VERYSILENT and the exit codes ($HELP_OUT)" grep -q "VERYSILENT.*Exit codes: 0 installed" <<<"$(tr '\n' ' ' <<<"$HELP_OUT")"
e2e_check "the watch saw the help's message box ($SEEN)" grep -q "^#32770 SampleSetup.exe;" <<<"$SEEN"

e2e_log "6. progress window"
product="$E2E_DIR/large-product"
cp -r "$KORV_EXAMPLE_DIR" "$product"
head -c 20000000 /dev/urandom >"$product/MEDIA.BIN"
seq -f 'Line %.0f of the Sample Notepad manual: the quick brown fox jumps over the lazy dog.' \
  1 300000 >"$product/MANUAL.TXT"
e2e_pack "$product" "$E2E_DIR/LargeSetup.exe"
large=$(winepath -w "$(e2e_place_setup "$E2E_DIR/LargeSetup.exe")" 2>/dev/null)
watch="$E2E_DIR/windows-silent.out"
e2e_watch_windows 20000 "$watch"
e2e_run_command_line "\"$large\" /SILENT /DIR=C:\\Silent" "$E2E_DIR/run.out"
if e2e_drive wait-window '#32770' 60000 >/dev/null; then e2e_shot "$E2E_NAME-silent"; fi
e2e_wait_command_line 300 "$E2E_DIR/run.out" || e2e_fail "the silent install did not end"
wait "$E2E_WATCHER"
e2e_check_eq "exit code of the silent install" 0 "$E2E_RUN_EXIT"
e2e_check_eq "windows seen during the silent install" "#32770 Setup $EX_PRODUCT_LINE;" \
  "$(e2e_watched_windows "$watch" | grep -vx '#32770 Setup' | tr '\n' ';')"
for name in MEDIA.BIN MANUAL.TXT; do e2e_check_same "C:\\Silent\\$name" "$product/$name"; done
rm -rf "$product"
e2e_finish
