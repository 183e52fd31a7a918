#!/usr/bin/env bash
# Uninstalling after an update: version 1.3 of the example, which had a file the newer version
# lacks (OLDNOTES.TXT), is installed, then version 1.4 over it into the remembered folder; the
# uninstall entry then names 1.4 and counts 1.4's files only. The uninstaller of 1.4 removes
# the files of 1.4, the entry, the remembered folder and the shortcuts; its removal record does
# not list OLDNOTES.TXT, so that file stays, and with it the installation folder.
source "$(dirname "$0")/../lib/harness.sh"
source "$(dirname "$0")/../lib/example.sh"
e2e_start win32

dest=$(ex_destination)
old="$E2E_DIR/product-1.3"
cp -r "$KORV_EXAMPLE_DIR" "$old"
sed -i '1s/ Version 1\.4 / Version 1.3 /' "$old/FILE_ID.DIZ"
printf 'What changed in 1.3\r\n' >"$old/OLDNOTES.TXT"
e2e_pack "$old" "$E2E_DIR/SampleSetup13.exe"
e2e_pack "$KORV_EXAMPLE_DIR" "$E2E_DIR/SampleSetup.exe"
setup13=$(e2e_place_setup "$E2E_DIR/SampleSetup13.exe")
setup14=$(e2e_place_setup "$E2E_DIR/SampleSetup.exe")

e2e_log "install 1.3"
e2e_start_setup "$setup13"
e2e_drive_or_abort wait-dialog 60000 >/dev/null
EX_PRODUCT_LINE="$EX_GROUP 1.3" ex_press_ok_expect_success
e2e_check_file "$dest\\OLDNOTES.TXT"
e2e_check_reg "$(ex_uninstall_key)" DisplayVersion 1.3

e2e_log "install 1.4 over it"
e2e_start_setup "$setup14"
e2e_drive_or_abort wait-dialog 60000 >/dev/null
e2e_check_eq "proposed destination (remembered)" "$dest" "$(e2e_drive text destination)"
ex_press_ok_expect_success
EX_OTHER_FILES=(OLDNOTES.TXT)
ex_check_installed "$dest"
ex_check_registry "$dest"

ex_start_uninstall US
ex_answer_yes US
ex_check_removed "$dest"
e2e_check_listing "$(e2e_unix "$dest")" OLDNOTES.TXT
e2e_check_same "$dest\\OLDNOTES.TXT" "$old/OLDNOTES.TXT"
e2e_finish
