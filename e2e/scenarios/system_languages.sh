#!/usr/bin/env bash
# German and Italian system languages (LC_ALL): the dialog's texts and the built-in language
# items come from those tables. The German run installs and checks the German success
# message; the Italian run is left with Escape.
source "$(dirname "$0")/../lib/harness.sh"
source "$(dirname "$0")/../lib/example.sh"
e2e_start win32

e2e_pack "$KORV_EXAMPLE_DIR" "$E2E_DIR/SampleSetup.exe"
setup=$(e2e_place_setup "$E2E_DIR/SampleSetup.exe")

e2e_log "German system language"
E2E_LOCALE=de_DE.UTF-8
e2e_start_setup "$setup"
e2e_drive_or_abort wait-dialog 60000 >/dev/null
e2e_shot "$E2E_NAME-de"
ex_check_texts EX_TEXTS_DE
ex_check_items "DE 2 Deutsch" "US 2 Englisch" "FR 2 Français " "IT 2 Italiano " "RU 2 Русский "
EX_SUCCESS="Sample Notepad wurde erfolgreich installiert." EX_TITLE_PREFIX=Installation \
  ex_press_ok_expect_success
ex_check_installed "$(ex_destination)"

e2e_log "Italian system language"
E2E_LOCALE=it_IT.UTF-8
e2e_start_setup "$setup"
e2e_drive_or_abort wait-dialog 60000 >/dev/null
e2e_shot "$E2E_NAME-it"
ex_check_texts EX_TEXTS_IT
ex_check_items "US 2 English" "FR 2 Français " "DE 2 German" "IT 2 Italiano " "RU 2 Русский "
e2e_drive_or_abort escape >/dev/null
e2e_wait_setup_exit 30 && e2e_check_eq "setup exit code" 0 "$E2E_SETUP_EXIT"
e2e_finish
