#!/bin/sh
# Runs bench_startup on a private Xvfb (as a user's display without a window
# manager) and stops the server afterwards.
# Usage: bench/run_startup.sh [path/to/bench_startup] [benchmark flags...]
set -eu
bin=${1:-$(dirname "$0")/bench_startup}
[ $# -gt 0 ] && shift
display=":$((150 + $$ % 100))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/tallykey-runtime.XXXXXX)}"
DISPLAY="$display" "$bin" "$@"
