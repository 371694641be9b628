#!/usr/bin/env bash
# Builds Tallykey and starts it. With a display the window opens; without
# one the program runs under Xvfb and a screenshot is written.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target tallyk tkf

# The demo database, password "demo", made from its JSON description.
if [ ! -f build/demo.tkf ] || [ examples/demo.json -nt build/demo.tkf ]; then
  rm -f build/demo.tkf
  printf 'demo\n' | ./build/tkf import examples/demo.json build/demo.tkf --password-fd 0
fi

args=("$@")

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec ./build/tallyk "${args[@]}"
fi

# No display: run under a virtual one and take a picture of it.
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/tallykey-runtime.XXXXXX)}"
chmod 700 "$XDG_RUNTIME_DIR"
. scripts/xvfb.sh
app=; wm=
trap 'kill $app $wm 2>/dev/null || true; xvfb_stop' EXIT
xvfb_start
display=$DISPLAY
# A window manager, so that the picture shows the window's frame and caption.
DISPLAY="$display" openbox >/dev/null 2>&1 &
wm=$!
sleep 1
DISPLAY="$display" ./build/tallyk "${args[@]}" &
app=$!
sleep 3
shot="$PWD/build/screenshot.png"
DISPLAY="$display" import -window root "$shot"
echo "No display found: Tallykey ran under Xvfb ($display)."
echo "Screenshot: $shot"
