#!/usr/bin/env bash
# A second run over an existing installation. The first run installs into a folder of the
# user's choice with Italian unchecked. The second run proposes that folder exactly as it was
# remembered, unchecks the language that is not installed there (Italian) while the others
# stay checked, and leaves all three check boxes unchecked with box 1043 visible. Its OK
# updates the installation without adding shortcuts of its own, and moves an old PSAPI.DLL
# found in the folder aside to KVPSAPI.DLL.
source "$(dirname "$0")/../lib/harness.sh"
source "$(dirname "$0")/../lib/example.sh"
e2e_start win32

dest='C:\Tools\Notes'
mkdir -p "$(e2e_unix "$(e2e_quick_launch)")"
e2e_pack "$KORV_EXAMPLE_DIR" "$E2E_DIR/SampleSetup.exe"
setup=$(e2e_place_setup "$E2E_DIR/SampleSetup.exe")

e2e_log "first run: install into $dest without Italian"
e2e_start_setup "$setup"
e2e_drive_or_abort wait-dialog 60000 >/dev/null
e2e_drive_or_abort set-text destination "$dest" set-item IT 0 check quick-launch 0 >/dev/null
ex_press_ok_expect_success
ex_check_installed "$dest" IT
ex_check_registry "$dest"

# The desktop shortcut is removed by the user; the update must not bring it back.
rm -f "$(e2e_unix "$(e2e_desktop)\\$EX_GROUP.lnk")"
printf 'old psapi' >"$(e2e_unix "$dest\\PSAPI.DLL")"
e2e_log "second run"
e2e_start_setup "$setup"
e2e_drive_or_abort wait-dialog 60000 >/dev/null
e2e_shot "$E2E_NAME"
e2e_check_eq "proposed destination (remembered)" "$dest" "$(e2e_drive text destination)"
ex_check_items "US 2 English" "FR 2 Français " "DE 2 German" "IT 1 Italiano " "RU 2 Русский "
ex_check_boxes 0 0 0 1
ex_press_ok_expect_success
EX_OTHER_FILES=(KVPSAPI.DLL)
ex_check_installed "$dest" IT
e2e_check "the old PSAPI.DLL moved aside" grep -qx 'old psapi' "$(e2e_unix "$dest\\KVPSAPI.DLL")"
ex_check_registry "$dest"
e2e_check_absent "$(e2e_desktop)\\$EX_GROUP.lnk"
e2e_check_absent "$(e2e_quick_launch)\\$EX_GROUP.lnk"
e2e_finish
