#!/usr/bin/env bash
# setuptool manifest on the packed example product, for each architecture whose stubs were
# built: every field of the three files, read back by PyYAML, says what the setup does (the
# hash is the one sha256sum computes). The 64-bit run gives the product a name and a
# publisher with ":", "#" and quotes, a version record that differs from FILE_ID.DIZ's
# version, and the .INF's URL and HelpURL. Refused, with nothing written: a file that is no
# setup, a bare archive, a setup whose payload is damaged, an identifier off the schema.
#
# Usage: manifest_check.sh SETUPTOOL DEPLOYMENT_H WIN32_BIN_DIR WIN64_BIN_DIR EXAMPLE_X86 EXAMPLE_X64 WORK_DIR
set -uo pipefail
setuptool=$1 header=$2 bin32=$3 bin64=$4 example32=$5 example64=$6 work=$7
here=$(cd "$(dirname "$0")" && pwd)
/usr/bin/python3 -c 'import yaml' 2>/dev/null ||
  { echo "FAILED: python3-yaml is not installed (scripts/install-deps installs it)"; exit 1; }

failures=0 runs=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }
rm -rf "$work" && mkdir -p "$work"
cd "$work"
url=https://downloads.example.com/notes/Setup.exe

# manifest ARCH PRODUCT_DIR JSON_EXTRA [PACK_OPTIONS...]: packs, writes the manifest, checks it.
manifest() {
  local arch=$1 product=$2 extra=$3 bin=$bin32
  shift 3
  [ "$arch" = x64 ] && bin=$bin64
  "$setuptool" pack "$product" -o "$arch.exe" --arch "$arch" --stub "$bin/Setup.exe" \
    --uninstaller "$bin/UnInst.exe" --quiet "$@" 2>/dev/null || { fail "$arch: pack"; return; }
  "$setuptool" manifest "$arch.exe" --url "$url" -o "out-$arch" >"out-$arch.txt" 2>&1 ||
    { fail "$arch: manifest: $(cat "out-$arch.txt")"; return; }
  local sum
  sum=$(sha256sum "$arch.exe" | cut -d' ' -f1)
  /usr/bin/python3 "$here/manifest_check.py" "$header" "out-$arch" \
    "{\"arch\": \"$arch\", \"url\": \"$url\", \"sha256\": \"$sum\", \"license\": \"Proprietary\", $extra}" ||
    fail "$arch: the manifest's fields"
  runs=$((runs + 1))
}

if [ -f "$bin32/Setup.exe" ] && [ -d "$example32" ]; then
  manifest x86 "$example32" '"id": "KorvaneSamples.SampleNotepad", "version": "1.4", "group": "Sample Notepad",
    "publisher": "Korvane Samples", "display_version": "1.4", "package_name": "Sample Notepad",
    "short_description": "A small notepad that shows how a product folder becomes a setup: setuptool pack example-product -o SampleSetup.exe"'
fi

if [ -f "$bin64/Setup.exe" ] && [ -d "$example64" ]; then
  cp -r "$example64" product64
  printf 'Notes: #1 "Pro" Version 2.5 beta\r\n- fast: #tags\r\n\r\nnot this line\r\n' >product64/FILE_ID.DIZ
  printf 'ID=SNP\r\nGroup=Notes #1\r\nExe=KNotes.exe\r\nPublisher=Acme: Tools # Co\r\nHelpURL=https://help.example.com/notes?a=1&b=2\r\nURL=https://www.example.com/notes#top\r\n' \
    >product64/SAMPLE.INF
  manifest x64 product64 '"id": "AcmeTools#Co.Notes#1", "version": "2.5.1", "group": "Notes #1",
    "publisher": "Acme: Tools # Co", "display_version": "2.5 beta", "package_name": "Notes: #1 \"Pro\"",
    "short_description": "- fast: #tags", "package_url": "https://www.example.com/notes#top",
    "support_url": "https://help.example.com/notes?a=1&b=2"' --version-info ProductVersion=2.5.1
fi

if [ "$runs" = 0 ]; then
  echo "SKIP: no stubs or example product built (scripts/build)"
  exit 77
fi

# refused CODE NAME ARGS...: exits with CODE and leaves the output folder empty.
refused() {
  local code=$1 name=$2
  shift 2
  rm -rf refused && mkdir refused
  "$setuptool" manifest "$@" -o refused >refused.txt 2>&1
  local got=$?
  [ "$got" = "$code" ] || fail "$name: exit $got, expected $code: $(cat refused.txt)"
  [ -z "$(ls -A refused)" ] || fail "$name: left $(ls -A refused)"
  grep -q . refused.txt || fail "$name: no message"
}
setup=$(ls ./*.exe | head -1)
printf 'just text\n' >text.exe
refused 1 "a text file" text.exe --url "$url"
"$setuptool" pack "$example32" -o bare.rar --no-stub --quiet 2>/dev/null || "$setuptool" pack "$example64" -o bare.rar --no-stub --quiet 2>/dev/null
refused 1 "a bare archive" bare.rar --url "$url"
cp "$setup" damaged.exe
size=$(stat -c %s damaged.exe)
start=$("$setuptool" list damaged.exe | sed -n 's/^Archive at offset \([0-9]*\) .*/\1/p')
printf '\xff\x00\xff' | dd of=damaged.exe bs=1 seek=$(((start + size) / 2)) conv=notrunc 2>/dev/null
refused 1 "a damaged payload" damaged.exe --url "$url"
refused 1 "an identifier with a space" "$setup" --url "$url" --id "Acme Tools.Notes"
refused 1 "an identifier of one part" "$setup" --url "$url" --id Notes
refused 2 "no --url" "$setup"
refused 2 "an --url that is no web address" "$setup" --url ftp://example.com/x.exe

[ "$failures" = 0 ] && echo "manifest: $runs architecture(s) checked" && exit 0
exit 1
