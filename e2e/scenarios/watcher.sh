#!/usr/bin/env bash
# Running copies of the product are closed: two copies of our main program (window class
# SampleNotepadWindow, as the .INF's "Class" says) run when the setup starts; the setup's
# watcher sends them WM_DESTROY, so both programs end by themselves (exit code 0), while the
# setup dialog stays open. A window of another class is left alone.
source "$(dirname "$0")/../lib/harness.sh"
source "$(dirname "$0")/../lib/example.sh"
e2e_start win32

e2e_pack "$KORV_EXAMPLE_DIR" "$E2E_DIR/SampleSetup.exe"
setup=$(e2e_place_setup "$E2E_DIR/SampleSetup.exe")
notes=$(e2e_unix "$(e2e_profile)\\Downloads\\KNotes.exe")
cp "$KORV_EXAMPLE_DIR/KNotes.exe" "$notes"

env LC_ALL="$E2E_LOCALE" wine "$notes" /title First copy >>"$E2E_DIR/notes.log" 2>&1 &
first=$!
env LC_ALL="$E2E_LOCALE" wine "$notes" /title Second copy >>"$E2E_DIR/notes.log" 2>&1 &
second=$!
# A bystander: the driver's test dialog has another window class and must survive.
env LC_ALL="$E2E_LOCALE" wine "$E2E_BIN_DIR/uidriver-testdialog.exe" 'C:\bystander.txt' >>"$E2E_DIR/notes.log" 2>&1 &
bystander=$!
e2e_drive_or_abort wait-window "$EX_CLASS" 30000 wait-window '#32770' 30000 sleep 500 >/dev/null
e2e_check_eq "copies running before the setup" 2 "$(e2e_drive windows "$EX_CLASS")"
e2e_shot "$E2E_NAME-before"

e2e_start_setup "$setup"
e2e_drive_or_abort wait-dialog 60000 >/dev/null
e2e_check "the copies' windows are gone" e2e_drive wait-no-window "$EX_CLASS" 20000
e2e_shot "$E2E_NAME"
for pid in "$first" "$second"; do
  for i in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then
    e2e_fail "the copy with pid $pid is still running"
  else
    wait "$pid"
    e2e_check_eq "exit code of the closed copy" 0 "$?"
  fi
done
e2e_check "the bystander dialog still runs" kill -0 "$bystander"
e2e_check_eq "the setup dialog is still open" "Setup $EX_PRODUCT_LINE" "$(e2e_drive title)"
e2e_drive_or_abort escape >/dev/null
e2e_wait_setup_exit 30
e2e_finish
