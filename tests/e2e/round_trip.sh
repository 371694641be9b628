#!/usr/bin/env bash
# The program as a person uses it, driven with xdotool on an X server of its
# own: a database made by the Linux tkf is opened with its password, an item
# is added in the item editor and saved, and the Linux tkf reads the result.
# Every window it passes through is photographed on the way (the password
# prompt, the main window, the item editor, the group editor, the options
# dialog), so that the Windows and Linux pictures can be laid side by side.
#
#   round_trip.sh HOST_TKF PROGRAM RUNNER SHOTS_DIR
#
# RUNNER is how PROGRAM starts: "none" for a Linux program, or the path of
# scripts/wine-run.sh for tallyk.exe (then with a Wine prefix of its own,
# $TALLYKEY_WINEPREFIX-e2e, and the settings file beside the copy of
# tallyk.exe it runs).
set -euo pipefail
host_tkf=$1 program=$2 runner=$3 shots=$4
here=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/tallykey-e2e.XXXXXX")
mkdir -p "$shots"
app=; wm=
. "$here/scripts/xvfb.sh"
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null || true
  [ -n "$wm" ] && kill "$wm" 2>/dev/null || true
  if [ "$runner" != none ]; then
    WINEPREFIX=$TALLYKEY_WINEPREFIX timeout 30 wineserver -k >/dev/null 2>&1 || true
  fi
  xvfb_stop
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "round_trip: $*" >&2
  [ -s "$work/program.log" ] && sed 's/^/  program: /' "$work/program.log" >&2
  exit 1
}
# The program runs as a person starts it: on the display, not as the tests' offscreen Qt.
unset QT_QPA_PLATFORM

xvfb_start
openbox >/dev/null 2>&1 & # frames and captions in the pictures, as a desktop shows them
wm=$!
sleep 1

printf 'secret\n' | "$host_tkf" import "$here/examples/demo.json" "$work/vault.tkf" --password-fd 0 >/dev/null

# The program runs from a folder of its own: the Windows build keeps its
# settings beside itself, and nothing of an earlier run is there.
mkdir "$work/program"
cp "$program" "$work/program/"
for f in "$(dirname "$program")"/*.lng; do [ -e "$f" ] && cp "$f" "$work/program/"; done
exe="$work/program/$(basename "$program")"
if [ "$runner" = none ]; then
  export XDG_CONFIG_HOME=$work/config HOME=$work/home
  mkdir -p "$HOME"
  "$exe" "$work/vault.tkf" >"$work/program.log" 2>&1 &
  file_arg=$work/vault.tkf
else
  export TALLYKEY_WINEPREFIX=${TALLYKEY_WINEPREFIX:-/tmp/tallykey-wine-$(id -u)}-e2e
  "$runner" "$exe" "Z:${work//\//\\}\\vault.tkf" >"$work/program.log" 2>&1 &
fi
app=$!

# Waits for a visible window whose title matches; prints its id.
wait_window() {
  local id
  for _ in $(seq 300); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    kill -0 "$app" 2>/dev/null || fail "the program ended while waiting for \"$1\""
    sleep 0.2
  done
  fail "no window \"$1\""
}
gone() {
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
    sleep 0.2
  done
  fail "the window \"$1\" stays open"
}
shot() { sleep 0.7; import -window root "$shots/$1.png"; echo "screenshot: $shots/$1.png"; }
# A click at (x, y) of a window: the pointer is moved on the screen (Wine does
# not follow a move relative to a window) and arrives before the button. Wine
# loses the first click after a screenshot has been taken (import grabs the
# server): one on the bare desktop goes first.
click_at() {
  local x0 y0
  read -r x0 y0 < <(xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$4}/Absolute upper-left Y/{y=$4}END{print x, y}')
  xdotool mousemove 4 764
  sleep 0.3
  xdotool click 1
  sleep 0.3
  xdotool mousemove $((x0 + $2)) $((y0 + $3))
  sleep 0.5
  xdotool click 1
}
# The client size of the active window as the X server has it (what xwininfo calls Width x Height).
size_of() { xwininfo -id "$1" | awk '/Width:/{w=$2}/Height:/{h=$2}END{print w "x" h}'; }

prompt=$(wait_window "Authorization$")
shot password_prompt
echo "password prompt: $(size_of "$prompt")"
sleep 1 # the prompt has the focus once shown: no activation of ours (Wine would take it amiss)
xdotool type --delay 40 "secret"
xdotool key Return
gone "Authorization$"

main=$(wait_window "\\[vault.tkf\\] - Tallykey 0.4")
shot main_window
echo "main window: $(size_of "$main")"

# A click on the first group selects it (its row is the first under the menu
# bar on both platforms); Alt+Enter edits it.
# One click only: a second one on the selected node starts editing its label.
sleep 1.5 # the window takes input once the prompt's loop has handed it back
click_at "$main" 60 30
sleep 0.5
xdotool key alt+Return
group=$(wait_window "^Edit Group|^New Group")
shot group_editor
echo "group editor: $(size_of "$group")"
xdotool key Escape
gone "^Edit Group|^New Group"

# Insert adds an item to the selected group.
xdotool key Insert
item=$(wait_window "^New Item")
shot item_editor_empty
echo "item editor: $(size_of "$item")"
# The title box (8, 72 in the dialog's client area, which is its X window on
# both platforms) takes the title; Tab leads on to the login and the password.
click_at "$item" 60 81
xdotool type --delay 40 "Round trip"
xdotool key Tab
xdotool type --delay 40 "e2e-login"
xdotool key Tab
xdotool type --delay 40 "e2e-pass-42"
shot item_editor
xdotool key Return
gone "^New Item"

# Edit > Options... shows the options dialog; Enter is its Close button.
xdotool key alt+e
sleep 0.3
xdotool key o
options=$(wait_window "^Configuration")
shot options_dialog
echo "options dialog: $(size_of "$options")"
xdotool key Return
gone "^Configuration"

before=$(stat -c %Y.%s "$work/vault.tkf")
sleep 1.1 # a save within the same second would keep the time
xdotool key ctrl+s
for _ in $(seq 75); do [ "$(stat -c %Y.%s "$work/vault.tkf")" != "$before" ] && break; sleep 0.2; done
[ "$(stat -c %Y.%s "$work/vault.tkf")" != "$before" ] || fail "Ctrl+S did not save the file"
sleep 0.5
shot main_window_saved

got=$(printf 'secret\n' | "$host_tkf" get "$work/vault.tkf" "Mail/Round trip" --field login --password-fd 0)
[ "$got" = "e2e-login" ] || fail "the saved login is \"$got\""
got=$(printf 'secret\n' | "$host_tkf" get "$work/vault.tkf" "Mail/Round trip" --password-fd 0)
[ "$got" = "e2e-pass-42" ] || fail "the saved password is \"$got\""
printf 'secret\n' | "$host_tkf" show "$work/vault.tkf" --password-fd 0 | grep -q "Home mailbox" ||
  fail "the other items are gone"
echo "round trip: the item added in the program is in the file, as the Linux tkf reads it"

# File > Exit ends the program. A copy with its language files beside it is a
# portable one on both platforms: it keeps its settings beside itself too.
xdotool key alt+f
sleep 0.3
xdotool key x
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.2; done
kill -0 "$app" 2>/dev/null && fail "File > Exit did not end the program"
app=
grep -q "^LastFile=.*vault\.tkf" "$work/program/tallyk.ini" ||
  fail "no settings file beside the program naming the last file"
echo "settings: $(grep -c . "$work/program/tallyk.ini") lines beside the program, LastFile the saved file"
