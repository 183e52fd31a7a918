#!/usr/bin/env bash
# DLL planting: marker DLLs lie beside the setup in the download folder (also its current
# folder) under the names of DLLs that the setup and the shell load during a run and that the
# system does not always take from its own folder (e2e/planted). Wine is told to prefer them
# to its own (name=n,b), which makes it behave as Windows does for a DLL in the program's
# folder. A whole installation runs — dialog, folder browser, OK, files, shortcuts, success
# message — and none of the planted DLLs may have been loaded: each writes a marker file
# beside itself when it is. First, the same DLLs loaded on purpose must leave their markers,
# so that their absence later means something. Then the uninstaller runs as the list of
# installed programs runs it, with the same DLLs planted beside it in the installation folder;
# its copy runs from a fresh folder it creates under the temporary folder, where nothing can
# lie in wait.
source "$(dirname "$0")/../lib/harness.sh"
source "$(dirname "$0")/../lib/example.sh"
e2e_start win32

planted_dir="$E2E_BIN_DIR/planted"
mapfile -t planted < <(cd "$planted_dir" 2>/dev/null && ls -- *.dll)
[ ${#planted[@]} -gt 0 ] || e2e_abort "no planted DLLs in $planted_dir (scripts/build)"
overrides=$WINEDLLOVERRIDES
for dll in "${planted[@]}"; do overrides="$overrides;${dll%.dll}=n,b"; done
e2e_log "planted: ${planted[*]}"

# The markers in a folder, as "DLL: program that loaded it; " for each.
markers() {
  local marker
  for marker in "$1"/*.dll.loaded; do
    [ -f "$marker" ] || continue
    printf '%s: %s; ' "$(basename "$marker" .loaded)" "$(iconv -f UTF-16LE -t UTF-8 "$marker" | tr '\n' ' ')"
  done
}

# The planted DLLs work: loaded by full path (regsvr32), every one leaves its marker.
control=$(e2e_unix 'C:\planted-control')
mkdir -p "$control"
cp "$planted_dir"/*.dll "$control/"
control_paths=()
for dll in "${planted[@]}"; do control_paths+=("C:\\planted-control\\$dll"); done
env WINEDLLOVERRIDES="$overrides" wine regsvr32 /s "${control_paths[@]}" >>"$E2E_DIR/control.log" 2>&1
e2e_check_eq "planted DLLs loaded on purpose leave their markers" "${#planted[@]}" \
  "$(find "$control" -name '*.dll.loaded' | wc -l)"

# The setup in the download folder, among the planted DLLs, started from there.
dest=$(ex_destination)
mkdir -p "$(e2e_unix "$(e2e_quick_launch)")"
e2e_pack "$KORV_EXAMPLE_DIR" "$E2E_DIR/SampleSetup.exe"
setup=$(e2e_place_setup "$E2E_DIR/SampleSetup.exe")
downloads=$(dirname "$setup")
cp "$planted_dir"/*.dll "$downloads/"
cd "$downloads" || e2e_abort "no download folder"
e2e_start_setup "$setup" WINEDLLOVERRIDES="$overrides"
cd "$E2E_DIR" || exit 1
# A planted DLL loaded in place of a system DLL usually makes the setup fail: say which.
if ! e2e_drive wait-dialog 60000 >/dev/null; then
  e2e_check_eq "planted DLLs loaded before the dialog" "" "$(markers "$downloads")"
  e2e_abort "no setup dialog"
fi
e2e_shot "$E2E_NAME"
ex_check_items "$(ex_all_items 2)"
e2e_check_eq "folder browser opens" "Desktop > My Computer >  (C:) > Program Files" \
  "$(e2e_drive press browse wait-browser 20000 browser-selection)"
e2e_drive_or_abort browser-cancel >/dev/null
ex_press_ok_expect_success
ex_check_installed "$dest"
ex_check_shortcuts "$dest" yes

found=$(markers "$downloads")
e2e_check_eq "planted DLLs loaded during the run" "" "$found"

installed=$(e2e_unix "$dest")
cp "$planted_dir"/*.dll "$installed/"
export WINEDLLOVERRIDES="$overrides"
ex_start_uninstall US
ex_answer_yes US
e2e_check_eq "planted DLLs loaded by the uninstaller" "" "$(markers "$installed")"
e2e_check_absent "$dest\\$EX_EXE"
e2e_finish
