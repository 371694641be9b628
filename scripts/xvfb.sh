# Sourced by the scripts that need an X display of their own:
#
#   . scripts/xvfb.sh
#   xvfb_start          # Xvfb on a free display; DISPLAY is exported
#   ...
#   xvfb_stop           # also done by the EXIT trap the caller sets
#
# Xvfb picks a free display number itself (-displayfd), so that parallel runs
# and a desktop already on :0 are never disturbed. The screen is 1024x768x24.
xvfb_pid=

xvfb_start() {
  local number_file
  number_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$number_file" ] && break; sleep 0.1; done
  if [ ! -s "$number_file" ]; then
    rm -f "$number_file"
    echo "xvfb.sh: Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$(head -n 1 "$number_file")"
  rm -f "$number_file"
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
  echo "xvfb.sh: Xvfb on $DISPLAY does not answer" >&2
  return 1
}

xvfb_stop() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=
}
