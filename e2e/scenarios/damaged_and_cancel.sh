#!/usr/bin/env bash
# Ways to leave the setup without installing.
# 1. A damaged payload (one byte of compressed data changed): the message "Broken file, please
#    download again." with the setup's file name as caption; after it the setup ends and
#    nothing is installed.
# 2. The Escape key (typed on the keyboard), 3. a mouse click on the close box, 4. Cancel: the
#    setup ends without a message, and nothing under C:\ has changed.
source "$(dirname "$0")/../lib/harness.sh"
source "$(dirname "$0")/../lib/example.sh"
e2e_start win32

dest=$(ex_destination)
e2e_pack "$KORV_EXAMPLE_DIR" "$E2E_DIR/SampleSetup.exe"
setup=$(e2e_place_setup "$E2E_DIR/SampleSetup.exe")

damaged="$E2E_DIR/BrokenSetup.exe"
found=$(e2e_damage_payload "$E2E_DIR/SampleSetup.exe" "$damaged") ||
  e2e_abort "could not damage the payload so that setuptool test rejects it"
e2e_log "damaged the byte at offset $found"

e2e_log "1. damaged payload"
broken=$(e2e_place_setup "$damaged")
snapshot_before=$(e2e_disk_snapshot)
e2e_start_setup "$broken"
out=$(e2e_drive wait-msgbox 60000 msgbox-caption msgbox-text) || e2e_abort "no message for the damaged payload"
e2e_shot "$E2E_NAME-broken"
mapfile -t got <<<"$out"
e2e_check_eq "caption of the damage message" "BrokenSetup.exe" "${got[0]}"
e2e_check_eq "damage message" "Broken file, please download again." "${got[1]}"
e2e_drive_or_abort dismiss >/dev/null
e2e_wait_setup_exit 30 && e2e_check_eq "setup exit code" 0 "$E2E_SETUP_EXIT"
e2e_check_absent "$dest"
ex_check_no_registry
ex_check_no_shortcuts
e2e_check_snapshot "files under C:\\ after the damaged payload" "$snapshot_before" "$(e2e_disk_snapshot)"

step=2
for way in "Escape key" "close box" "Cancel button"; do
  e2e_log "$step. $way"
  snapshot_before=$(e2e_disk_snapshot)
  e2e_start_setup "$setup"
  e2e_drive_or_abort wait-dialog 60000 >/dev/null
  [ "$step" = 2 ] && e2e_shot "$E2E_NAME"
  case "$way" in
    "Escape key") e2e_key Escape ;;
    "close box") e2e_click_close_box ;;
    "Cancel button") e2e_drive_or_abort press cancel >/dev/null ;;
  esac
  e2e_check "no message box after the $way" e2e_drive no-msgbox 1500
  e2e_wait_setup_exit 30 && e2e_check_eq "setup exit code after the $way" 0 "$E2E_SETUP_EXIT"
  e2e_check_snapshot "files under C:\\ after the $way" "$snapshot_before" "$(e2e_disk_snapshot)"
  step=$((step + 1))
done
ex_check_no_registry
e2e_finish
