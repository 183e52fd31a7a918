#!/usr/bin/env bash
# Smoke test of the real Setup.exe under Wine: packs a small product, starts the setup in a
# virtual display with a fresh 32-bit Wine prefix, waits for the setup dialog's window (its
# title is the table's title and the product name), takes a screenshot, presses Escape and
# checks that the program ended and installed nothing.
#
# Usage: wine_smoke.sh SETUP_EXE SETUPTOOL WORK_DIR
set -euo pipefail
stub=$1 setuptool=$2 work=$3

for tool in wine wineboot wineserver Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps installs it)" >&2; exit 1; }
done
[ -f "$stub" ] || { echo "no $stub: build the 32-bit Windows tree first" >&2; exit 1; }
[ -x "$setuptool" ] || { echo "no $setuptool: build the host tree first" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work/product" "$work/home"
printf 'Smoke Tool Version 1.0\r\nA product for the smoke test.\r\n' >"$work/product/FILE_ID.DIZ"
printf 'ID=SMK\r\nGroup=Smoke Tool\r\nExe=KSmoke.exe\r\n' >"$work/product/SMOKE.INF"
printf 'not really a program\r\n' >"$work/product/KSmoke.exe"
printf 'read me\r\n' >"$work/product/readme.txt"
"$setuptool" pack "$work/product" -o "$work/SmokeSetup.exe" --stub "$stub"

export WINEPREFIX="$work/prefix" WINEARCH=win32 WINEDEBUG=-all HOME="$work/home"
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="

xvfb_pid="" setup_pid=""
cleanup() {
  [ -n "$setup_pid" ] && kill "$setup_pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

# A display of our own: Xvfb picks a free number and writes it to the file.
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

timeout 120 wineboot -i >/dev/null 2>&1
wine "$work/SmokeSetup.exe" >"$work/setup.log" 2>&1 &
setup_pid=$!

wid=""
for _ in $(seq 120); do
  wid=$(xdotool search --name '^Setup Smoke Tool 1\.0$' 2>/dev/null | head -n1 || true)
  [ -n "$wid" ] && break
  kill -0 "$setup_pid" 2>/dev/null || { echo "Setup.exe ended before its dialog appeared" >&2; exit 1; }
  sleep 0.5
done
[ -n "$wid" ] || { echo "the setup dialog did not appear" >&2; exit 1; }
echo "dialog window $wid: $(xdotool getwindowname "$wid")"
eval "$(xdotool getwindowgeometry --shell "$wid")"   # X, Y, WIDTH, HEIGHT
echo "at $X,$Y size ${WIDTH}x$HEIGHT"
sleep 1   # let the controls paint
timeout 30 import -window root "$work/setup-dialog.png"
echo "screenshot: $work/setup-dialog.png"
# A painted dialog (texts, list, buttons, icon) has many colours; a blank window has one.
colours=$(convert "$work/setup-dialog.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" -format %k info:)
echo "colours in the dialog: $colours"
[ "$colours" -ge 8 ] || { echo "the dialog looks blank" >&2; exit 1; }

# Escape is Cancel: the dialog ends and nothing is installed.
timeout 10 xdotool windowfocus --sync "$wid" 2>/dev/null || xdotool windowfocus "$wid"
timeout 10 xdotool key Escape
for _ in $(seq 40); do kill -0 "$setup_pid" 2>/dev/null || break; sleep 0.25; done
if kill -0 "$setup_pid" 2>/dev/null; then
  echo "Setup.exe did not end after Escape" >&2
  exit 1
fi
wait "$setup_pid" && rc=0 || rc=$?
setup_pid=""
[ "$rc" -eq 0 ] || { echo "Setup.exe ended with exit code $rc" >&2; exit 1; }
if find "$WINEPREFIX/drive_c" -iname 'KSmoke.exe' | grep -q .; then
  echo "Escape installed files" >&2
  exit 1
fi
echo "ok: dialog shown, closed by Escape, nothing installed"
