#!/usr/bin/env bash
# Runs the Windows layer's test program under Wine, then reads what it left in the registry
# back with Wine's own "reg query", and checks the language choice for three system locales.
#   run_system_tests.sh WINE_RUN PROGRAM PREFIX [--win64]
# With --win64 the program is the 64-bit one, run in a 64-bit prefix: what it writes must be
# in the registry's native view, where the 64-bit reg tool reads, and not in the 32-bit view
# (WOW6432Node). Either program proposes the Program Files folder of its own architecture,
# which in its own prefix is C:\Program Files.
set -uo pipefail
wine_run=$1 program=$2 prefix=$3 arch=${4:-}
[ -f "$program" ] || { echo "missing $program: build the Windows tree of its architecture first" >&2; exit 2; }
passed=0 failed=0
ok()   { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL $*"; }
run() { "$wine_run" $arch --prefix "$prefix" "$@"; }

# The test program's own checks.
out=$(run -- "$program")
status=$?
printf '%s\n' "$out"
if [ "$status" -eq 0 ]; then ok; else fail "system_wine_tests.exe"; fi
if printf '%s\n' "$out" | tr -d '\r' | grep -qxF '  ProgramFilesDir: "C:\Program Files"'; then ok
else fail "ProgramFilesDir: expected C:\Program Files"; fi

# The folder browser and message boxes, on a virtual display.
if run --xvfb -- "$program" --gui; then ok; else fail "system_wine_tests.exe --gui"; fi

# Values read back by Wine's registry tool.
query() { run -- reg query "$1" /v "$2" 2>/dev/null | tr -d '\r'; }
expect_value() {  # key, value name, expected data
  local out
  out=$(query "$1" "$2")
  if printf '%s\n' "$out" | grep -qF "$2    REG_SZ    $3"; then ok; else fail "reg query $1 /v $2: expected \"$3\", got: $out"; fi
}
expect_value 'HKCU\Software\Korvane' KWT 'C:\Program Files\Korv Wine Test'
uninstall='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Korv Wine Test'
expect_value "$uninstall" DisplayName 'Korv Wine Test'
expect_value "$uninstall" UninstallString '"C:\Program Files\Korv Wine Test\UnInst.exe"'
expect_value "$uninstall" Publisher 'Korvane'
if [ "$arch" = --win64 ]; then
  view32='HKLM\SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Korv Wine Test'
  if query "$view32" DisplayName | grep -qF 'DisplayName    REG_SZ'; then fail "the uninstall entry is in the 32-bit view"
  else ok; fi
fi

# The interface language follows the system locale.
for pair in de_DE.UTF-8:DE it_IT.UTF-8:IT fr_FR.UTF-8:US; do
  if run --locale "${pair%%:*}" -- "$program" --language "${pair##*:}"; then ok
  else fail "language for ${pair%%:*}"; fi
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
