#!/usr/bin/env bash
# The program's start-up to its first shown window (bench_startup) and its
# memory then, on a private Xvfb (as a user's display without a window
# manager). A program named *.exe runs under Wine (scripts/wine-run.sh, on a
# Wine server started beforehand, as on a desktop where Wine already runs).
#
# Usage: bench/run_startup.sh [path/to/bench_startup] [program] [benchmark flags...]
#   program: the executable to start (default: the bench's own, "tallyk" beside its folder)
set -euo pipefail
# The source tree (filled in where the build copies this script to its bench folder).
here="@PROJECT_SOURCE_DIR@"
[ -f "$here/scripts/xvfb.sh" ] || here=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$(dirname "$0")/bench_startup}
[ $# -gt 0 ] && shift
program=${1:-}
[ $# -gt 0 ] && shift
. "$here/scripts/xvfb.sh"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/tallykey-runtime.XXXXXX)}"
work=$(mktemp -d /tmp/tallykey-startup.XXXXXX)
wine=false
case $program in *.exe) wine=true ;; esac
cleanup() {
  if $wine; then timeout 30 wineserver -k >/dev/null 2>&1 || true; fi
  xvfb_stop
  rm -rf "$work"
}
trap cleanup EXIT
xvfb_start
[ -n "$program" ] && export TALLYKEY_EXE=$program
if $wine; then
  export TALLYKEY_WINEPREFIX=${TALLYKEY_WINEPREFIX:-/tmp/tallykey-wine-$(id -u)}-bench
  export WINEPREFIX=$TALLYKEY_WINEPREFIX TALLYKEY_RUNNER=$here/scripts/wine-run.sh
  "$TALLYKEY_RUNNER" cmd /c exit </dev/null >/dev/null 2>&1 # makes the prefix
  wineserver -p 600 </dev/null >/dev/null 2>&1 || true # already up after the first run
  "$TALLYKEY_RUNNER" cmd /c exit </dev/null >/dev/null 2>&1 # Wine's services running
fi
"$bin" "$@"

# Memory at the first showing: the program's resident peak (VmHWM) once its
# main window is on the screen, a first start without a database.
exe=${TALLYKEY_EXE:-$(dirname "$bin")/../tallyk}
cp "$exe" "$work/"
if $wine; then
  "$TALLYKEY_RUNNER" "$work/$(basename "$exe")" >/dev/null 2>&1 &
else
  XDG_CONFIG_HOME=$work/config "$work/$(basename "$exe")" >/dev/null 2>&1 &
fi
started=$!
window=$(timeout 30 xdotool search --sync --onlyvisible --name "Tallykey 0.4" | head -n 1)
sleep 1
pid=$(xdotool getwindowpid "$window")
echo "memory at first show: $(awk '/VmHWM|VmRSS/{printf "%s %s kB  ", $1, $2}' "/proc/$pid/status")(pid $pid, $(tr '\0' ' ' <"/proc/$pid/cmdline"))"
kill "$pid" "$started" 2>/dev/null || true
