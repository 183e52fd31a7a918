#!/usr/bin/env bash
# A payload of more than 250 MB: the example product plus 20 MB of incompressible data, a
# 35 MB text and 200 MB of real program code (Wine's x86-64 DLLs, one after the other in one
# file). Everything lands intact; the wall time of the install (OK to the success message)
# is printed beside the time of `setuptool test` on the same file, and the setup's start (the
# scan pass over the whole payload, up to the dialog) beside it. While the long scan runs, a
# small window with the setup's caption shows that it is checking, and it is the first window
# seen; then the dialog. The same payload damaged still ends with the damaged message and
# nothing written.
#
# The program code is what makes the scan long: stored data and a repetitive text are checked
# in a fraction of the window's delay, and the window, closed as soon as the scan ends, would
# not show at all; 200 MB of code take the scan well past it on this kind of machine.
source "$(dirname "$0")/../lib/harness.sh"
source "$(dirname "$0")/../lib/example.sh"
e2e_start win32

product="$E2E_DIR/large-product"
cp -r "$KORV_EXAMPLE_DIR" "$product"
head -c 20000000 /dev/urandom >"$product/MEDIA.BIN"
seq -f 'Line %.0f of the Sample Notepad manual: the quick brown fox jumps over the lazy dog.' \
  1 420000 >"$product/MANUAL.TXT"
dlls=${KORV_E2E_DLLS64:-/usr/lib/x86_64-linux-gnu/wine/x86_64-windows}
[ -d "$dlls" ] || e2e_abort "no DLL folder $dlls (install wine64)"
# head ends the pipe once it has its bytes: cat's broken pipe is expected.
find "$dlls" -maxdepth 1 -name '*.dll' -type f | LC_ALL=C sort | { xargs cat 2>/dev/null || true; } |
  head -c 200000000 >"$product/LIBRARY.BIN"
payload_bytes=$(du -sb "$product" | cut -f1)
e2e_check "payload of at least 250 MB" test "$payload_bytes" -ge 250000000

e2e_pack "$product" "$E2E_DIR/LargeSetup.exe"
t0=$(e2e_now)
"$E2E_SETUPTOOL" test "$E2E_DIR/LargeSetup.exe" >"$E2E_DIR/test.log" 2>&1
e2e_check_eq "setuptool test exit code" 0 "$?"
test_seconds=$(e2e_elapsed "$t0" "$(e2e_now)")

setup=$(e2e_place_setup "$E2E_DIR/LargeSetup.exe")
e2e_watch_windows 40000 "$E2E_DIR/windows.out"
t0=$(e2e_now)
e2e_start_setup "$setup"
e2e_drive_or_abort wait-dialog 300000 >/dev/null
scan_seconds=$(e2e_elapsed "$t0" "$(e2e_now)")
wait "$E2E_WATCHER"
seen=$(e2e_watched_windows "$E2E_DIR/windows.out")
e2e_check_eq "the first window is the checking window, the second the dialog" \
  "#32770 Setup;#32770 Setup $EX_PRODUCT_LINE;" "$(printf '%s\n' "$seen" | head -n 2 | tr '\n' ';')"
e2e_shot "$E2E_NAME"
ex_press_ok_expect_success

dest=$(ex_destination)
for name in MEDIA.BIN MANUAL.TXT LIBRARY.BIN; do
  e2e_check_same "$dest\\$name" "$product/$name"
done
EX_EXTRA_FILES=(MEDIA.BIN MANUAL.TXT LIBRARY.BIN)
ex_check_registry "$dest"
e2e_log "payload $payload_bytes bytes, setup $(stat -c %s "$E2E_DIR/LargeSetup.exe") bytes"
e2e_log "TIMES: install (OK to message) $EX_INSTALL_SECONDS s | setuptool test $test_seconds s | setup start to dialog (scan pass) $scan_seconds s"
e2e_log "the damaged large payload"
damaged="$E2E_DIR/BrokenLargeSetup.exe"
e2e_damage_payload "$E2E_DIR/LargeSetup.exe" "$damaged" 75 60 85 >/dev/null || e2e_abort "could not damage the large payload"
broken=$(e2e_place_setup "$damaged")
rm -f "$damaged"
before=$(e2e_disk_snapshot)
e2e_start_setup "$broken"
out=$(e2e_drive wait-msgbox 300000 msgbox-text) || e2e_abort "no message for the damaged large payload"
e2e_check_eq "message for the damaged large payload" "Broken file, please download again." "$out"
e2e_drive_or_abort dismiss >/dev/null
e2e_wait_setup_exit 60
e2e_check_snapshot "files after the damaged large payload" "$before" "$(e2e_disk_snapshot)"
rm -f "$broken"

# 255 MB of generated files are kept only when something failed.
[ "$E2E_FAILURES" = 0 ] && rm -rf "$product" "$E2E_DIR/LargeSetup.exe"
e2e_finish
