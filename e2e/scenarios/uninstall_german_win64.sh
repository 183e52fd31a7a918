#!/usr/bin/env bash
# Install and uninstall in a 64-bit prefix with German as the system language: the uninstaller
# asks and reports in German, removes the entry it finds in the view its setup wrote (the
# 32-bit programs see C:\Program Files (x86) and the registry's 32-bit view, the 64-bit ones
# the native ones), and the prefix is afterwards as before the install (the temporary folder
# left out, where the uninstaller's copy waits for the next restart).
source "$(dirname "$0")/../lib/harness.sh"
source "$(dirname "$0")/../lib/example.sh"
e2e_start win64
E2E_LOCALE=de_DE.UTF-8

dest=$(ex_destination)
e2e_pack "$KORV_EXAMPLE_DIR" "$E2E_DIR/SampleSetup.exe"
setup=$(e2e_place_setup "$E2E_DIR/SampleSetup.exe")
before=$(ex_snapshot)

e2e_start_setup "$setup"
e2e_drive_or_abort wait-dialog 60000 >/dev/null
EX_SUCCESS="$EX_GROUP wurde erfolgreich installiert." EX_TITLE_PREFIX=Installation \
  ex_press_ok_expect_success
ex_check_installed "$dest"
ex_check_registry "$dest"
if [ "$E2E_SETUP_ARCH" = x86 ]; then
  e2e_check_eq "the installation folder is the 32-bit one" 'C:\Program Files (x86)' "$(e2e_program_files)"
else
  e2e_check_eq "the installation folder is the native one" 'C:\Program Files' "$(e2e_program_files)"
fi

ex_start_uninstall DE
ex_answer_yes DE
ex_check_removed "$dest"
e2e_check_snapshot "the prefix after the uninstall: as before" "$before" "$(ex_snapshot)"
e2e_finish
