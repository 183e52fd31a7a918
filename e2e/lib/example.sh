# What the example product (example/product plus its main program; pack adds our uninstaller)
# must look like in the setup and after an installation. Sourced after harness.sh.

EX_GROUP="Sample Notepad"
EX_ID="SNP"
EX_CLASS="SampleNotepadWindow"
EX_EXE="KNotes.exe"
EX_PRODUCT_LINE="Sample Notepad 1.4"
EX_VERSION="1.4"
EX_PUBLISHER="Korvane Samples"
# The uninstaller stub that pack puts into the payload as UnInst.exe, its removal record behind.
EX_UNINSTALLER_STUB="$E2E_BIN_DIR/UnInst.exe"
EX_SUCCESS="Sample Notepad has been successfully installed."

# Installed file name -> file in the product folder. Every file lands flat in the destination;
# SAMPLE.INF never lands; UnInst.exe (not in the product folder) lands beside them.
declare -A EX_SOURCE=(
  [FILE_ID.DIZ]=FILE_ID.DIZ [KNotes.exe]=KNotes.exe
  [LICENSE.TXT]=LICENSE.TXT [README.TXT]=docs/README.TXT
  [KNotes_FR.LNG]=KNotes_FR.LNG [KNotes_FR.TXT]=KNotes_FR.TXT
  [KNotes_IT.LNG]=KNotes_IT.LNG [KNotes_RU.LNG]=KNotes_RU.LNG
)
# Files bound to a language (prefix KNotes, "_", code).
declare -A EX_LANGUAGE_FILES=(
  [FR]="KNotes_FR.LNG KNotes_FR.TXT" [IT]="KNotes_IT.LNG" [RU]="KNotes_RU.LNG"
)

# The dialog's texts of the three built-in tables, by control id (1000 = title prefix).
declare -A EX_TEXTS_US=(
  [1000]="Setup" [99]="&OK" [2]="Cancel" [1010]="Language" [1031]="Destination folder"
  [1041]="Put entry to Start Menu" [1042]="Create a Desktop icon" [1043]="Create a Quick Launch icon"
)
declare -A EX_TEXTS_DE=(
  [1000]="Installation" [99]="&OK" [2]="Abbruch" [1010]="Sprache" [1031]="Zielpfad:"
  [1041]="Programmgruppe erstellen" [1042]="Desktop-Symbol anlegen"
  [1043]="Symbol in der Schnellstartleiste anlegen"
)
declare -A EX_TEXTS_IT=(
  [1000]="Installazione" [99]="&OK" [2]="Annulla" [1010]="Lingua" [1031]="Destinazione"
  [1041]="Aggiungi collegamento nel menu Programmi" [1042]="Aggiungi collegamento sul desktop"
  [1043]="Aggiungi collegamento sulla barra di Avvio veloce"
)

ex_destination() { echo "$(e2e_program_files)\\$EX_GROUP"; }

# ex_check_texts TABLE: the title, the product line, the controls' texts and the language
# list's column header of one table (TABLE is the name of one of the arrays above).
ex_check_texts() {
  local -n table=$1
  local out id
  out=$(e2e_drive title text title text ok text cancel text destination-label text program-group text desktop-icon text quick-launch column) ||
    { e2e_fail "could not read the dialog's texts"; return 1; }
  mapfile -t got <<<"$out"
  e2e_check_eq "window title" "${table[1000]} $EX_PRODUCT_LINE" "${got[0]}"
  e2e_check_eq "product title (1001)" "$EX_PRODUCT_LINE" "${got[1]}"
  local i=2
  for id in 99 2 1031 1041 1042 1043; do
    e2e_check_eq "text of control $id" "${table[$id]}" "${got[$i]}"
    i=$((i + 1))
  done
  e2e_check_eq "header of the language list" "${table[1010]}" "${got[$i]}"
}

# ex_check_items "CODE STATE TEXT"...: the language list, in its order (index, code, state, text).
ex_check_items() {
  local out expected actual
  out=$(e2e_drive items) || { e2e_fail "could not read the language list"; return 1; }
  actual=$(printf '%s\n' "$out" | awk -F'\t' '{ print $2 " " $4 " " $5 }')
  expected=$(printf '%s\n' "$@")
  e2e_check_eq "language list (code, state image, text)" "$expected" "$actual"
}

# ex_wait_items "CODE STATE TEXT"...: as ex_check_items, for a change the dialog makes on its
# own time (a menu command): the list is read again for up to 3 s until it matches.
ex_wait_items() {
  local expected actual i
  expected=$(printf '%s\n' "$@")
  for i in $(seq 1 30); do
    actual=$(e2e_drive items | awk -F'\t' '{ print $2 " " $4 " " $5 }')
    [ "$actual" = "$expected" ] && break
    sleep 0.1
  done
  e2e_check_eq "language list (code, state image, text)" "$expected" "$actual"
}

# The five items of the example, all with the same state image, in the list's sorted order.
ex_all_items() {
  local state=$1
  printf '%s\n' "US $state English" "FR $state Français " "DE $state German" \
    "IT $state Italiano " "RU $state Русский "
}

# ex_check_boxes G D Q: check states of 1041, 1042, 1043 and the visibility of 1043 (V).
ex_check_boxes() {
  local out
  out=$(e2e_drive checked program-group checked desktop-icon checked quick-launch visible quick-launch) ||
    { e2e_fail "could not read the check boxes"; return 1; }
  e2e_check_eq "check boxes 1041 1042 1043, 1043 visible" "$1 $2 $3 $4" "$(echo $out)"
}

# ex_press_ok_expect_success: OK, the success message, its dismissal, the end of the setup;
# EX_INSTALL_SECONDS is the time from OK to the message.
ex_press_ok_expect_success() {
  local out
  # One driver call from the press to the message, so its stopwatch times the install alone.
  if ! out=$(e2e_drive mark press ok wait-msgbox 120000 elapsed msgbox-caption msgbox-text); then
    e2e_abort "no message box after OK"
  fi
  e2e_shot "$E2E_NAME-message"
  mapfile -t got <<<"$out"
  EX_INSTALL_SECONDS=$(awk -v ms="${got[0]}" 'BEGIN { printf "%.2f", ms / 1000 }')
  e2e_check_eq "success message" "$EX_SUCCESS" "${got[2]:-}"
  e2e_check_eq "success message caption" "${EX_TITLE_PREFIX:-Setup} $EX_PRODUCT_LINE" "${got[1]:-}"
  e2e_drive_or_abort dismiss >/dev/null
  e2e_wait_setup_exit 30 && e2e_check_eq "setup exit code" 0 "$E2E_SETUP_EXIT"
}

# ex_check_installed DEST [CODE...]: every file of the product flat in DEST with its content,
# except the files of the given (unchecked) languages; no SAMPLE.INF, no sub-folder; nothing
# else but the names in EX_OTHER_FILES (files that were there before).
ex_check_installed() {
  local dest=$1 name code skip
  shift
  declare -A skipped=()
  for code in "$@"; do
    for name in ${EX_LANGUAGE_FILES[$code]}; do skipped[$name]=1; done
  done
  local expected=()
  for name in "${!EX_SOURCE[@]}"; do
    [ -n "${skipped[$name]:-}" ] && continue
    expected+=("$name")
    e2e_check_same "$dest\\$name" "$KORV_EXAMPLE_DIR/${EX_SOURCE[$name]}"
  done
  ex_check_uninstaller "$dest\\UnInst.exe"
  e2e_check_listing "$(e2e_unix "$dest")" "${expected[@]}" UnInst.exe ${EX_OTHER_FILES[@]+"${EX_OTHER_FILES[@]}"}
}

# ex_check_uninstaller WINPATH: the installed UnInst.exe is our uninstaller stub with a record
# behind it.
# ex_stub_differences FILE: sets EX_STUB_DIFFERENCES to the offsets at which FILE's first bytes
# differ from the uninstaller stub, but for the two header fields pack and signing write (the
# image checksum of the whole file, record included, and the certificate table's entry),
# empty when FILE begins with the stub; and EX_STUB_DIRECTORIES to the file offset of the
# stub's data directories.
ex_stub_differences() {
  local stub pe magic
  stub=$(stat -c %s "$EX_UNINSTALLER_STUB")
  pe=$(od -An -tu4 -j 60 -N4 "$EX_UNINSTALLER_STUB" | tr -d ' ')
  magic=$(od -An -tu2 -j $((pe + 24)) -N2 "$EX_UNINSTALLER_STUB" | tr -d ' ')
  EX_STUB_DIRECTORIES=$((pe + 24 + (magic == 523 ? 112 : 96)))
  EX_STUB_DIFFERENCES=$(cmp -l -n "$stub" "$1" "$EX_UNINSTALLER_STUB" 2>&1 | awk -v cs=$((pe + 88)) -v ct=$((EX_STUB_DIRECTORIES + 32)) \
    '{ at = $1 - 1; if (!(at >= cs && at < cs + 4) && !(at >= ct && at < ct + 8)) print at }')
}

ex_check_uninstaller() {
  local file stub
  file=$(e2e_unix "$1")
  stub=$(stat -c %s "$EX_UNINSTALLER_STUB" 2>/dev/null) || stub=0
  e2e_check "$1 is the uninstaller stub with a removal record" \
    test -f "$file" -a "$stub" -gt 0 -a "$(stat -c %s "$file" 2>/dev/null || echo 0)" -gt "$stub"
  ex_stub_differences "$file"
  e2e_check_eq "$1 begins with the uninstaller stub (but for its checksum and certificate entry)" "" \
    "$EX_STUB_DIFFERENCES"
}

# ex_estimated_kb DEST: the kilobytes (rounded up) of the product's files in DEST, as the
# uninstall entry should give them: every file the setup wrote (with EX_EXTRA_FILES, files a
# scenario added to the product), nothing a user added.
ex_estimated_kb() {
  local dir name bytes=0
  dir=$(e2e_unix "$1")
  for name in "${!EX_SOURCE[@]}" UnInst.exe ${EX_EXTRA_FILES[@]+"${EX_EXTRA_FILES[@]}"}; do
    [ -f "$dir/$name" ] && bytes=$((bytes + $(stat -c %s "$dir/$name")))
  done
  echo $(((bytes + 1023) / 1024))
}

ex_uninstall_key() { echo "$(e2e_hklm_software)\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$EX_GROUP"; }

# ex_check_registry DEST: the remembered folder and the uninstall entry with everything the
# list of installed programs shows (the size: of the product's files now in DEST).
ex_check_registry() {
  local dest=$1 key
  key=$(ex_uninstall_key)
  e2e_check_reg 'HKCU\Software\Korvane' "$EX_ID" "$dest"
  e2e_check_reg "$key" DisplayName "$EX_GROUP"
  e2e_check_reg "$key" UninstallString "\"$dest\\UnInst.exe\""
  e2e_check_reg "$key" Publisher "$EX_PUBLISHER"
  e2e_check_reg "$key" DisplayVersion "$EX_VERSION"
  e2e_check_reg "$key" DisplayIcon "$dest\\$EX_EXE"
  e2e_check_reg "$key" InstallLocation "$dest"
  e2e_check_reg "$key" EstimatedSize "$(printf '0x%x' "$(ex_estimated_kb "$dest")")"
  e2e_check_reg "$key" NoModify 0x1
  e2e_check_reg "$key" NoRepair 0x1
}

ex_check_no_registry() {
  e2e_check_not "no remembered folder" e2e_reg_value 'HKCU\Software\Korvane' "$EX_ID"
  e2e_check_not "no uninstall entry" e2e_reg_key_exists "$(ex_uninstall_key)"
}

# ex_check_shortcuts DEST QUICKLAUNCH(yes|no): the group's two entries, the desktop icon and
# the Quick Launch icon when asked for.
ex_check_shortcuts() {
  local dest=$1 group
  group="$(e2e_common_programs)\\$EX_GROUP"
  e2e_check_lnk "$group\\$EX_GROUP.lnk" "$dest\\$EX_EXE" "$dest"
  e2e_check_lnk "$group\\Uninstall.lnk" "$dest\\UnInst.exe" "$dest"
  e2e_check_listing "$(e2e_unix "$group")" "$EX_GROUP.lnk" "Uninstall.lnk"
  e2e_check_lnk "$(e2e_desktop)\\$EX_GROUP.lnk" "$dest\\$EX_EXE" "$dest"
  if [ "$2" = yes ]; then
    e2e_check_lnk "$(e2e_quick_launch)\\$EX_GROUP.lnk" "$dest\\$EX_EXE" "$dest"
  else
    e2e_check_absent "$(e2e_quick_launch)\\$EX_GROUP.lnk"
  fi
}

ex_check_no_shortcuts() {
  e2e_check_absent "$(e2e_common_programs)\\$EX_GROUP"
  e2e_check_absent "$(e2e_desktop)\\$EX_GROUP.lnk"
  e2e_check_absent "$(e2e_quick_launch)\\$EX_GROUP.lnk"
}

# ex_fresh_install_scenario QUICKLAUNCH(yes|no): the whole fresh install with default choices:
# what the dialog shows, then everything that lands on disk, in the registry and in the shell.
ex_fresh_install_scenario() {
  local ql=$1 setup dest
  dest=$(ex_destination)
  if [ "$ql" = yes ]; then mkdir -p "$(e2e_unix "$(e2e_quick_launch)")"; fi
  e2e_pack "$KORV_EXAMPLE_DIR" "$E2E_DIR/SampleSetup.exe"
  setup=$(e2e_place_setup "$E2E_DIR/SampleSetup.exe")
  e2e_start_setup "$setup"
  e2e_drive_or_abort wait-dialog 60000 >/dev/null
  e2e_shot "$E2E_NAME"

  ex_check_texts EX_TEXTS_US
  ex_check_items "$(ex_all_items 2)"
  e2e_check_eq "proposed destination" "$dest" "$(e2e_drive text destination)"
  if [ "$ql" = yes ]; then ex_check_boxes 1 1 1 1; else ex_check_boxes 1 1 0 0; fi
  e2e_check_eq "status line before OK" "" "$(e2e_drive text status)"

  ex_press_ok_expect_success
  e2e_log "install took $EX_INSTALL_SECONDS s (OK to message)"
  ex_check_installed "$dest"
  ex_check_registry "$dest"
  ex_check_shortcuts "$dest" "$ql"
  ex_check_shortcut_starts_program "$(e2e_desktop)\\$EX_GROUP.lnk"
}

# ex_check_shortcut_starts_program LINK: opening the shortcut as the shell does starts the
# installed main program (its window appears), which is then closed again.
ex_check_shortcut_starts_program() {
  env LC_ALL="$E2E_LOCALE" wine start "$1" >>"$E2E_DIR/start.log" 2>&1
  e2e_check "opening $1 starts $EX_EXE" e2e_drive wait-window "$EX_CLASS" 30000
  e2e_shot "$E2E_NAME-program"
  wineserver -k >/dev/null 2>&1
}

# --- uninstalling ------------------------------------------------------------------------------

# The uninstaller's texts by the system language (the setup's tables choose alike).
EX_UNINSTALL_CAPTION="$EX_GROUP Uninstall"
declare -A EX_UNINSTALL_QUESTION=(
  [US]="Remove $EX_GROUP and all of its components?"
  [DE]="$EX_GROUP und alle zugehörigen Komponenten entfernen?"
  [IT]="Rimuovere $EX_GROUP e tutti i suoi componenti?"
)
declare -A EX_UNINSTALL_DONE=(
  [US]="$EX_GROUP has been removed." [DE]="$EX_GROUP wurde entfernt." [IT]="$EX_GROUP è stato rimosso."
)

# ex_snapshot: the prefix as an installation of the example touches it (files and folders of
# drive_c, the uninstall key, HKCU\Software\Korvane).
ex_snapshot() { e2e_prefix_snapshot "$(ex_uninstall_key)" 'HKCU\Software\Korvane'; }


# ex_start_uninstall LANG: runs the registered UninstallString as the list of installed programs
# does, and checks its Yes/No question; the question stays open for ex_answer_*.
ex_start_uninstall() {
  local lang=$1 command out
  if ! command=$(e2e_reg_value "$(ex_uninstall_key)" UninstallString); then
    e2e_abort "no UninstallString registered"
  fi
  e2e_run_command_line "$command" "$E2E_DIR/uninstall.out"
  out=$(e2e_drive wait-msgbox 60000 msgbox-caption msgbox-text msgbox-buttons) ||
    e2e_abort "the uninstaller asks nothing: $(cat "$E2E_DIR/uninstall.out")"
  e2e_shot "$E2E_NAME-question"
  mapfile -t got <<<"$out"
  e2e_check_eq "question caption" "$EX_UNINSTALL_CAPTION" "${got[0]}"
  e2e_check_eq "question" "${EX_UNINSTALL_QUESTION[$lang]}" "${got[1]:-}"
  e2e_check_eq "the question's buttons (Yes, No)" "6 7" "${got[2]:-}"
}

# ex_answer_no: No ends the uninstaller with exit code 1.
ex_answer_no() {
  e2e_drive_or_abort answer no >/dev/null
  e2e_wait_command_line 60 "$E2E_DIR/uninstall.out"
  e2e_check_eq "uninstaller exit code after No" 1 "$E2E_RUN_EXIT"
}

# ex_answer_yes LANG: Yes; the final message comes from the uninstaller's copy in the user's
# temporary folder (its program path is kept in EX_UNINSTALL_COPY); dismissed, the uninstaller
# ends with exit code 0. EX_UNINSTALL_SECONDS: from Yes to the final message.
ex_answer_yes() {
  local lang=$1 out temp copy
  out=$(e2e_drive mark answer yes wait-msgbox 120000 elapsed msgbox-caption msgbox-text msgbox-process) ||
    e2e_abort "no final message after Yes: $(cat "$E2E_DIR/uninstall.out")"
  e2e_shot "$E2E_NAME-removed"
  mapfile -t got <<<"$out"
  EX_UNINSTALL_SECONDS=$(awk -v ms="${got[0]}" 'BEGIN { printf "%.2f", ms / 1000 }')
  e2e_check_eq "final message caption" "$EX_UNINSTALL_CAPTION" "${got[1]:-}"
  e2e_check_eq "final message" "${EX_UNINSTALL_DONE[$lang]}" "${got[2]:-}"
  EX_UNINSTALL_COPY=${got[3]:-}
  copy=${EX_UNINSTALL_COPY,,}
  temp="$(e2e_temp)\\"
  temp=${temp,,}
  e2e_check "the final message comes from a copy in the temporary folder ($EX_UNINSTALL_COPY)" \
    test "${copy#"$temp"}" != "$copy"
  e2e_drive_or_abort dismiss >/dev/null
  e2e_wait_command_line 60 "$E2E_DIR/uninstall.out"
  e2e_check_eq "uninstaller exit code after Yes" 0 "$E2E_RUN_EXIT"
  e2e_log "uninstall took $EX_UNINSTALL_SECONDS s (Yes to the final message)"
}

# ex_check_removed DEST: no product file in DEST, no uninstall entry, no remembered folder, no
# shortcut.
ex_check_removed() {
  local name
  for name in "${!EX_SOURCE[@]}" UnInst.exe; do e2e_check_absent "$1\\$name"; done
  ex_check_no_registry
  ex_check_no_shortcuts
}
