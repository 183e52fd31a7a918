#!/usr/bin/env bash
# The whole lifecycle of the example in a 32-bit prefix, with the setup's own uninstaller (pack
# adds it, the example has none): install with every shortcut; the uninstall entry holds what
# the list of installed programs shows (quoted UninstallString, DisplayVersion, DisplayIcon,
# InstallLocation, EstimatedSize, NoModify, NoRepair). The registered UninstallString is run as
# that list runs it. No changes nothing (exit code 1) and leaves the running main program
# alone. Yes closes the running main program first, removes what the setup made and shows the
# final message from the uninstaller's copy in the temporary folder (exit code 0). The copy's
# folder is one an elevated program trusts (the uninstaller runs elevated, under Wine too): a
# fresh random name, never the numbered folder planted beforehand, with the protected DACL
# (read back, under Wine, from the Unix mode it set: no entry for everyone); a process of the
# user that watches for the copy cannot replace it, open it for writing or rename it (the copy
# is held until it has run), so nothing else runs in its place. The prefix
# is then as before the install, but for the empty key HKCU\Software\Korvane (shared by all
# our products) and a file the user added to the installation folder, which stays with its
# folders. The copy in the temporary folder remains until the next restart
# (it is marked for deletion then); the snapshots leave the temporary folder out, and a restart
# of the prefix at the end shows that it goes.
source "$(dirname "$0")/../lib/harness.sh"
source "$(dirname "$0")/../lib/example.sh"
e2e_start win32

dest=$(ex_destination)
mkdir -p "$(e2e_unix "$(e2e_quick_launch)")"
e2e_pack "$KORV_EXAMPLE_DIR" "$E2E_DIR/SampleSetup.exe"
setup=$(e2e_place_setup "$E2E_DIR/SampleSetup.exe")
before=$(ex_snapshot)

e2e_log "install with every shortcut"
e2e_start_setup "$setup"
e2e_drive_or_abort wait-dialog 60000 >/dev/null
ex_check_boxes 1 1 1 1
ex_press_ok_expect_success
ex_check_installed "$dest"
ex_check_registry "$dest"
ex_check_shortcuts "$dest" yes

# A note of the user's in the installation folder: the uninstaller does not know it.
mkdir -p "$(e2e_unix "$dest\\My Notes")"
printf 'buy milk\r\n' >"$(e2e_unix "$dest\\My Notes\\todo.txt")"
installed=$(ex_snapshot)

notes_running() { [ "$(e2e_drive windows "$EX_CLASS")" = 1 ]; }
env LC_ALL="$E2E_LOCALE" wine "$(e2e_unix "$dest\\$EX_EXE")" >>"$E2E_DIR/notes.log" 2>&1 &
notes=$!
e2e_drive_or_abort wait-window "$EX_CLASS" 30000 >/dev/null

e2e_log "uninstall, answered No"
ex_start_uninstall US
ex_answer_no
e2e_check_snapshot "No changes nothing" "$installed" "$(ex_snapshot)"
e2e_check "the main program still runs after No" notes_running

e2e_log "uninstall, answered Yes, with a process of the user watching for the copy"
# The numbered folder the uninstaller once used, planted with a program of the user's.
mkdir -p "$(e2e_unix "$(e2e_temp)\\1")"
printf 'planted\r\n' >"$(e2e_unix "$(e2e_temp)\\1\\UnInst.exe")"
watcher_exe="$E2E_BIN_DIR/system_wine_tests.exe"
rm -f "$(e2e_unix 'C:\swapped-copy-ran.txt')"
env LC_ALL="$E2E_LOCALE" wine "$watcher_exe" --swap "$(e2e_temp)" UnInst.exe 120000 >"$E2E_DIR/watcher.out" 2>&1 &
watcher=$!
sleep 2  # the watcher is listing the temporary folder before the uninstaller starts
ex_start_uninstall US
ex_answer_yes US
wait "$watcher"
e2e_log "the watcher: $(tr -d '\r' <"$E2E_DIR/watcher.out" | tr '\n' ' ')"
e2e_check "the watcher found the copy" grep -q '^found ' "$E2E_DIR/watcher.out"
e2e_check "the watcher could not replace the held copy (error 32)" grep -q '^replace: failed (error 32)' "$E2E_DIR/watcher.out"
e2e_check "the watcher could not open the copy for writing (error 32)" grep -q '^open for writing: error 32' "$E2E_DIR/watcher.out"
e2e_check "no program of the watcher ran as the copy" test ! -e "$(e2e_unix 'C:\swapped-copy-ran.txt')"
copy_folder=${EX_UNINSTALL_COPY%\\*}
copy_name=${copy_folder##*\\}
e2e_check "the copy's folder has a fresh random name, not the planted folder ($copy_name)" \
  grep -qxE '[0-9a-f]{16}' <<<"$copy_name"
e2e_check "the planted folder is untouched" grep -q planted "$(e2e_unix "$(e2e_temp)\\1\\UnInst.exe")"
sddl=$(env LC_ALL="$E2E_LOCALE" wine "$watcher_exe" --sddl "$copy_folder" 2>/dev/null | tr -d '\r')
e2e_log "the copy's folder's DACL read back: $sddl"
e2e_check "the copy's folder gives everyone nothing" test -n "$sddl" -a "${sddl/;;;WD)/}" = "$sddl"
e2e_check "the running main program was closed" e2e_drive wait-no-window "$EX_CLASS" 1000
for i in $(seq 1 100); do kill -0 "$notes" 2>/dev/null || break; sleep 0.1; done
e2e_check_not "the main program's process has ended" kill -0 "$notes" 2>/dev/null
ex_check_removed "$dest"
# Only the user's note and the folders that hold it remain of the installation.
kept=$(printf '%s\n' "$installed" |
  grep -E "^\./Program Files/$EX_GROUP/(My Notes/(todo\.txt .*)?)?\$" | sed 's/^/> /')
e2e_check_snapshot_diff "the prefix after the uninstall: as before, and the user's note" \
  "$before" "$(ex_snapshot)" "$kept"
e2e_check "the user's note is intact" grep -q 'buy milk' "$(e2e_unix "$dest\\My Notes\\todo.txt")"

copy=$(e2e_unix "$EX_UNINSTALL_COPY")
e2e_log "left in the temporary folder: $(cd "$(e2e_unix "$(e2e_temp)")" && find . -mindepth 1 | tr '\n' ' ')"
wine wineboot -r >/dev/null 2>&1
wineserver -w
e2e_check "after a restart the uninstaller's copy is gone" test ! -e "$copy"
e2e_log "left in the temporary folder after the restart: $(cd "$(e2e_unix "$(e2e_temp)")" && find . -mindepth 1 | tr '\n' ' ')"
e2e_finish
