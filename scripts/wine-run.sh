#!/usr/bin/env bash
# Runs a Windows program under Wine for the tests: CMake's emulator for the
# Windows build (cmake/mingw-w64.cmake), so that ctest runs the .exe files.
#
#   scripts/wine-run.sh program.exe [arguments...]
#
# The tests get a Wine prefix of their own ($TALLYKEY_WINEPREFIX, by default
# one per user under /tmp), made once and then reused; Wine's debug output is
# off; every run has a time limit ($TALLYKEY_WINE_TIMEOUT seconds, 600 by
# default) after which the program is killed. The exit status is the
# program's. End with "wineserver -k" (WINEPREFIX set the same) when done.
set -euo pipefail

export WINEPREFIX=${TALLYKEY_WINEPREFIX:-${TMPDIR:-/tmp}/tallykey-wine-$(id -u)}
export WINEDEBUG=-all
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="} # no Mono or Gecko prompts
limit=${TALLYKEY_WINE_TIMEOUT:-600}

# The first run makes the prefix; runs started in parallel (ctest -j) wait for it.
if [ ! -f "$WINEPREFIX/.tallykey-ready" ]; then
  mkdir -p "$WINEPREFIX"
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/.tallykey-ready" ]; then
    timeout --kill-after=10 300 wineboot --init >/dev/null 2>&1 ||
      { echo "wine-run.sh: cannot make the Wine prefix $WINEPREFIX" >&2; exit 125; }
    timeout --kill-after=10 120 wineserver --wait || true
    touch "$WINEPREFIX/.tallykey-ready"
  fi
  flock -u 9
  exec 9>&-
fi

exec timeout --kill-after=10 "$limit" wine "$@"
