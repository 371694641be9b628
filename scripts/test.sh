#!/usr/bin/env bash
# Builds everything and runs the whole test suite twice: once as built for
# use, once under AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/tallykey-runtime.XXXXXX)}"
chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300
}

echo "== Tests =="
run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLYKEY_TESTS=ON
echo "== Tests under AddressSanitizer and UBSan =="
LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DTALLYKEY_SANITIZE=ON -DTALLYKEY_TESTS=ON
echo "All tests passed."
