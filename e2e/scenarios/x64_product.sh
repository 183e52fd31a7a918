#!/usr/bin/env bash
# A 64-bit product with the 64-bit setup, where Windows users and admins expect it: the main
# program is an x86-64 program, pack is told --arch x64 and has nothing to warn about; the
# setup proposes and fills C:\Program Files (not the 32-bit program-files folder), writes its
# uninstall entry in the registry's native view (nothing under Wow6432Node), creates the
# group's and the desktop's shortcuts, which start the 64-bit program; the registered
# UninstallString runs the 64-bit uninstaller, which removes exactly that, and the prefix is
# as before.
source "$(dirname "$0")/../lib/harness.sh"
source "$(dirname "$0")/../lib/example.sh"
[ "$E2E_SETUP_ARCH" = x64 ] || e2e_skip "it is about the 64-bit setup"
e2e_start win64

# The PE machine of a file (the COFF header's first field), as four hex digits.
machine() { od -An -tx2 -j"$(($(od -An -tu4 -j60 -N4 "$1" | tr -d ' ') + 4))" -N2 "$1" | tr -d ' '; }

dest=$(ex_destination)
e2e_check_eq "the destination" 'C:\Program Files\Sample Notepad' "$dest"
e2e_check_eq "the example's main program is an x86-64 program" 8664 "$(machine "$KORV_EXAMPLE_DIR/$EX_EXE")"
e2e_pack "$KORV_EXAMPLE_DIR" "$E2E_DIR/SampleSetup.exe"
e2e_check_not "pack has nothing to say about the architecture" grep -q -- '--arch' "$E2E_DIR/pack.log"
e2e_check_eq "the setup program is an x86-64 program" 8664 "$(machine "$E2E_DIR/SampleSetup.exe")"
setup=$(e2e_place_setup "$E2E_DIR/SampleSetup.exe")
before=$(ex_snapshot)

e2e_start_setup "$setup"
e2e_drive_or_abort wait-dialog 60000 >/dev/null
e2e_shot "$E2E_NAME"
e2e_check_eq "proposed destination" "$dest" "$(e2e_drive text destination)"
ex_press_ok_expect_success
ex_check_installed "$dest"
ex_check_registry "$dest"
ex_check_shortcuts "$dest" no
e2e_check_eq "the installed uninstaller is an x86-64 program" 8664 "$(machine "$(e2e_unix "$dest\\UnInst.exe")")"
e2e_check_absent "C:\\Program Files (x86)\\$EX_GROUP"
e2e_check_not "nothing in the registry's 32-bit view" \
  e2e_reg_key_exists "HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$EX_GROUP"
ex_check_shortcut_starts_program "$(e2e_desktop)\\$EX_GROUP.lnk"

ex_start_uninstall US
ex_answer_yes US
ex_check_removed "$dest"
e2e_check_snapshot "the prefix after the uninstall: as before" "$before" "$(ex_snapshot)"
e2e_finish
