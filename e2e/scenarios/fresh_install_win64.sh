#!/usr/bin/env bash
# The fresh install in a 64-bit prefix (Wine's default, like most users' Windows): the 32-bit
# setup proposes the 32-bit program-files folder, its machine-wide registry writes land in the
# registry's 32-bit view (Wow6432Node) and nowhere else, and everything else works as in a
# 32-bit system. This prefix has no Quick Launch folder: box 1043 is hidden.
source "$(dirname "$0")/../lib/harness.sh"
source "$(dirname "$0")/../lib/example.sh"
[ "$E2E_SETUP_ARCH" = x86 ] || e2e_skip "it is about the 32-bit setup on a 64-bit system"
e2e_start win64
ex_fresh_install_scenario no
e2e_check_absent "C:\\Program Files\\$EX_GROUP"
e2e_check_not "no uninstall entry in the 64-bit view" \
  e2e_reg_key_exists "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$EX_GROUP"
e2e_finish
