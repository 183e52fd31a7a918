#!/usr/bin/env bash
# A product that keeps its folders: its .INF says "Folders=Keep" (the guide's tree: a plugin,
# data in two levels, a language file in its own folder, a language-bound file among the data,
# an empty cache folder). Version 1.0 is installed with French unchecked: every file lands
# under its path, the empty folder is made, and neither French file is written. Version 1.1,
# which has no cache folder, is installed over it; the user then saves a file in a subfolder.
# The registered UninstallString removes the product: the prefix is as before the install but
# for the user's file and the folders that hold it (the cache folder that 1.0 made goes too).
# The same product without the key installs flat, as every product always did.
source "$(dirname "$0")/../lib/harness.sh"
source "$(dirname "$0")/../lib/example.sh"
e2e_start win32

# The tree product in the example's terms (example.sh's checks read these).
EX_GROUP="Tree Demo"
EX_ID="TRD"
EX_EXE="KTree.exe"
EX_PRODUCT_LINE="Tree Demo 1.0"
EX_SUCCESS="Tree Demo has been successfully installed."
EX_UNINSTALL_CAPTION="$EX_GROUP Uninstall"
EX_UNINSTALL_QUESTION[US]="Remove $EX_GROUP and all of its components?"
EX_UNINSTALL_DONE[US]="$EX_GROUP has been removed."
dest=$(ex_destination)

# make_product DIR VERSION KEY [cache]: the tree product; KEY is the .INF's last line.
make_product() {
  local dir=$1
  mkdir -p "$dir/plugins" "$dir/data/levels" "$dir/lang"
  [ "${4:-}" = cache ] && mkdir -p "$dir/cache"
  printf 'Tree Demo Version %s\r\n' "$2" >"$dir/FILE_ID.DIZ"
  printf 'ID=TRD\r\nGroup=Tree Demo\r\nExe=KTree.exe\r\n%s\r\n' "$3" >"$dir/TREE.INF"
  cp "$KORV_EXAMPLE_DIR/KNotes.exe" "$dir/KTree.exe"
  cp "$KORV_EXAMPLE_DIR/KNotes_FR.LNG" "$dir/lang/TREE_FR.LNG"
  printf 'plugin %s\r\n' "$2" >"$dir/plugins/a.dll"
  printf 'level one\r\n' >"$dir/data/x.txt"
  printf 'expert level\r\n' >"$dir/data/levels/expert.txt"
  printf 'niveau un\r\n' >"$dir/data/TREE_FR.TXT"
}
make_product "$E2E_DIR/tree-1.0" 1.0 Folders=Keep cache
make_product "$E2E_DIR/tree-1.1" 1.1 Folders=Keep
make_product "$E2E_DIR/flat" 1.1 ';flat'
e2e_pack "$E2E_DIR/tree-1.0" "$E2E_DIR/TreeSetup10.exe"
e2e_pack "$E2E_DIR/tree-1.1" "$E2E_DIR/TreeSetup11.exe"
e2e_pack "$E2E_DIR/flat" "$E2E_DIR/FlatSetup.exe"
e2e_check "pack warns that the flat product's folders will be flattened" \
  grep -q 'to keep the folders, add the line Folders=Keep' "$E2E_DIR/pack.log"
e2e_check "list says the tree setup keeps the paths" \
  grep -q '^Folders=Keep: the setup writes every file under its path' <("$E2E_SETUPTOOL" list "$E2E_DIR/TreeSetup10.exe")
e2e_check "list shows where the flat setup writes a file of a folder" \
  grep -qF 'data\levels\expert.txt -> expert.txt' <("$E2E_SETUPTOOL" list "$E2E_DIR/FlatSetup.exe")
setup10=$(e2e_place_setup "$E2E_DIR/TreeSetup10.exe")
setup11=$(e2e_place_setup "$E2E_DIR/TreeSetup11.exe")
flat=$(e2e_place_setup "$E2E_DIR/FlatSetup.exe")
before=$(ex_snapshot)

# install SETUP: French unchecked, OK, the success message.
install() {
  e2e_start_setup "$1"
  e2e_drive_or_abort wait-dialog 60000 >/dev/null
  e2e_drive_or_abort set-item FR 0 >/dev/null
  ex_press_ok_expect_success
}

e2e_log "install 1.0 with French unchecked"
install "$setup10"
for path in KTree.exe UnInst.exe 'plugins\a.dll' 'data\x.txt' 'data\levels\expert.txt'; do
  e2e_check_file "$dest\\$path"
done
e2e_check "the empty folder is made" test -d "$(e2e_unix "$dest\\cache")"
e2e_check_absent "$dest\\lang"
e2e_check_absent "$dest\\data\\TREE_FR.TXT"
e2e_check_absent "$dest\\a.dll"
e2e_check_absent "$dest\\TREE.INF"
e2e_check_reg "$(ex_uninstall_key)" CreatedFolders 'data|data\levels|plugins|cache|'

e2e_log "install 1.1 (no cache folder) over it"
EX_PRODUCT_LINE="Tree Demo 1.1"
install "$setup11"
e2e_check "1.1's plugin replaced 1.0's" grep -q 'plugin 1.1' "$(e2e_unix "$dest\\plugins\\a.dll")"
e2e_check_reg "$(ex_uninstall_key)" DisplayVersion 1.1
e2e_check_reg "$(ex_uninstall_key)" CreatedFolders 'data|data\levels|plugins|cache|'
e2e_check_reg "$(ex_uninstall_key)" UninstallString "\"$dest\\UnInst.exe\""

# The user's file in a subfolder: the uninstaller does not know it.
printf 'my own level\r\n' >"$(e2e_unix "$dest\\data\\levels\\mine.txt")"
installed=$(ex_snapshot)

e2e_log "uninstall through the registered UninstallString"
ex_start_uninstall US
ex_answer_yes US
ex_check_no_registry
ex_check_no_shortcuts
kept=$(printf '%s\n' "$installed" |
  grep -E "^\./Program Files[^/]*/$EX_GROUP/(data/(levels/(mine\.txt .*)?)?)?\$" | sed 's/^/> /')
e2e_check_snapshot_diff "the prefix after the uninstall: as before, and the user's file with its folders" \
  "$before" "$(ex_snapshot)" "$kept"

e2e_log "the same product without the key installs flat"
install "$flat"
for name in KTree.exe a.dll x.txt expert.txt; do e2e_check_file "$dest\\$name"; done
e2e_check_absent "$dest\\plugins"
e2e_check_absent "$dest\\cache"
e2e_finish
