# The shared harness of the end-to-end scenarios (sourced by e2e/scenarios/*.sh and scripts/demo).
#
# A scenario gets its own virtual X display (Xvfb, a free display number chosen by the server
# itself), a fresh Wine prefix copied from a prepared template (wineboot takes 10-20 s; a copy
# takes 2), a scratch HOME, and a work folder under the build tree. It starts the real setup
# program with e2e_start_setup, drives it with e2e_drive (uidriver.exe), takes screenshots with
# e2e_shot, and checks results with the e2e_check_* functions. A failed check is reported and
# counted but does not stop the scenario, so one run shows every difference; e2e_finish prints
# the wall time and exits non-zero when any check failed.
#
# Paths come from the environment that CTest sets (e2e/CMakeLists.txt); run by hand, they
# default to the build/ tree of scripts/build.
#
# The setup's architecture: KORV_E2E_SETUP_ARCH=x86 (the default) runs the 32-bit setup, the
# 32-bit example product and the 32-bit UI driver, in the prefix the scenario asks for;
# KORV_E2E_SETUP_ARCH=x64 runs the 64-bit ones, always in a 64-bit prefix, where the setup
# sees the native program-files folder and registry view. A scenario's checks ask the harness
# for those (e2e_program_files, e2e_hklm_software), so one scenario serves both.

set -uo pipefail

E2E_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
: "${KORV_SOURCE_DIR:=$E2E_ROOT}"
: "${KORV_BIN_DIR:=$KORV_SOURCE_DIR/build/bin}"
: "${KORV_WIN32_BIN_DIR:=$KORV_BIN_DIR}"
: "${KORV_WIN64_BIN_DIR:=$KORV_WIN32_BIN_DIR/x64}"
: "${KORV_E2E_SETUP_ARCH:=x86}"
: "${KORV_E2E_WORK:=$KORV_SOURCE_DIR/build/host/e2e-work}"
: "${KORV_E2E_SHOTS:=$KORV_SOURCE_DIR/build/e2e}"

E2E_SETUP_ARCH=$KORV_E2E_SETUP_ARCH
if [ "$E2E_SETUP_ARCH" = x64 ]; then
  E2E_BIN_DIR=$KORV_WIN64_BIN_DIR
  : "${KORV_EXAMPLE_DIR:=$(dirname "$KORV_WIN32_BIN_DIR")/example-product-x64}"
else
  E2E_BIN_DIR=$KORV_WIN32_BIN_DIR
  : "${KORV_EXAMPLE_DIR:=$(dirname "$KORV_WIN32_BIN_DIR")/example-product}"
fi
E2E_SETUP_STUB="$E2E_BIN_DIR/Setup.exe"
E2E_UIDRIVER="$E2E_BIN_DIR/uidriver.exe"
E2E_SETUPTOOL="$KORV_BIN_DIR/setuptool"

E2E_FAILURES=0
E2E_CHECKS=0
E2E_XVFB_PID=""
E2E_SETUP_PID=""
E2E_STARTED_AT=""

e2e_now() { date +%s.%N; }
# Seconds between two e2e_now stamps, two decimals.
e2e_elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }

e2e_log() { echo "[$E2E_NAME] $*"; }

e2e_fail() {
  E2E_FAILURES=$((E2E_FAILURES + 1))
  echo "[$E2E_NAME] FAILED: $*" >&2
}

# Stops the scenario at once (the harness cannot go on, e.g. no dialog appeared).
e2e_abort() {
  e2e_fail "$*"
  e2e_shot "$E2E_NAME-aborted" >/dev/null 2>&1 || true
  e2e_finish
}

e2e_require() {
  local missing=0 f
  for f in "$E2E_SETUP_STUB" "$E2E_UIDRIVER" "$E2E_SETUPTOOL"; do
    if [ ! -f "$f" ]; then
      echo "[$E2E_NAME] missing $f (build both trees first: scripts/build)" >&2
      missing=1
    fi
  done
  if [ ! -d "$KORV_EXAMPLE_DIR" ]; then
    echo "[$E2E_NAME] missing the example product $KORV_EXAMPLE_DIR (scripts/build)" >&2
    missing=1
  fi
  for f in wine wineserver Xvfb import xdotool; do
    command -v "$f" >/dev/null || { echo "[$E2E_NAME] $f is not installed (scripts/install-deps)" >&2; missing=1; }
  done
  [ "$missing" = 0 ] || exit 1
}

# --- display and prefix ----------------------------------------------------------------------

e2e_start_xvfb() {
  local fdfile="$E2E_DIR/xvfb.display" i
  : >"$fdfile"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" >"$E2E_DIR/xvfb.log" 2>&1 &
  E2E_XVFB_PID=$!
  for i in $(seq 1 100); do
    [ -s "$fdfile" ] && break
    sleep 0.1
  done
  [ -s "$fdfile" ] || e2e_abort "Xvfb did not start (see $E2E_DIR/xvfb.log)"
  export DISPLAY=":$(tr -d '[:space:]' <"$fdfile")"
}

# A prepared prefix per architecture and Wine version, created once under a lock.
e2e_template() {
  local arch=$1
  local template="$KORV_E2E_WORK/template2-$arch-$(wine --version 2>/dev/null | tr -c 'A-Za-z0-9.\n-' _)"
  (
    flock 9
    if [ ! -f "$template/system.reg" ]; then
      rm -rf "$template" "$template.home"
      mkdir -p "$template.home"
      echo "[$E2E_NAME] preparing the $arch prefix template (once)" >&2
      WINEPREFIX="$template" WINEARCH="$arch" HOME="$template.home" wine wineboot -i >/dev/null 2>&1
      # Programs run inside a Wine desktop that fills the screen: without a window manager,
      # that is what draws the windows' frames, so screenshots show title and close box.
      WINEPREFIX="$template" HOME="$template.home" wine reg add 'HKCU\Software\Wine\Explorer' \
        /v Desktop /d Default /f >/dev/null 2>&1
      WINEPREFIX="$template" HOME="$template.home" wine reg add \
        'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
      WINEPREFIX="$template" wineserver -w
    fi
  ) 9>"$KORV_E2E_WORK/template-$arch.lock"
  [ -f "$template/system.reg" ] || e2e_abort "could not create a $arch Wine prefix"
  if [ "$arch" = win64 ] && ! grep -q '^#arch=win64' "$template/system.reg"; then
    rm -rf "$template"
    e2e_abort "could not create a 64-bit Wine prefix: is 64-bit Wine installed (Debian package wine64)?"
  fi
  echo "$template"
}

# Copies the template into a fresh prefix of this scenario. Wine links the user's Desktop,
# Documents and the like to folders of the HOME it was created with; they become plain
# folders here, so nothing leaks between scenarios.
e2e_fresh_prefix() {
  local arch=$1 template link
  template=$(e2e_template "$arch") || exit 1
  export WINEPREFIX="$E2E_DIR/prefix"
  rm -rf "$WINEPREFIX"
  cp -a "$template" "$WINEPREFIX"
  rm -f "$WINEPREFIX/wineserver"
  find "$WINEPREFIX/drive_c/users" -maxdepth 2 -type l | while read -r link; do
    rm -f "$link"
    mkdir -p "$link"
  done
  E2E_USER=$(ls "$WINEPREFIX/drive_c/users" | grep -vx Public | head -n1)
  E2E_ARCH=$arch
}

# e2e_skip REASON: the scenario does not apply to this run (exit code 77, which CTest counts
# as skipped).
e2e_skip() {
  echo "[${E2E_NAME:-$(basename "$0" .sh)}] SKIPPED: $*"
  exit 77
}

# e2e_start [win32|win64]: work folder, display, prefix; cleanup on exit. The 64-bit setup
# always runs in a 64-bit prefix.
e2e_start() {
  local arch=${1:-win32}
  [ "$E2E_SETUP_ARCH" = x64 ] && arch=win64
  E2E_NAME=${E2E_NAME:-$(basename "$0" .sh)}
  e2e_require
  E2E_DIR="$KORV_E2E_WORK/$E2E_NAME"
  rm -rf "$E2E_DIR"
  mkdir -p "$E2E_DIR/home" "$KORV_E2E_SHOTS"
  E2E_STARTED_AT=$(e2e_now)
  export HOME="$E2E_DIR/home"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
  # The system language of the Wine programs (LC_ALL given to wine only: the shell itself
  # may not have that locale).
  E2E_LOCALE=en_US.UTF-8
  unset WINEARCH
  trap e2e_cleanup EXIT
  # A timeout of the test runner ends the scenario with TERM: clean up then too.
  trap 'exit 143' TERM INT
  e2e_start_xvfb
  e2e_fresh_prefix "$arch"
  # One program first, alone: it starts the Wine server and the desktop process of the prefix.
  # Programs started together in a cold prefix can otherwise race for them and end up on
  # desktops that do not see each other's windows.
  env LC_ALL="$E2E_LOCALE" wine "$E2E_UIDRIVER" sleep 0 >/dev/null 2>&1 ||
    e2e_abort "uidriver.exe does not run under Wine"
  e2e_log "prefix $WINEPREFIX ($arch), $E2E_SETUP_ARCH setup, display $DISPLAY, user $E2E_USER"
}

e2e_cleanup() {
  if [ -n "${WINEPREFIX:-}" ]; then wineserver -k >/dev/null 2>&1 || true; fi
  if [ -n "$E2E_XVFB_PID" ]; then
    kill "$E2E_XVFB_PID" 2>/dev/null || true
    wait "$E2E_XVFB_PID" 2>/dev/null || true
    E2E_XVFB_PID=""
  fi
  # A passed scenario's prefix (about 600 MB) goes; a failed one stays for a look afterwards.
  if [ "$E2E_FAILURES" = 0 ] && [ -n "${E2E_DIR:-}" ] && [ -z "${E2E_KEEP:-}" ]; then
    rm -rf "$E2E_DIR/prefix"
  fi
}

e2e_finish() {
  local took
  took=$(e2e_elapsed "$E2E_STARTED_AT" "$(e2e_now)")
  if [ "$E2E_FAILURES" = 0 ]; then
    echo "[$E2E_NAME] PASSED: $E2E_CHECKS checks in $took s"
    exit 0
  fi
  echo "[$E2E_NAME] FAILED: $E2E_FAILURES of $E2E_CHECKS checks failed ($took s); work folder $E2E_DIR" >&2
  exit 1
}

# --- paths -----------------------------------------------------------------------------------

# The Unix path of a C: path of the prefix.
e2e_unix() {
  local p=${1#[Cc]:}
  p=${p//\\//}
  echo "$WINEPREFIX/drive_c${p}"
}

# The program-files folder and the registry's HKLM\Software as the setup sees them: a 32-bit
# program in a 64-bit prefix sees the 32-bit ones, every other the native ones.
e2e_32_on_64() { [ "$E2E_ARCH" = win64 ] && [ "$E2E_SETUP_ARCH" = x86 ]; }
e2e_program_files() {
  if e2e_32_on_64; then echo 'C:\Program Files (x86)'; else echo 'C:\Program Files'; fi
}
e2e_hklm_software() {
  if e2e_32_on_64; then echo 'HKLM\Software\Wow6432Node'; else echo 'HKLM\Software'; fi
}
e2e_profile() { echo "C:\\users\\$E2E_USER"; }
e2e_desktop() { echo "$(e2e_profile)\\Desktop"; }
e2e_appdata() { echo "$(e2e_profile)\\AppData\\Roaming"; }
e2e_temp() { echo "$(e2e_profile)\\Temp"; }
e2e_common_programs() { echo 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs'; }
e2e_quick_launch() { echo "$(e2e_appdata)\\Microsoft\\Internet Explorer\\Quick Launch"; }

# --- packing ---------------------------------------------------------------------------------

# e2e_pack SRC OUT [OPTION...]: packs a product folder into a setup with our stub and
# uninstaller of the run's architecture; prints the time taken.
e2e_pack() {
  local src=$1 out=$2 t0 t1
  shift 2
  t0=$(e2e_now)
  if ! "$E2E_SETUPTOOL" pack "$src" -o "$out" --arch "$E2E_SETUP_ARCH" --stub "$E2E_SETUP_STUB" \
      --uninstaller "$E2E_BIN_DIR/UnInst.exe" "$@" >"$E2E_DIR/pack.log" 2>&1; then
    cat "$E2E_DIR/pack.log" >&2
    e2e_abort "setuptool pack $src failed"
  fi
  t1=$(e2e_now)
  e2e_log "packed $(basename "$out") ($(stat -c %s "$out") bytes) in $(e2e_elapsed "$t0" "$t1") s"
}

# Copies a setup into the user's Downloads folder of the prefix, as a user would have it;
# prints its Unix path.
# Copies a setup to DAMAGED with one byte of its compressed data changed: positions in the
# archive's second half are tried (PERCENT... of the way through, default 60 70 50 80 40) until
# setuptool's own test rejects the copy for its data (a header byte would not do: the setup
# itself does not check header checksums). Prints the offset; fails when none is found.
e2e_damage_payload() {
  local setup=$1 damaged=$2 stub_size size percent offset byte verdict percents
  shift 2
  percents=("$@")
  [ ${#percents[@]} -gt 0 ] || percents=(60 70 50 80 40)
  stub_size=$(stat -c %s "$E2E_SETUP_STUB")
  size=$(stat -c %s "$setup")
  for percent in "${percents[@]}"; do
    offset=$((stub_size + (size - stub_size) * percent / 100))
    cp "$setup" "$damaged"
    byte=$(od -An -tu1 -j "$offset" -N1 "$damaged" | tr -d ' ')
    printf "$(printf '\\%03o' $((byte ^ 0x55)))" | dd of="$damaged" bs=1 seek="$offset" conv=notrunc status=none
    verdict=$("$E2E_SETUPTOOL" test "$damaged" 2>&1 >/dev/null || true)
    if grep -q -E "checksum mismatch|size mismatch" <<<"$verdict"; then
      echo "$offset"
      return 0
    fi
  done
  return 1
}

e2e_place_setup() {
  local setup=$1 dir
  dir=$(e2e_unix "$(e2e_profile)\\Downloads")
  mkdir -p "$dir"
  cp "$setup" "$dir/"
  echo "$dir/$(basename "$setup")"
}

# --- running and driving -----------------------------------------------------------------------

# e2e_start_setup UNIX_PATH [VAR=VALUE...]: starts the setup in the background.
e2e_start_setup() {
  local exe=$1
  shift
  env LC_ALL="$E2E_LOCALE" "$@" wine "$exe" >>"$E2E_DIR/setup.log" 2>&1 &
  E2E_SETUP_PID=$!
  e2e_log "started $(basename "$exe") (pid $E2E_SETUP_PID${*:+, $*})"
}

# e2e_wait_setup_exit SECONDS: waits for the setup process; its exit code lands in E2E_SETUP_EXIT.
e2e_wait_setup_exit() {
  local limit=$1 i
  for i in $(seq 1 $((limit * 10))); do
    kill -0 "$E2E_SETUP_PID" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$E2E_SETUP_PID" 2>/dev/null; then
    e2e_fail "the setup is still running after $limit s"
    return 1
  fi
  wait "$E2E_SETUP_PID"
  E2E_SETUP_EXIT=$?
  E2E_SETUP_PID=""
  return 0
}

e2e_setup_running() { [ -n "$E2E_SETUP_PID" ] && kill -0 "$E2E_SETUP_PID" 2>/dev/null; }

# e2e_drive ACTIONS...: runs uidriver.exe; its output on stdout, non-zero on failure.
e2e_drive() {
  env LC_ALL="$E2E_LOCALE" wine "$E2E_UIDRIVER" "$@" 2>>"$E2E_DIR/uidriver.log" | tr -d '\r'
  return "${PIPESTATUS[0]}"
}

# e2e_watch_windows MS FILE: watches for MS ms, in the background (its pid in E2E_WATCHER),
# every visible top-level window of another process, one line each in FILE (read them with
# e2e_watched_windows). Returns once the watch has begun - the watcher first writes a line
# of its own - so that a window shown right after is not missed while Wine is still
# starting the watcher on a busy machine.
e2e_watch_windows() {
  local file=$2 tenths=0
  env LC_ALL="$E2E_LOCALE" wine "$E2E_UIDRIVER" mark elapsed visible-windows "$1" >"$file" 2>>"$E2E_DIR/uidriver.log" &
  E2E_WATCHER=$!
  while [ ! -s "$file" ] && [ "$tenths" -lt 600 ] && kill -0 "$E2E_WATCHER" 2>/dev/null; do
    sleep 0.1
    tenths=$((tenths + 1))
  done
  [ -s "$file" ] || e2e_abort "the window watcher did not start"
}

# e2e_watched_windows FILE: the windows the watch saw, "CLASS TITLE" a line, without the
# desktop's own.
e2e_watched_windows() {
  tail -n +2 "$1" | tr -d '\r' | tr '\t' ' ' | grep -v -E '^(Shell_TrayWnd|Progman|WorkerW)'
}

# e2e_drive_or_abort ACTIONS...: as e2e_drive, but a failure ends the scenario.
e2e_drive_or_abort() {
  local out
  if ! out=$(e2e_drive "$@"); then
    e2e_abort "uidriver $* failed: $(tail -n 3 "$E2E_DIR/uidriver.log")"
  fi
  [ -z "$out" ] || printf '%s\n' "$out"
}

# e2e_key KEY: a key typed on the keyboard (xdotool), into the Wine desktop window, which
# hands it to the active window, as for a user at the machine.
e2e_key() {
  local desktop
  desktop=$(timeout 10 xdotool search --name ' - Wine desktop$' 2>/dev/null | head -n1)
  [ -n "$desktop" ] || { e2e_fail "no Wine desktop window for the key $1"; return 1; }
  timeout 10 xdotool windowfocus --sync "$desktop" && timeout 10 xdotool key "$1"
}

# e2e_click_close_box: a mouse click on the setup dialog's close box (top right of its frame,
# drawn by the Wine desktop).
e2e_click_close_box() {
  local left top right bottom
  read -r left top right bottom <<<"$(e2e_drive rect)" || return 1
  [ -n "$bottom" ] || { e2e_fail "no rectangle for the setup dialog"; return 1; }
  timeout 10 xdotool mousemove $((right - 12)) $((top + 11)) click 1
}

# e2e_right_click_control ID: a right mouse click in the middle of a control of the dialog.
e2e_right_click_control() {
  local left top right bottom
  read -r left top right bottom <<<"$(e2e_drive control-rect "$1")" || return 1
  [ -n "$bottom" ] || { e2e_fail "no rectangle for control $1"; return 1; }
  timeout 10 xdotool mousemove $(((left + right) / 2)) $(((top + bottom) / 2)) click 3
}

# e2e_shot NAME: screenshot of the whole virtual screen to $KORV_E2E_SHOTS/NAME.png.
e2e_shot() {
  local file="$KORV_E2E_SHOTS/$1.png"
  if timeout 30 import -display "$DISPLAY" -window root "$file" 2>>"$E2E_DIR/import.log"; then
    e2e_log "screenshot $file"
  else
    e2e_fail "screenshot $file could not be taken"
  fi
}

# --- registry --------------------------------------------------------------------------------

# Registry queries name keys as they are stored: in a 64-bit prefix through the 64-bit view,
# where the 32-bit programs' HKLM\Software is HKLM\Software\Wow6432Node.
e2e_reg_view() { if [ "$E2E_ARCH" = win64 ]; then echo /reg:64; else echo /reg:32; fi; }

# e2e_reg_value KEY NAME: prints the data of a value, or fails when it is missing.
e2e_reg_value() {
  local out
  out=$(wine reg query "$1" /v "$2" "$(e2e_reg_view)" 2>/dev/null | tr -d '\r') || return 1
  printf '%s\n' "$out" | awk -F'    ' -v name="$2" '$2 == name { print $4; found = 1 } END { exit !found }'
}

e2e_reg_key_exists() { wine reg query "$1" "$(e2e_reg_view)" >/dev/null 2>&1; }

# --- checks ------------------------------------------------------------------------------------

# e2e_check_eq WHAT EXPECTED ACTUAL
e2e_check_eq() {
  E2E_CHECKS=$((E2E_CHECKS + 1))
  if [ "$2" != "$3" ]; then
    e2e_fail "$1: expected [$2], got [$3]"
    return 1
  fi
  return 0
}

# e2e_check WHAT COMMAND...: the command must succeed.
e2e_check() {
  local what=$1
  shift
  E2E_CHECKS=$((E2E_CHECKS + 1))
  if ! "$@"; then
    e2e_fail "$what"
    return 1
  fi
  return 0
}

# e2e_check_not WHAT COMMAND...: the command must fail.
e2e_check_not() {
  local what=$1
  shift
  E2E_CHECKS=$((E2E_CHECKS + 1))
  if "$@"; then
    e2e_fail "$what"
    return 1
  fi
  return 0
}

e2e_check_file() { e2e_check "file exists: $1" test -f "$(e2e_unix "$1")"; }
e2e_check_absent() { e2e_check "nothing exists at: $1" test ! -e "$(e2e_unix "$1")"; }

# e2e_check_same WINPATH LOCALFILE: installed file equals the product's file byte for byte.
e2e_check_same() {
  e2e_check "$1 has the content of $2" cmp -s "$(e2e_unix "$1")" "$2"
}

# e2e_check_reg KEY NAME EXPECTED
e2e_check_reg() {
  local actual
  actual=$(e2e_reg_value "$1" "$2") || actual="<missing>"
  e2e_check_eq "registry $1 [$2]" "$3" "$actual"
}

# e2e_check_lnk WINPATH TARGET WORKDIR: a shortcut, read back through the shell's link object.
e2e_check_lnk() {
  local out target workdir showcmd
  E2E_CHECKS=$((E2E_CHECKS + 1))
  if [ ! -f "$(e2e_unix "$1")" ]; then
    e2e_fail "shortcut missing: $1"
    return 1
  fi
  if ! out=$(e2e_drive lnk "$1"); then
    e2e_fail "shortcut unreadable: $1"
    return 1
  fi
  target=$(printf '%s\n' "$out" | sed -n 's/^target\t//p')
  workdir=$(printf '%s\n' "$out" | sed -n 's/^workdir\t//p')
  # The show command as stored in the file's header (offset 60): the link object reports
  # values other than 1, 3 and 7 as 1 when it reads a file back.
  showcmd=$(od -An -tu4 -j60 -N4 "$(e2e_unix "$1")" | tr -d ' ')
  e2e_check_eq "target of $1" "$2" "$target"
  e2e_check_eq "working folder of $1" "$3" "$workdir"
  e2e_check_eq "show command of $1" "5" "$showcmd"
}

# e2e_check_listing UNIXDIR EXPECTED...: the folder holds exactly these names (files and folders).
e2e_check_listing() {
  local dir=$1 actual expected
  shift
  actual=$(cd "$dir" 2>/dev/null && ls -A | LC_ALL=C sort | tr '\n' ' ')
  expected=$(printf '%s\n' "$@" | LC_ALL=C sort | tr '\n' ' ')
  e2e_check_eq "content of $dir" "$expected" "$actual"
}

# A listing of every folder and file under drive_c (files with size and time, outside the
# Windows folder), for "nothing changed" checks.
e2e_disk_snapshot() {
  (cd "$WINEPREFIX/drive_c" &&
    find . -path ./windows -prune -o \( -type d -printf '%p/\n' \) -o -printf '%p %s %T@\n' |
    LC_ALL=C sort)
}

# e2e_check_snapshot WHAT BEFORE AFTER: two snapshots are equal; the difference is shown if not.
e2e_check_snapshot() {
  E2E_CHECKS=$((E2E_CHECKS + 1))
  if [ "$2" != "$3" ]; then
    e2e_fail "$1: the disk changed: $(diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") | grep '^[<>]' | head -n 20 | tr '\n' ';')"
    return 1
  fi
  return 0
}

# --- whole-prefix snapshots (install and uninstall cycles) ------------------------------------

# e2e_prefix_snapshot KEY...: what an installation can touch: every folder and file under drive_c
# outside the Windows folder (e2e_disk_snapshot), less what the prefix itself rewrites whenever
# a program runs (the temporary folder, Wine's per-user caches), followed by a registry export
# of each KEY ("absent" for a key that does not exist). HKLM keys are exported in the view the
# 32-bit setup uses.
e2e_prefix_snapshot() {
  local key file="$E2E_DIR/reg-export.reg"
  e2e_disk_snapshot | grep -Ev "^\./users/[^/]+/(Temp|AppData/Local)/."
  for key in "$@"; do
    echo "== $key"
    rm -f "$file"
    if wine reg export "$key" "$(winepath -w "$file" 2>/dev/null)" /y "$(e2e_reg_view)" >/dev/null 2>&1 &&
      [ -f "$file" ]; then
      iconv -f UTF-16LE -t UTF-8 "$file" 2>/dev/null | tr -d '\r' | sed '1s/^\xEF\xBB\xBF//' |
        grep -v '^Windows Registry Editor'
    else
      echo absent
    fi
  done
}

# e2e_check_snapshot_diff WHAT BEFORE AFTER ALLOWED: the two snapshots differ in exactly the
# lines of ALLOWED (one "<" or ">" line of diff each, as `diff` prints them), no more, no less.
e2e_check_snapshot_diff() {
  local actual
  actual=$(diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") | grep '^[<>]')
  e2e_check_eq "$1" "$4" "$actual"
}

# e2e_run_command_line CMDLINE OUTFILE: starts a Windows command line in the background as the
# system's list of installed programs would (uidriver run: CreateProcessW parses it, so a
# quoted path stays one path); "exit CODE" lands in OUTFILE when the program has ended.
# (Handed to "wine cmd /c" instead, the quotes would arrive escaped as \" , which cmd does
# not read as quotes.)
e2e_run_command_line() {
  env LC_ALL="$E2E_LOCALE" wine "$E2E_UIDRIVER" run "$1" 300000 2>>"$E2E_DIR/uidriver.log" | tr -d '\r' >"$2" &
  E2E_RUN_PID=$!
}

# e2e_wait_command_line SECONDS OUTFILE: waits for it; its exit code lands in E2E_RUN_EXIT
# ("none" when it did not end).
e2e_wait_command_line() {
  local i
  for i in $(seq 1 $(($1 * 10))); do
    kill -0 "$E2E_RUN_PID" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$E2E_RUN_PID" 2>/dev/null; then
    E2E_RUN_EXIT=none
    return 1
  fi
  wait "$E2E_RUN_PID"
  E2E_RUN_EXIT=$(sed -n 's/^exit //p' "$2")
  [ -n "$E2E_RUN_EXIT" ] || E2E_RUN_EXIT=none
}
