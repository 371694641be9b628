#!/bin/sh
# Runs bench_startup on a private Xvfb (as a user's display without a window
# manager) and stops the server afterwards.
# Usage: bench/run_startup.sh [path/to/bench_startup] [benchmark flags...]
set -eu
bin=${1:-$(dirname "$0")/bench_startup}
[ $# -gt 0 ] && shift
# Xvfb picks a free display number itself and writes it to descriptor 3.
numberfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$numberfile" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; rm -f "$numberfile"' EXIT
for _ in $(seq 100); do [ -s "$numberfile" ] && break; sleep 0.05; done
display=":$(head -n 1 "$numberfile")"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/tallykey-runtime.XXXXXX)}"
DISPLAY="$display" "$bin" "$@"
