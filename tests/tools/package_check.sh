#!/usr/bin/env bash
# The Debian package as a publisher gets it: cpack builds it from the host tree, it is
# unpacked into a scratch root (dpkg-deb -x, nothing installed on the system), and the
# unpacked /usr/bin/setuptool, given no --stub, packs the example product with the stub
# unpacked beside it in /usr/share/korvane-setup and tests the setup. The package holds
# exactly the expected files, the manual page renders without a warning, and the bash
# completion completes from the unpacked file.
#
# Usage: package_check.sh HOST_BUILD_DIR EXAMPLE_PRODUCT_DIR STUB...
set -euo pipefail
build=$(cd "$1" && pwd) product=$(cd "$2" && pwd)
shift 2
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

# The stubs found by themselves: the setup is byte for byte the one packed with the unpacked
# Setup.exe and UnInst.exe named explicitly (pack rewrites the stub's resources, so the setup
# does not begin with the stub's own bytes), and it carries our uninstaller.
setup="$work/Setup.exe"
share="$root/usr/share/korvane-setup"
if "$tool" pack "$product" -o "$setup" 2>"$work/pack.err" >"$work/pack.out"; then
  mkdir -p "$work/named"
  "$tool" pack "$product" -o "$work/named/Setup.exe" --quiet --stub "$share/Setup.exe" --uninstaller "$share/UnInst.exe" ||
    fail "the unpacked setuptool could not pack with the stubs named"
  cmp -s "$setup" "$work/named/Setup.exe" || fail "the setup was not made from the unpacked stubs"
  grep -q "our uninstaller" "$work/pack.out" || fail "the setup carries no uninstaller: $(cat "$work/pack.out")"
  "$tool" test "$setup" >"$work/test.out" || fail "setuptool test rejects the setup: $(tail -n 3 "$work/test.out")"
  tail -n 1 "$work/test.out"
else
  fail "the unpacked setuptool could not pack $product: $(cat "$work/pack.err")"
fi

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
