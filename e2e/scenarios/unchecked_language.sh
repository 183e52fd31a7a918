#!/usr/bin/env bash
# An unchecked language: French unchecked in the list before OK. Its language file and its
# other language-bound file (KNotes_FR.TXT) are not installed; the other languages' files are.
# The prefix has no Quick Launch folder: box 1043 is hidden and unchecked, and no Quick Launch
# shortcut appears. The desktop box is unchecked too: no desktop shortcut, the group remains.
source "$(dirname "$0")/../lib/harness.sh"
source "$(dirname "$0")/../lib/example.sh"
e2e_start win32

dest=$(ex_destination)
e2e_pack "$KORV_EXAMPLE_DIR" "$E2E_DIR/SampleSetup.exe"
e2e_start_setup "$(e2e_place_setup "$E2E_DIR/SampleSetup.exe")"
e2e_drive_or_abort wait-dialog 60000 >/dev/null
ex_check_boxes 1 1 0 0
e2e_drive_or_abort set-item FR 0 check desktop-icon 0 >/dev/null
ex_check_items "US 2 English" "FR 1 Français " "DE 2 German" "IT 2 Italiano " "RU 2 Русский "
e2e_shot "$E2E_NAME"

ex_press_ok_expect_success
ex_check_installed "$dest" FR
e2e_check_absent "$dest\\KNotes_FR.LNG"
e2e_check_absent "$dest\\KNotes_FR.TXT"
ex_check_registry "$dest"
group="$(e2e_common_programs)\\$EX_GROUP"
e2e_check_lnk "$group\\$EX_GROUP.lnk" "$dest\\$EX_EXE" "$dest"
e2e_check_lnk "$group\\Uninstall.lnk" "$dest\\UnInst.exe" "$dest"
e2e_check_absent "$(e2e_desktop)\\$EX_GROUP.lnk"
e2e_check_absent "$(e2e_quick_launch)"
e2e_finish
