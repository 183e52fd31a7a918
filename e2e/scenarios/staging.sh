#!/usr/bin/env bash
# A file in the destination that cannot be replaced (README.TXT of an earlier copy, held open
# without sharing by another program). The first extraction cannot create it, so the setup
# routes the installation through a staging folder under the user's temporary folder
# (Temp\<random name>\<last component of the destination>) and moves it onto the destination
# with the shell. The setup runs elevated (under Wine too), so the staging root is a folder it
# can trust: a fresh name of 16 hexadecimal digits, never the numbered folder planted
# beforehand, with the protected DACL (read back, under Wine, from the Unix mode it set: no
# entry for everyone). The destination exists, so the move cannot put the staged folder there: the setup
# then shows no message of its own, records nothing, creates no shortcut, leaves the staging
# folder with the complete product on disk and keeps the dialog open. Once the file is free,
# OK again installs directly (no new staging folder) and succeeds.
# Last, with the file held again and the temporary folder on a drive that does not exist, the
# staging attempt fails too: the system's message for error 82 ("Cannot create.") appears and
# the dialog stays open.
source "$(dirname "$0")/../lib/harness.sh"
source "$(dirname "$0")/../lib/example.sh"
e2e_start win32

dest=$(ex_destination)
# The numbered folder of earlier setups, planted with a file of the user's.
mkdir -p "$(e2e_unix "$(e2e_temp)\\1")"
printf 'planted\r\n' >"$(e2e_unix "$(e2e_temp)\\1\\$EX_EXE")"
mkdir -p "$(e2e_unix "$dest")"
printf 'old copy\r\n' >"$(e2e_unix "$dest\\README.TXT")"
env LC_ALL="$E2E_LOCALE" wine "$E2E_UIDRIVER" hold-until "$dest\\README.TXT" 'C:\release.flag' 300000 \
  >"$E2E_DIR/holder.out" 2>&1 &
holder=$!
for i in $(seq 1 100); do grep -q held "$E2E_DIR/holder.out" 2>/dev/null && break; sleep 0.1; done
grep -q held "$E2E_DIR/holder.out" || e2e_abort "the holder could not open README.TXT"

e2e_pack "$KORV_EXAMPLE_DIR" "$E2E_DIR/SampleSetup.exe"
e2e_start_setup "$(e2e_place_setup "$E2E_DIR/SampleSetup.exe")"
e2e_drive_or_abort wait-dialog 60000 >/dev/null
# The destination exists: an update, with the languages it lacks unchecked and no box checked
# (box 1043 hidden: this prefix has no Quick Launch folder, and an update does not change that).
ex_check_items "US 2 English" "FR 1 Français " "DE 2 German" "IT 1 Italiano " "RU 1 Русский "
ex_check_boxes 0 0 0 0
e2e_drive_or_abort set-item FR 1 set-item IT 1 set-item RU 1 check program-group 1 check desktop-icon 1 >/dev/null

e2e_log "OK while README.TXT is in use"
e2e_drive_or_abort press ok >/dev/null
e2e_check "no message box after the failed move" e2e_drive no-msgbox 5000
e2e_shot "$E2E_NAME"
e2e_check_eq "the dialog stays open" "Setup $EX_PRODUCT_LINE" "$(e2e_drive title)"
e2e_check_eq "status line cleared" "" "$(e2e_drive text status)"
e2e_check "README.TXT in use keeps its content" grep -q '^old copy' "$(e2e_unix "$dest\\README.TXT")"
# The staging folder holds the complete product and stays on disk.
root=$(ls "$(e2e_unix "$(e2e_temp)")" | grep -xE '[0-9a-f]{16}')
e2e_log "staging root: Temp\\$root"
e2e_check "one staging root of a fresh random name" test "$(wc -w <<<"$root")" = 1
staging="$(e2e_temp)\\$root\\$EX_GROUP"
ex_check_installed "$staging"
e2e_check_listing "$(e2e_unix "$(e2e_temp)")" 1 "$root"
e2e_check_listing "$(e2e_unix "$(e2e_temp)\\$root")" "$EX_GROUP"
e2e_check "the planted numbered folder is untouched" grep -q planted "$(e2e_unix "$(e2e_temp)\\1\\$EX_EXE")"
sddl=$(env LC_ALL="$E2E_LOCALE" wine "$E2E_BIN_DIR/system_wine_tests.exe" --sddl "$(e2e_temp)\\$root" 2>/dev/null |
  tr -d '\r')
e2e_log "the staging root's DACL read back: $sddl"
e2e_check "the staging root gives everyone nothing" test -n "$sddl" -a "${sddl/;;;WD)/}" = "$sddl"
ex_check_no_registry
ex_check_no_shortcuts

e2e_log "OK again once README.TXT is free"
touch "$(e2e_unix 'C:\release.flag')"
wait "$holder"
e2e_check_eq "the holder released README.TXT" "released" "$(tail -n 1 "$E2E_DIR/holder.out" | tr -d '\r')"
ex_press_ok_expect_success
ex_check_installed "$dest"
ex_check_registry "$dest"
ex_check_shortcuts "$dest" no
e2e_check_listing "$(e2e_unix "$(e2e_temp)")" 1 "$root"

e2e_log "OK while README.TXT is in use and the temporary folder cannot be created"
wine reg add 'HKCU\Environment' /v TEMP /d 'Q:\tmp' /f >/dev/null 2>&1
wine reg add 'HKCU\Environment' /v TMP /d 'Q:\tmp' /f >/dev/null 2>&1
rm -f "$(e2e_unix 'C:\release.flag')"
env LC_ALL="$E2E_LOCALE" wine "$E2E_UIDRIVER" hold-until "$dest\\README.TXT" 'C:\release.flag' 300000 \
  >"$E2E_DIR/holder.out" 2>&1 &
holder=$!
for i in $(seq 1 100); do grep -q held "$E2E_DIR/holder.out" 2>/dev/null && break; sleep 0.1; done
e2e_start_setup "$(e2e_unix "$(e2e_profile)\\Downloads\\SampleSetup.exe")"
e2e_drive_or_abort wait-dialog 60000 >/dev/null
out=$(e2e_drive press ok wait-msgbox 60000 msgbox-caption msgbox-text) || e2e_abort "no message box"
e2e_shot "$E2E_NAME-error82"
mapfile -t got <<<"$out"
e2e_log "caption of the error 82 message: ${got[0]}"
e2e_check_eq "the system's message for error 82, as it comes" 'Cannot create.\r\n' "${got[1]:-}"
e2e_drive_or_abort dismiss >/dev/null
e2e_check_eq "the dialog stays open" "Setup $EX_PRODUCT_LINE" "$(e2e_drive title)"
e2e_drive_or_abort press cancel >/dev/null
e2e_wait_setup_exit 30
touch "$(e2e_unix 'C:\release.flag')"
wait "$holder"
e2e_finish
