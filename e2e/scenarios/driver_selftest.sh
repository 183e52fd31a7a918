#!/usr/bin/env bash
# The UI driver itself, against a stand-in dialog with the setup dialog's controls
# (uidriver-testdialog.exe). The stand-in writes what it holds when it ends, so each of the
# driver's changes is checked from inside the dialog's own process, and its exit code tells
# how it was ended (0 OK, 2 Cancel or Escape, 3 close box).
source "$(dirname "$0")/../lib/harness.sh"
E2E_TEST_DIALOG="$E2E_BIN_DIR/uidriver-testdialog.exe"
e2e_start win32
[ -f "$E2E_TEST_DIALOG" ] || e2e_abort "missing $E2E_TEST_DIALOG"
report='C:\report.txt'

start_dialog() {
  rm -f "$(e2e_unix "$report")"
  env LC_ALL="$E2E_LOCALE" wine "$E2E_TEST_DIALOG" "$report" >>"$E2E_DIR/dialog.log" 2>&1 &
  E2E_SETUP_PID=$!
  e2e_drive_or_abort wait-dialog 30000 >/dev/null
}

# Reading: title, texts, visibility, check states, the list items through the other process.
start_dialog
e2e_shot "$E2E_NAME"
out=$(e2e_drive title text destination visible quick-launch visible desktop-icon checked program-group checked desktop-icon enabled ok)
e2e_check_eq "title, texts, visibility, check states" \
  "Driver Test|C:\\Start|0|1|1|0|1" "$(printf '%s\n' "$out" | paste -sd'|')"
e2e_check_eq "items" "$(printf '0\tUS\t0x00005355\t2\tEnglish\n1\tDE\t0x00004544\t2\tGerman\n2\tRU\t0x00005552\t1\tРусский')" \
  "$(e2e_drive items)"
e2e_check_eq "column header" "Language" "$(e2e_drive column)"
read -r left top right bottom <<<"$(e2e_drive control-rect languages)"
read -r dleft dtop dright dbottom <<<"$(e2e_drive rect)"
e2e_check "the list lies in the right part of the dialog" \
  test "$left" -gt $(((dleft + dright) / 2)) -a "$right" -le "$dright" -a "$top" -gt "$dtop"
e2e_check_eq "dump line of the destination" "1032	Edit	visible	enabled	-	C:\\Start" \
  "$(e2e_drive dump | grep '^1032')"
read -r left top right bottom <<<"$(e2e_drive rect)"
e2e_check "the dialog's rectangle is 330 x 200 dialog units or more on the screen" \
  test $((right - left)) -ge 330 -a $((bottom - top)) -ge 200
e2e_check_not "an unknown control is an error" e2e_drive text 4711
e2e_check_not "an unknown language code is an error" e2e_drive set-item XX 1
e2e_check_not "a missing message box is an error" e2e_drive wait-msgbox 300

# Changing: the destination, check boxes (set and click), list items; OK and the message box.
e2e_drive_or_abort set-text destination 'C:\Program Files\New Target' check desktop-icon 1 click program-group \
  set-item RU 1 set-item de 0 >/dev/null
out=$(e2e_drive mark press ok wait-msgbox 10000 elapsed msgbox-caption msgbox-text msgbox-buttons)
mapfile -t got <<<"$out"
e2e_check "a stopwatch reading in milliseconds" test "${got[0]}" -ge 0 -a "${got[0]}" -lt 10000
e2e_check_eq "message box caption, text and buttons" "C:\\report.txt|Report written.\\r\\nSecond line|1" \
  "${got[1]}|${got[2]}|${got[3]:-}"
e2e_check_not "answer yes finds no Yes button on an OK box" e2e_drive answer yes
e2e_check_eq "the box belongs to the dialog's program" "$(basename "$E2E_TEST_DIALOG")" \
  "$(e2e_drive msgbox-process | sed 's/.*\\//')"
e2e_drive_or_abort dismiss wait-gone 10000 >/dev/null
e2e_wait_setup_exit 20 && e2e_check_eq "exit code after OK" 0 "$E2E_SETUP_EXIT"
e2e_check_eq "what the dialog held at OK" \
  "$(printf '%s\n' 'end=ok' 'dest=C:\Program Files\New Target' box1041=0 box1042=1 box1043=0 \
    'item=US 2' 'item=DE 1' 'item=RU 2')" \
  "$(cat "$(e2e_unix "$report")")"

# Ending: Escape, the close box and Cancel reach the dialog as the user's would.
for case in "escape:cancel:2" "close:close:3" "press 2:cancel:2"; do
  IFS=: read -r action end code <<<"$case"
  start_dialog
  e2e_drive_or_abort $action wait-gone 10000 >/dev/null
  e2e_wait_setup_exit 20 && e2e_check_eq "exit code after $action" "$code" "$E2E_SETUP_EXIT"
  e2e_check_eq "how the dialog ended after $action" "end=$end" "$(head -n1 "$(e2e_unix "$report")")"
done

# Other programs' windows and files.
notes="$KORV_EXAMPLE_DIR/KNotes.exe"
env LC_ALL="$E2E_LOCALE" wine "$notes" >>"$E2E_DIR/dialog.log" 2>&1 &
notes_pid=$!
e2e_check "wait-window finds a window by class" e2e_drive wait-window SampleNotepadWindow 30000
e2e_check_eq "windows counts them" 1 "$(e2e_drive windows SampleNotepadWindow)"
e2e_check_not "wait-no-window times out while it is there" e2e_drive wait-no-window SampleNotepadWindow 300
kill "$notes_pid" 2>/dev/null; wait "$notes_pid" 2>/dev/null
printf 'data' >"$(e2e_unix 'C:\held.txt')"
env LC_ALL="$E2E_LOCALE" wine "$E2E_UIDRIVER" hold 'C:\held.txt' 3000 >"$E2E_DIR/hold.out" 2>&1 &
holder=$!
for i in $(seq 1 100); do grep -q held "$E2E_DIR/hold.out" 2>/dev/null && break; sleep 0.1; done
e2e_check_not "a held file cannot be opened again" e2e_drive hold 'C:\held.txt' 0
wait "$holder"
e2e_check "a released file can be opened" e2e_drive hold 'C:\held.txt' 0
e2e_finish
