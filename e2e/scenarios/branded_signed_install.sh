#!/usr/bin/env bash
# A publisher's setup: packed with its own icon and version record and signed by setuptool
# pack --sign with osslsigncode (a throw-away certificate in a .p12 with a password file), which
# signs our uninstaller with its removal record before packing it, then the setup. Both
# signatures verify (osslsigncode verify -CAfile); setuptool test still passes and says
# "signed" and "UnInst.exe: signed". Under Wine the dialog shows the publisher's icon (its
# colour is found in the dialog's icon area of the screenshot), the signed setup installs
# the product, and the installed uninstaller is the signed one: it verifies too, and run
# through the registered UninstallString it finds its record in front of its signature and
# removes everything, leaving the prefix as it was before the install.
source "$(dirname "$0")/../lib/harness.sh"
source "$(dirname "$0")/../lib/example.sh"
e2e_start win32

# bs_field FILE OFFSET: the 32-bit little-endian number at OFFSET of FILE.
bs_field() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }

# bs_verify FILE: osslsigncode verifies FILE's signature against the throw-away certificate.
bs_verify() {
  osslsigncode verify -CAfile "$E2E_DIR/cert.pem" -in "$1" >"$E2E_DIR/verify.log" 2>&1 &&
    grep -q 'Signature verification: ok' "$E2E_DIR/verify.log"
}

# The installed UnInst.exe is ours signed: the stub but for the two header fields signing
# changes (the image checksum, the certificate table's entry), then the record, then the
# signature, which verifies.
ex_check_uninstaller() {
  local file
  file=$(e2e_unix "$1")
  ex_stub_differences "$file"
  e2e_check_eq "$1 differs from the stub in its checksum and certificate entry only" "" "$EX_STUB_DIFFERENCES"
  e2e_check "$1 ends in a certificate table" test "$(($(bs_field "$file" $((EX_STUB_DIRECTORIES + 32))) + \
    $(bs_field "$file" $((EX_STUB_DIRECTORIES + 36)))))" = "$(stat -c %s "$file")"
  e2e_check "osslsigncode verify of the installed $1" bs_verify "$file"
}
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

# The throw-away certificate as a publisher's guide makes it: key and self-signed code-signing
# certificate, then a .p12 protected by a password kept in a file.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$E2E_DIR/key.pem" -out "$E2E_DIR/cert.pem" -days 2 \
  -subj "/CN=Throw-away Test Signer" -addext extendedKeyUsage=codeSigning >/dev/null 2>&1 ||
  e2e_abort "openssl could not make the certificate"
echo "throw-away $$" >"$E2E_DIR/publisher.pass"
openssl pkcs12 -export -inkey "$E2E_DIR/key.pem" -in "$E2E_DIR/cert.pem" -passout "file:$E2E_DIR/publisher.pass" \
  -out "$E2E_DIR/publisher.p12" || e2e_abort "openssl could not make the .p12"
e2e_pack "$KORV_EXAMPLE_DIR" "$E2E_DIR/SignedSetup.exe" --icon "$E2E_DIR/publisher.ico" \
  --version-info 'LegalCopyright=(c) 2026 Sample Co' \
  --sign "osslsigncode sign -pkcs12 '$E2E_DIR/publisher.p12' -readpass '$E2E_DIR/publisher.pass' -h sha256 \
-n '$EX_GROUP' -in {in} -out {out}"
e2e_log "$(cat "$E2E_DIR/pack.log")"
e2e_check "pack signed our uninstaller and the setup" grep -q 'our uninstaller signed, signed: ' "$E2E_DIR/pack.log"
e2e_check_eq "pack's temporary files and signing folder are gone" "" \
  "$(cd "$E2E_DIR" && find . -maxdepth 1 -name 'SignedSetup.exe.*')"
e2e_check "osslsigncode verify of the signed setup" bs_verify "$E2E_DIR/SignedSetup.exe"
"$E2E_SETUPTOOL" test "$E2E_DIR/SignedSetup.exe" >"$E2E_DIR/test.log" 2>&1
e2e_check "setuptool test passes the signed setup" test $? = 0
e2e_check "setuptool test says signed" grep -q '^signed: ' "$E2E_DIR/test.log"
e2e_check "setuptool test says UnInst.exe: signed" grep -qx 'UnInst.exe: signed' "$E2E_DIR/test.log"
e2e_log "signed setup: $(stat -c %s "$E2E_DIR/SignedSetup.exe") bytes"

setup=$(e2e_place_setup "$E2E_DIR/SignedSetup.exe")
before=$(ex_snapshot)
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

e2e_log "uninstall through the registered UninstallString, answered Yes"
ex_start_uninstall US
ex_answer_yes US
ex_check_removed "$(ex_destination)"
e2e_check_snapshot "the prefix after the uninstall is as before the install" "$before" "$(ex_snapshot)"
e2e_finish
