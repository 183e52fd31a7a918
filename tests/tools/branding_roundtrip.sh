#!/usr/bin/env bash
# The publisher's icon, version record, checksum and signature in a setup packed with the
# real stub, read back by tools that are not ours: python3-pefile (every icon image, the
# group icon, every version field, the checksum), wrestool and objdump (a valid image), and
# osslsigncode (signing with a throw-away certificate, then its digest check), after which
# setuptool test still passes and says "signed". A bad icon file is refused, nothing written.
#
# Usage: branding_roundtrip.sh SETUP_EXE SETUPTOOL WORK_DIR
set -uo pipefail
stub=$1 setuptool=$2 work=$3 here=$(cd "$(dirname "$0")" && pwd)
for tool in convert icotool wrestool i686-w64-mingw32-objdump osslsigncode openssl; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/install-deps)"; exit 77; }
done
/usr/bin/python3 -c 'import pefile' 2>/dev/null || { echo "SKIP: python3-pefile is not installed"; exit 77; }
[ -f "$stub" ] || { echo "SKIP: no $stub (build the 32-bit Windows tree)"; exit 77; }

failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }
rm -rf "$work" && mkdir -p "$work/product"
cd "$work"
printf 'Branded Tool Version 3.2.1 (beta)\r\n' >product/FILE_ID.DIZ
printf 'ID=BRT\r\nGroup=Branded Tool\r\nPublisher=Sample Co \xe9ditions\r\n' >product/BRAND.INF
printf 'data\r\n' >product/KBrand.exe

# Icons of several sizes and bit depths: 1, 4, 8 and 24 bits per pixel as bitmaps, 32 bits
# as a PNG image.
convert -size 16x16 xc:'#FF00FF' i16.png
convert -size 32x32 xc:'#00FF00' -fill '#FF00FF' -draw 'rectangle 8,8 23,23' -fill '#0000FF' -draw 'point 1,1' i32.png
convert -size 48x48 gradient:'#00FF00-#0000FF' i48.png
convert -seed 3 -size 32x32 plasma:fractal -alpha set -channel A -evaluate set 50% +channel PNG32:i32a.png
convert -seed 4 -size 64x64 plasma:fractal PNG32:i64.png
icotool -c -o icon.ico i16.png i32.png i48.png i32a.png --raw=i64.png
icotool -l icon.ico

"$setuptool" pack product -o Setup.exe --stub "$stub" --quiet --icon icon.ico \
  --version-info 'LegalCopyright=(c) 2026 Sample Co' --version-info Comments= || fail "pack with --icon"
/usr/bin/python3 "$here/branding_check.py" Setup.exe icon.ico 3.2.1.0 \
  'ProductName=Branded Tool' 'ProductVersion=3.2.1' 'FileVersion=3.2.1' \
  'FileDescription=Branded Tool Setup' 'CompanyName=Sample Co éditions' \
  'LegalCopyright=(c) 2026 Sample Co' 'OriginalFilename=Setup.exe' || fail "read back by pefile"
[ "$(wrestool -l Setup.exe | grep -c -- '--type=3 ')" = "$(icotool -l icon.ico | wc -l)" ] || fail "wrestool: icon images"
wrestool -l Setup.exe | grep -q -- '--type=14 --name=1 ' || fail "wrestool: group icon 1"
wrestool -l Setup.exe | grep -q -- '--type=5 --name=1000 ' || fail "wrestool: dialog 1000 kept"
i686-w64-mingw32-objdump -p Setup.exe >objdump.txt 2>&1 || fail "objdump -p"
grep -q 'Resource Directory \[.rsrc\]' objdump.txt || fail "objdump: resource directory"
"$setuptool" test Setup.exe >test.txt 2>&1 || fail "setuptool test of the branded setup: $(tail -1 test.txt)"
grep -qx unsigned test.txt || fail "setuptool test does not say unsigned"

# Signing, as a publisher does it, with a certificate made for this test only.
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=Throw-away Test Signer" -addext extendedKeyUsage=codeSigning >/dev/null 2>&1
osslsigncode sign -certs cert.pem -key key.pem -h sha256 -n "Branded Tool" -in Setup.exe -out Signed.exe >/dev/null ||
  fail "osslsigncode sign"
osslsigncode verify -CAfile cert.pem -in Signed.exe >verify.txt 2>&1 || fail "osslsigncode verify: $(tail -3 verify.txt)"
grep -q 'Signature verification: ok' verify.txt || fail "osslsigncode verify: no ok"
"$setuptool" test Signed.exe >signed.txt 2>&1 || fail "setuptool test of the signed setup: $(tail -1 signed.txt)"
grep -q '^signed: certificate table' signed.txt || fail "setuptool test does not say signed"
grep -q 'warning' signed.txt && fail "setuptool test warns about the signed setup: $(grep warning signed.txt)"
# Bytes behind the signature that are neither it nor padding are named.
cp Signed.exe Tampered.exe && printf 'extra' >>Tampered.exe
"$setuptool" test Tampered.exe >tampered.txt 2>&1
grep -q 'neither a signature nor padding' tampered.txt || fail "no warning about stray bytes"

# A bad icon file: refused with its reason, nothing written.
head -c 100 icon.ico >cut.ico
printf 'not an icon' >text.ico
for bad in cut.ico text.ico; do
  if "$setuptool" pack product -o Bad.exe --stub "$stub" --quiet --icon "$bad" 2>bad.txt; then fail "$bad accepted"; fi
  grep -q "the icon $bad " bad.txt || fail "$bad: no clear message: $(cat bad.txt)"
  [ ! -e Bad.exe ] || fail "$bad: something was written"
done

[ "$failures" = 0 ] && echo "PASSED" || exit 1
