#!/usr/bin/env bash
# Builds everything and runs the whole test suite twice: once as built for
# use, once under AddressSanitizer and UBSan; then builds the Windows programs
# (tallyk.exe, tkf.exe, the installer) with mingw-w64 and runs their tests
# under Wine: the backend's, the program's suites, the packages and the
# end-to-end run.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/tallykey-runtime.XXXXXX)}"
chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

build() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$jobs"
}

run_tests() {
  ctest --test-dir "$1" --output-on-failure -j "$jobs" --timeout 300
}

# The Windows build's tests run under Wine (scripts/wine-run.sh, the build's
# emulator) in a prefix of their own. One Wine server stays up for the whole
# run, so that each test program starts in a moment; it is started, and Wine's
# services with it, with its output away from ctest's pipes (a service that
# holds a test's output open would keep ctest waiting), and ended at the end.
# Windows need a display: without one of ours, Wine runs on an Xvfb of its own
# (the tests never depend on what a desktop already shows).
export TALLYKEY_WINEPREFIX=${TALLYKEY_WINEPREFIX:-$PWD/build-win/wineprefix}
. scripts/xvfb.sh
wine_stop() {
  WINEPREFIX=$TALLYKEY_WINEPREFIX timeout 30 wineserver -k >/dev/null 2>&1 || true
  xvfb_stop
}
run_wine_tests() {
  trap wine_stop EXIT
  xvfb_start
  ./scripts/wine-run.sh cmd /c exit </dev/null >/dev/null 2>&1 # makes the prefix once
  WINEPREFIX=$TALLYKEY_WINEPREFIX timeout 60 wineserver -w
  WINEPREFIX=$TALLYKEY_WINEPREFIX timeout 30 wineserver -p 600 </dev/null >/dev/null 2>&1
  ./scripts/wine-run.sh cmd /c exit </dev/null >/dev/null 2>&1 # starts the services
  run_tests "$1"
  wine_stop
  trap - EXIT
}

echo "== Tests =="
build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLYKEY_TESTS=ON -DTALLYKEY_WERROR=ON
run_tests build

echo "== Tests under AddressSanitizer and UBSan =="
build build-asan -DCMAKE_BUILD_TYPE=Debug -DTALLYKEY_SANITIZE=ON -DTALLYKEY_TESTS=ON -DTALLYKEY_WERROR=ON
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
# LeakSanitizer stops the process with ptrace, which some containers forbid;
# there the leak check is left out (and said so) rather than failing every test.
probe=$(build-asan/tests/tests_database --gtest_filter=SecureWipe.ClearsExactlyTheBytesGiven 2>&1 || true)
if grep -q "LeakSanitizer has encountered a fatal error\|LeakSanitizer does not work under ptrace" <<<"$probe"; then
  echo "LeakSanitizer cannot run here: leak checking is off for this run."
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
fi
run_tests build-asan
echo "== Windows build (mingw-w64), tests under Wine =="
build build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTALLYKEY_TESTS=ON -DTALLYKEY_WERROR=ON -DTALLYKEY_HOST_TKF="$PWD/build/tkf"
run_wine_tests build-win

echo "All tests passed."
