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
# Xvfb picks a free display number itself and writes it to descriptor 3.
number_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
xvfb=$!
app=; wm=
trap 'kill $app $wm $xvfb 2>/dev/null || true; rm -f "$number_file"' EXIT
for _ in $(seq 100); do [ -s "$number_file" ] && break; sleep 0.1; done
display=":$(head -n 1 "$number_file")"
for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
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
