#!/usr/bin/env bash
# The dialog's other controls, used with the mouse and keyboard as a person would:
# - the "..." button opens the shell's folder browser on the proposed folder, or on its parent
#   when it does not exist yet; Cancel leaves the destination as it was, OK puts the chosen
#   folder into it; with an empty destination the browser opens without a selection;
# - the language list's context menu (right click) with "Select all", "Deselect all" and
#   "Invert selection", chosen by their underlined letters.
source "$(dirname "$0")/../lib/harness.sh"
source "$(dirname "$0")/../lib/example.sh"
e2e_start win32

e2e_pack "$KORV_EXAMPLE_DIR" "$E2E_DIR/SampleSetup.exe"
e2e_start_setup "$(e2e_place_setup "$E2E_DIR/SampleSetup.exe")"
e2e_drive_or_abort wait-dialog 60000 >/dev/null
dest=$(ex_destination)

e2e_log "folder browser"
e2e_check_eq "browser on the parent of a folder that does not exist yet" \
  "Desktop > My Computer >  (C:) > Program Files" \
  "$(e2e_drive press browse wait-browser 20000 browser-selection)"
e2e_shot "$E2E_NAME-browser"
e2e_check_eq "Cancel keeps the destination" "$dest" "$(e2e_drive browser-cancel text destination)"
e2e_check_eq "browser on an existing folder" \
  "Desktop > My Computer >  (C:) > Program Files > Common Files" \
  "$(e2e_drive set-text destination 'C:\Program Files\Common Files' press browse wait-browser 20000 browser-selection)"
e2e_drive_or_abort browser-ok >/dev/null
e2e_check_eq "OK puts the chosen folder into the destination" 'C:\Program Files\Common Files' \
  "$(e2e_drive text destination)"
e2e_check_not "no selection for an empty destination" \
  e2e_drive set-text destination '' press browse wait-browser 20000 browser-selection
e2e_drive_or_abort browser-cancel >/dev/null
e2e_check_eq "Cancel keeps the empty destination" "" "$(e2e_drive text destination)"

e2e_log "context menu of the language list"
menu() {
  e2e_right_click_control languages
  sleep 0.5
  [ -n "${2:-}" ] && e2e_shot "$2"
  e2e_key "$1"
}
menu d "$E2E_NAME-menu"
ex_wait_items "$(ex_all_items 1)"
menu i
ex_wait_items "$(ex_all_items 2)"
e2e_drive_or_abort set-item FR 0 set-item RU 0 >/dev/null
menu i
ex_wait_items "US 1 English" "FR 2 Français " "DE 1 German" "IT 1 Italiano " "RU 2 Русский "
menu a
ex_wait_items "$(ex_all_items 2)"

e2e_drive_or_abort press cancel >/dev/null
e2e_wait_setup_exit 30 && e2e_check_eq "setup exit code" 0 "$E2E_SETUP_EXIT"
e2e_check_absent "$dest"
e2e_finish
