#!/usr/bin/env bash
# Fresh install with the default choices in a 32-bit prefix that has a Quick Launch folder:
# the dialog's US texts, title, language items and proposed folder; after OK every file flat in
# the destination (no .INF), the success message, the remembered folder, the uninstall entry,
# the group's two shortcuts, the desktop and the Quick Launch shortcut.
source "$(dirname "$0")/../lib/harness.sh"
source "$(dirname "$0")/../lib/example.sh"
e2e_start win32
ex_fresh_install_scenario yes
e2e_finish
