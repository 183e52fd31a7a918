#!/usr/bin/env bash
# A publisher's setup: packed with its own icon and version record, signed with osslsigncode
# (a throw-away certificate), the signature's digest verified; setuptool test still passes
# and says "signed"; under Wine the dialog shows the publisher's icon (its colour is found
# in the dialog's icon area of the screenshot) and the signed setup installs the product.
source "$(dirname "$0")/../lib/harness.sh"
source "$(dirname "$0")/../lib/example.sh"
e2e_start win32
for tool in convert icotool osslsigncode openssl; do
  command -v "$tool" >/dev/null || e2e_abort "$tool is not installed (scripts/install-deps)"
done

# The icon: a colour found nowhere in our own icon or the dialog, with a dark border so
# that its images stay two-colour bitmaps and keep the colour exactly.
colour='#12C48A'
for size in 16 32 48; do
  convert -size ${size}x${size} xc:"$colour" -fill '#202020' -draw "rectangle 0,0 $((size - 1)),1" \
    "$E2E_DIR/icon$size.png"
done
icotool -c -o "$E2E_DIR/publisher.ico" "$E2E_DIR/icon16.png" "$E2E_DIR/icon32.png" "$E2E_DIR/icon48.png"

e2e_pack "$KORV_EXAMPLE_DIR" "$E2E_DIR/SampleSetup.exe" --quiet --icon "$E2E_DIR/publisher.ico" \
  --version-info 'LegalCopyright=(c) 2026 Sample Co' >/dev/null
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$E2E_DIR/key.pem" -out "$E2E_DIR/cert.pem" -days 2 \
  -subj "/CN=Throw-away Test Signer" -addext extendedKeyUsage=codeSigning >/dev/null 2>&1
osslsigncode sign -certs "$E2E_DIR/cert.pem" -key "$E2E_DIR/key.pem" -h sha256 -n "$EX_GROUP" \
  -in "$E2E_DIR/SampleSetup.exe" -out "$E2E_DIR/SignedSetup.exe" >"$E2E_DIR/sign.log" 2>&1 ||
  e2e_abort "osslsigncode sign failed: $(tail -n 2 "$E2E_DIR/sign.log")"
osslsigncode verify -CAfile "$E2E_DIR/cert.pem" -in "$E2E_DIR/SignedSetup.exe" >"$E2E_DIR/verify.log" 2>&1
e2e_check "osslsigncode verify of the signed setup" grep -q 'Signature verification: ok' "$E2E_DIR/verify.log"
"$E2E_SETUPTOOL" test "$E2E_DIR/SignedSetup.exe" >"$E2E_DIR/test.log" 2>&1
e2e_check "setuptool test passes the signed setup" test $? = 0
e2e_check "setuptool test says signed" grep -q '^signed: ' "$E2E_DIR/test.log"
e2e_log "signed setup: $(stat -c %s "$E2E_DIR/SignedSetup.exe") bytes"

setup=$(e2e_place_setup "$E2E_DIR/SignedSetup.exe")
e2e_start_setup "$setup"
e2e_drive_or_abort wait-dialog 60000 >/dev/null
sleep 1
e2e_shot "$E2E_NAME"
# The icon control sits in the dialog's top right corner, the caption icon at the left of
# its title bar: count the pixels of the icon's colour in each.
read -r left top right bottom <<<"$(e2e_drive rect)"
count_colour() {
  convert "$KORV_E2E_SHOTS/$E2E_NAME.png" -crop "$1" +repage txt:- 2>/dev/null | grep -ci "$colour" || true
}
icon_pixels=$(count_colour "80x80+$((right - 80))+$((top + 20))")
caption_pixels=$(count_colour "40x30+$left+$top")
e2e_log "pixels of the icon's colour: $icon_pixels in the icon area, $caption_pixels in the caption"
e2e_check "the dialog shows the publisher's 32 x 32 icon ($icon_pixels pixels of its colour)" test "$icon_pixels" -ge 700
e2e_check "the caption shows the publisher's small icon ($caption_pixels pixels of its colour)" test "$caption_pixels" -ge 150

ex_press_ok_expect_success
ex_check_installed "$(ex_destination)"
ex_check_registry "$(ex_destination)"
e2e_finish
