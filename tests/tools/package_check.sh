#!/usr/bin/env bash
# The Debian package as a publisher gets it: cpack builds it from the host tree, it is
# unpacked into a scratch root (dpkg-deb -x, nothing installed on the system), and the
# unpacked /usr/bin/setuptool, given no --stub, packs the example product with the stubs
# unpacked beside it in /usr/share/korvane-setup and tests the setup; with --arch x64 the
# 64-bit example product with the 64-bit stubs from /usr/share/korvane-setup/x64. The package
# holds exactly the expected files, each stub of its architecture, the manual page renders
# without a warning, and the bash completion completes from the unpacked file.
#
# Usage: package_check.sh HOST_BUILD_DIR EXAMPLE_PRODUCT_DIR EXAMPLE_PRODUCT_X64_DIR STUB...
#        (each STUB relative to share/korvane-setup, e.g. Setup.exe or x64/Setup.exe)
set -euo pipefail
build=$(cd "$1" && pwd) product=$(cd "$2" && pwd) product64=$(cd "$3" && pwd)
shift 3
stubs=("$@")
work="$build/package-check"
root="$work/root"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

rm -rf "$work"
mkdir -p "$work"
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log" >&2; echo "FAIL: cpack could not build the package" >&2; exit 1; }
package=$(find "$work/out" -maxdepth 1 -name 'korvane-setup_*.deb' | head -n 1)
[ -n "$package" ] || { echo "FAIL: cpack wrote no korvane-setup_*.deb" >&2; exit 1; }
echo "package: $package ($(stat -c %s "$package") bytes)"
dpkg-deb -I "$package" | sed -n 's/^ \(Package\|Version\|Depends\):/  \1:/p'

# Exactly these files, and folders only on their way.
expected=(./usr/bin/setuptool ./usr/share/man/man1/setuptool.1.gz
          ./usr/share/bash-completion/completions/setuptool)
for stub in "${stubs[@]}"; do expected+=("./usr/share/korvane-setup/$stub"); done
files=$(dpkg-deb -c "$package" | awk '$1 !~ /^d/ {print $6}' | sort)
want=$(printf '%s\n' "${expected[@]}" | sort)
[ "$files" = "$want" ] || fail "the package holds
$files
instead of
$want"

dpkg-deb -x "$package" "$root"
tool="$root/usr/bin/setuptool"
[ -x "$tool" ] || { echo "FAIL: no executable $tool" >&2; exit 1; }

# The machine type in a program's PE header: 014c for x86, 8664 for x64.
machine() { od -An -tx2 -j$(($(od -An -tu4 -j60 -N4 "$1" | tr -d ' ') + 4)) -N2 "$1" | tr -d ' '; }

# Each stub is a program of its folder's architecture.
share="$root/usr/share/korvane-setup"
for stub in "${stubs[@]}"; do
  [ -f "$share/$stub" ] || continue  # already reported as a missing file
  case "$stub" in x64/*) want=8664 ;; *) want=014c ;; esac
  got=$(machine "$share/$stub")
  [ "$got" = "$want" ] || fail "$stub is for machine 0x$got, not 0x$want"
done

# The stubs found by themselves, for each architecture: the setup is byte for byte the one
# packed with the unpacked Setup.exe and UnInst.exe named explicitly (pack rewrites the stub's
# resources, so the setup does not begin with the stub's own bytes), it carries our
# uninstaller, and its program is of that architecture.
check_pack() {  # architecture, product folder, stub folder under share, machine type
  local arch=$1 from=$2 folder=$3 want=$4
  local setup="$work/$arch/Setup.exe" options=()
  [ "$arch" = x86 ] || options=(--arch "$arch")  # x86 is pack's default
  mkdir -p "$work/$arch/named"
  if "$tool" pack "$from" -o "$setup" "${options[@]}" 2>"$work/$arch/pack.err" >"$work/$arch/pack.out"; then
    "$tool" pack "$from" -o "$work/$arch/named/Setup.exe" "${options[@]}" --quiet --stub "$folder/Setup.exe" \
      --uninstaller "$folder/UnInst.exe" || fail "the unpacked setuptool could not pack $arch with the stubs named"
    cmp -s "$setup" "$work/$arch/named/Setup.exe" || fail "the $arch setup was not made from the unpacked stubs"
    grep -q "our uninstaller" "$work/$arch/pack.out" ||
      fail "the $arch setup carries no uninstaller: $(cat "$work/$arch/pack.out")"
    [ "$(machine "$setup")" = "$want" ] || fail "the $arch setup is for machine 0x$(machine "$setup")"
    "$tool" test "$setup" >"$work/$arch/test.out" ||
      fail "setuptool test rejects the $arch setup: $(tail -n 3 "$work/$arch/test.out")"
    tail -n 1 "$work/$arch/test.out"
  else
    fail "the unpacked setuptool could not pack $from for $arch: $(cat "$work/$arch/pack.err")"
  fi
}
check_pack x86 "$product" "$share" 014c
check_pack x64 "$product64" "$share/x64" 8664

# The manual page: groff reads it without a warning, and man shows its name line.
warnings=$(zcat "$root/usr/share/man/man1/setuptool.1.gz" | groff -man -Tutf8 -ww -z 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "groff warns about the manual page: $warnings"
MANWIDTH=80 man -l "$root/usr/share/man/man1/setuptool.1.gz" 2>/dev/null | grep -Eq 'setuptool [^a-z]+ pack a product folder' ||
  fail "man -l does not show the manual page's name line"

# The completion, sourced from the package into a shell of its own: a command, an option,
# and a folder where pack takes its product folder.
completion="$root/usr/share/bash-completion/completions/setuptool"
replies=$(cd "$work" && bash -c '
  source "$1"
  reply() { COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _setuptool; echo "${COMPREPLY[*]}"; }
  reply setuptool ex
  reply setuptool pack root --no-s
  reply setuptool pack ro' _ "$completion")
[ "$replies" = $'extract\n--no-stub --no-solid\nroot' ] || fail "the completion replies
$replies"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed; the scratch root stays in $work" >&2
  exit 1
fi
echo "package check passed"
