#!/usr/bin/env bash
# Runs the README's two commands on a freshly installed Debian 12.
#
# A machine that has been worked on hides missing install steps: a package
# that was once installed by hand makes install-deps.sh look complete. This
# script makes a minimal Debian 12 root (debootstrap --variant=minbase),
# clones the committed HEAD of this repository into it and runs there, as
# root and with a clean environment, exactly what the README says:
#
#     ./scripts/start.sh     build and start (Xvfb and a screenshot here)
#     ./scripts/test.sh      the whole suite, normal and under ASan/UBSan
#
# When the build can make a Debian package (cpack -G DEB), the package is
# then installed with apt into a second fresh root and the installed program
# is started as its desktop entry says.
#
# The bootstrapped base is kept as a tarball under the cache folder, so that
# later runs only unpack it; downloaded .deb files are kept there too (the
# roots' /var/cache/apt/archives), so that Qt is not downloaded again. What
# gets installed still starts from nothing on every run.
#
# Needs root (debootstrap, mount, chroot) on a Debian host.
set -euo pipefail
shopt -s inherit_errexit nullglob

usage() {
  cat <<'EOF'
Usage: scripts/check-fresh-machine.sh [options]

Builds and tests the committed HEAD on a freshly bootstrapped Debian 12 root.

  --keep               keep the roots for inspection (nothing stays mounted)
  --refresh-cache      bootstrap the base root again even if one is cached
  --screenshot PATH    where start.sh's screenshot is copied to
                       (default /tmp/tallykey-fresh-machine/screenshot.png;
                       the installed program's goes beside it)
  --log PATH           full log (default /tmp/tallykey-fresh-machine/check.log)
  --cache-dir DIR      cached base and .deb files
                       (default /var/cache/tallykey/fresh-machine)
  --work-dir DIR       where the roots are made (default /var/tmp)
  --mirror URL         Debian mirror for debootstrap (default http://deb.debian.org/debian)
  -h, --help           this text
EOF
}

keep=false
refresh_cache=false
screenshot=/tmp/tallykey-fresh-machine/screenshot.png
log_file=/tmp/tallykey-fresh-machine/check.log
cache_dir=/var/cache/tallykey/fresh-machine
work_parent=/var/tmp
mirror=http://deb.debian.org/debian
suite=bookworm

while [ $# -gt 0 ]; do
  case $1 in
    --keep) keep=true ;;
    --refresh-cache) refresh_cache=true ;;
    --screenshot) screenshot=${2:?--screenshot needs a path}; shift ;;
    --log) log_file=${2:?--log needs a path}; shift ;;
    --cache-dir) cache_dir=${2:?--cache-dir needs a folder}; shift ;;
    --work-dir) work_parent=${2:?--work-dir needs a folder}; shift ;;
    --mirror) mirror=${2:?--mirror needs a URL}; shift ;;
    -h | --help) usage; exit 0 ;;
    *) echo "Unknown option: $1" >&2; usage >&2; exit 64 ;;
  esac
  shift
done

if [ "$(id -u)" -ne 0 ]; then
  echo "check-fresh-machine.sh needs root (debootstrap, mount, chroot)." >&2
  exit 1
fi

repo=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
head_commit=$(git -C "$repo" rev-parse HEAD)

# Everything from here on goes to the console and to the log file. tee ignores
# Ctrl-C and TERM so that the clean-up that follows them is still shown and
# logged.
mkdir -p "$(dirname "$log_file")" "$(dirname "$screenshot")"
: >"$log_file"
exec > >(trap '' INT TERM HUP; exec tee -a "$log_file") 2>&1
tee_pid=$!

installed_screenshot="$(dirname "$screenshot")/screenshot-installed.png"
rm -f "$screenshot" "$installed_screenshot"

# The clean environment of every command run inside a root.
root_env=(/usr/bin/env -i
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
  HOME=/root LANG=C.UTF-8 TERM=dumb)

# ---------------------------------------------------------------------------
# Stages: each is a function run by run_stage, which times it. A failing
# command ends the script (set -e); the exit trap then names the stage that
# was running, cleans up and prints the summary.

started=$SECONDS
current_stage=""
stage_started=0
stage_result=""
summary=()
passed=0 failed=0 skipped=0

duration() { printf '%dm%02ds' $(($1 / 60)) $(($1 % 60)); }
say() { printf '[%s] %s\n' "$(duration $((SECONDS - started)))" "$*"; }

run_stage() { # run_stage NAME FUNCTION [ARGS...]
  current_stage=$1
  shift
  stage_started=$SECONDS
  stage_result=passed
  echo
  say "== $current_stage"
  "$@"
  local took=$((SECONDS - stage_started))
  case $stage_result in
    passed) passed=$((passed + 1)) ;;
    skipped*) skipped=$((skipped + 1)) ;;
  esac
  summary+=("$(printf '  %-20s %-8s %s' "$current_stage" "$(duration "$took")" "$stage_result")")
  say "== $current_stage: $stage_result ($(duration "$took"))"
  current_stage=""
}

skip_stage() { # skip_stage REASON: the stage ends here, counted as skipped
  stage_result="skipped: $1"
  say "SKIPPED: $1"
}

fail() {
  say "FAILED: $*"
  exit 1
}

# ---------------------------------------------------------------------------
# Roots: made in a fresh folder under the work folder, so that one removal
# takes them all.

work=""
roots=()

# Mount points at or below $1, deepest first (mountinfo's fifth field; the
# paths here have no spaces, which mountinfo would write as \040).
mounts_below() {
  awk -v d="$1" '$5 == d || index($5, d "/") == 1 { print $5 }' /proc/self/mountinfo | sort -r
}

# Processes whose root directory is $1 or below: whatever a command inside
# left running (start.sh's Xvfb, a window manager, a test that hangs).
pids_in_root() {
  local p link
  for p in /proc/[0-9]*; do
    link=$(readlink "$p/root" 2>/dev/null) || continue
    link=${link% (deleted)}
    if [ "$link" = "$1" ] || [[ $link == "$1"/* ]]; then
      echo "${p#/proc/}"
    fi
  done
}

# Ends every process inside root $1: TERM, then KILL for those that stay.
stop_processes_in() {
  local root=$1 pids
  pids=$(pids_in_root "$root")
  [ -n "$pids" ] || return 0
  say "Stopping processes left in $root: $(for p in $pids; do printf '%s(%s) ' "$(cat "/proc/$p/comm" 2>/dev/null)" "$p"; done)"
  # shellcheck disable=SC2086 # one pid a word
  kill -TERM $pids 2>/dev/null || true
  for _ in $(seq 50); do
    [ -n "$(pids_in_root "$root")" ] || return 0
    sleep 0.1
  done
  pids=$(pids_in_root "$root")
  # shellcheck disable=SC2086
  kill -KILL $pids 2>/dev/null || true
  for _ in $(seq 50); do
    [ -n "$(pids_in_root "$root")" ] || return 0
    sleep 0.1
  done
  say "Processes still in $root after KILL: $(pids_in_root "$root" | tr '\n' ' ')"
  return 1
}

# Unmounts everything below folder $1, deepest first. A mount that stays busy
# is detached lazily: it then leaves the tree at once, so that no removal
# below can reach what it shows.
unmount_below() {
  local m root
  for m in $(mounts_below "$1"); do
    umount "$m" 2>/dev/null || {
      for root in "${roots[@]}"; do stop_processes_in "$root" || true; done
      umount "$m" 2>/dev/null || { say "$m is busy: detaching it lazily"; umount -l "$m"; }
    }
  done
  [ -z "$(mounts_below "$1")" ]
}

# Removes the work folder, only when it is the one this run made and nothing
# is mounted below it. A bind mount of a folder of the same file system would
# not stop rm's --one-file-system, hence the check of the mount table.
remove_work() {
  local real
  real=$(realpath -e "$work")
  case $real in
    "$(realpath -e "$work_parent")"/tallykey-fresh-machine.*) ;;
    *) say "Refusing to remove $real: not a work folder of this script"; return 1 ;;
  esac
  if [ -n "$(mounts_below "$real")" ]; then
    say "Not removing $real: still mounted below it:"
    mounts_below "$real"
    return 1
  fi
  rm -rf --one-file-system -- "$real"
}

# A mount point inside a root must be a real folder of that root: a symbolic
# link there (or in a parent) would put the mount on the host's own folder.
check_mount_point() {
  if [ -L "$1" ] || [ ! -d "$1" ] || [ "$(realpath -e "$1")" != "$1" ]; then
    fail "$1 is not a plain folder inside the root"
  fi
}

# Mounts what programs need inside root $1.
mount_root() {
  local root=$1 t
  for t in proc sys dev tmp var/cache/apt/archives; do check_mount_point "$root/$t"; done
  mount -t proc proc "$root/proc"
  mount -t sysfs -o ro sysfs "$root/sys"
  # /dev is a tmpfs of the root's own with the usual nodes, not a bind of the
  # host's /dev: nothing done inside the root, nor a removal of it, can reach
  # the host's devices. devpts is a new instance, the root's own terminals.
  mount -t tmpfs -o mode=755,nosuid,size=64m tmpfs "$root/dev"
  mknod -m 666 "$root/dev/null" c 1 3
  mknod -m 666 "$root/dev/zero" c 1 5
  mknod -m 666 "$root/dev/full" c 1 7
  mknod -m 666 "$root/dev/random" c 1 8
  mknod -m 666 "$root/dev/urandom" c 1 9
  mknod -m 666 "$root/dev/tty" c 5 0
  ln -s /proc/self/fd "$root/dev/fd"
  ln -s /proc/self/fd/0 "$root/dev/stdin"
  ln -s /proc/self/fd/1 "$root/dev/stdout"
  ln -s /proc/self/fd/2 "$root/dev/stderr"
  mkdir "$root/dev/pts" "$root/dev/shm"
  mount -t devpts -o newinstance,ptmxmode=0666,mode=0620,gid=5 devpts "$root/dev/pts"
  ln -s pts/ptmx "$root/dev/ptmx"
  mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$root/dev/shm"
  mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$root/tmp"
  # The shared .deb cache. apt downloads into partial/ as its _apt user.
  local apt_uid
  apt_uid=$(awk -F: '$1 == "_apt" { print $3 }' "$root/etc/passwd")
  mkdir -p "$debs/partial"
  [ -z "$apt_uid" ] || chown "$apt_uid:0" "$debs/partial"
  mount --bind "$debs" "$root/var/cache/apt/archives"
}

# What a fresh install on this network has besides the base system: the apt
# sources and the name server. (rm first: a file that were a symbolic link
# would otherwise be written through, possibly to the host.)
configure_root() {
  local root=$1 f
  rm -f "$root/etc/apt/sources.list"
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    rm -f "$root$f"
    cp "$f" "$root$f"
  done
  # The host's Acquire settings (Check-Valid-Until and Check-Date "false" in
  # /etc/apt/apt.conf.d/99artifact-registry, compressed indexes, no
  # translations, no AppStream data) are not copied: apt-get update in a fresh
  # root reaches the mirror without them (its Release files are current, so
  # nothing is expired or dated in the future), and a fresh install has none
  # of them. Should the mirror ever serve stale Release files, install-deps.sh
  # fails in the root with "is expired": the validity settings belong here then.
  rm -f "$root/etc/resolv.conf"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  # No init runs in a chroot: package scripts must not start services (D-Bus
  # and the like) on the host's kernel, outside this script's control. This
  # is what Debian's own chroot builders do; it changes nothing installed.
  rm -f "$root/usr/sbin/policy-rc.d"
  printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
  chmod 755 "$root/usr/sbin/policy-rc.d"
}

# Makes root $1 (a name) from the cached base and mounts it; sets $root_made.
root_made=""
make_root() {
  local root=$work/$1
  mkdir "$root"
  roots+=("$root")
  tar -C "$root" --numeric-owner --xattrs --xattrs-include='*' -xzf "$base"
  configure_root "$root"
  mount_root "$root"
  root_made=$root
}

# Runs shell command $2 inside root $1 in the clean environment, without
# standard input. It runs in the background and is waited for, so that Ctrl-C
# or TERM reach this script's trap at once rather than after the command.
in_root() {
  chroot "$1" "${root_env[@]}" /bin/bash -c "$2" </dev/null &
  wait $!
}

# ---------------------------------------------------------------------------
# The stages.

stage_host_tools() {
  if ! command -v debootstrap >/dev/null; then
    say "Installing debootstrap on this machine"
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap
  fi
  local tool
  for tool in debootstrap chroot git tar gzip mount umount mknod flock; do
    command -v "$tool" >/dev/null || fail "$tool is missing on this machine"
  done
  work=$(mktemp -d "$(realpath -e "$work_parent")/tallykey-fresh-machine.XXXXXX")
  say "Work folder: $work"
  say "Repository: $repo, HEAD $head_commit ($(git -C "$repo" log -1 --format=%s "$head_commit"))"
  if [ -n "$(git -C "$repo" status --porcelain --untracked-files=no)" ]; then
    say "Note: the working tree has uncommitted changes; only the committed HEAD is checked."
  fi
}

# The freshly bootstrapped base, cached as a tarball. It is made again when
# missing, unreadable (an interrupted write, a damaged file) or asked for.
stage_base() {
  base=$cache_dir/$suite-minbase-$(dpkg --print-architecture).tar.gz
  debs=$cache_dir/debs
  mkdir -p "$cache_dir" "$debs"
  # One run at a time makes the base; a second one waits and then reads it.
  exec 9>"$cache_dir/lock"
  flock 9
  local why=""
  if $refresh_cache; then
    why="a refresh was asked for"
  elif [ ! -f "$base" ]; then
    why="none is cached"
  elif ! tar -tzf "$base" >/dev/null 2>&1; then
    why="the cached $base is unreadable"
  fi
  if [ -z "$why" ]; then
    say "Cached base: $base ($(du -h "$base" | cut -f1), made $(date -r "$base" '+%Y-%m-%d %H:%M'))"
  else
    say "Bootstrapping the base ($why)"
    local boot=$work/bootstrap
    mkdir "$boot"
    debootstrap --variant=minbase "$suite" "$boot" "$mirror"
    # debootstrap mounts /proc and /sys inside while it works.
    unmount_below "$boot" || fail "cannot unmount below $boot"
    # Its downloads would only make the tarball bigger: the roots' archive
    # folder is the shared cache.
    rm -f "$boot"/var/cache/apt/archives/*.deb
    tar -C "$boot" --numeric-owner --xattrs --xattrs-include='*' -czf "$base.new" .
    mv "$base.new" "$base"
    rm -rf --one-file-system -- "$boot"
    say "Cached base: $base ($(du -h "$base" | cut -f1))"
  fi
  flock -u 9
  exec 9>&-
}

stage_build_root() {
  make_root build-root
  build_root=$root_made
  # A clone of the repository, then its HEAD commit: what is committed, not
  # the working tree. --no-hardlinks: the root shares no files with the host.
  git clone --quiet --no-hardlinks "$repo" "$build_root/root/tallykey"
  git -C "$build_root/root/tallykey" checkout --quiet --detach "$head_commit"
  say "Root: $build_root; /root/tallykey at $(git -C "$build_root/root/tallykey" rev-parse --short HEAD)"
}

stage_start() {
  in_root "$build_root" 'cd /root/tallykey && ./scripts/start.sh'
  # start.sh ends its Xvfb, window manager and program itself; anything still
  # there is stopped (and named) so that it cannot hold the mounts.
  stop_processes_in "$build_root"
  local shot=$build_root/root/tallykey/build/screenshot.png
  [ -s "$shot" ] || fail "start.sh wrote no screenshot (build/screenshot.png)"
  [ "$(head -c 8 "$shot" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
    fail "build/screenshot.png is not a PNG file"
  # An X server without any window is one colour (black): a picture of a
  # window has many.
  local colours
  colours=$(in_root "$build_root" 'identify -format %k /root/tallykey/build/screenshot.png')
  say "The screenshot has $colours colours"
  cp "$shot" "$screenshot"
  say "Screenshot of the program on the fresh machine: $screenshot"
  [ "$colours" -gt 1 ] || fail "the screenshot is blank: no window was shown"
}

stage_test() {
  in_root "$build_root" 'cd /root/tallykey && ./scripts/test.sh'
  stop_processes_in "$build_root"
  # Keep the shared .deb cache to what the mirror still serves.
  in_root "$build_root" 'apt-get autoclean -q' >/dev/null
}

# The package that the build makes, installed with apt into a second fresh
# root: its Depends must bring everything the program needs, and the
# installed program must start as its desktop entry says.
stage_installed_package() {
  local tree=$build_root/root/tallykey
  if [ ! -f "$tree/build/CPackConfig.cmake" ]; then
    skip_stage "build/CPackConfig.cmake does not exist: the build makes no package yet"
    return
  fi
  in_root "$build_root" 'cd /root/tallykey/build && cpack -G DEB'
  local packages=("$tree"/build/*.deb)
  if [ ${#packages[@]} -eq 0 ]; then
    skip_stage "cpack -G DEB made no build/*.deb"
    return
  fi
  local p
  for p in "${packages[@]}"; do
    say "Package ${p##*/}, Depends: $(dpkg-deb -f "$p" Depends)"
  done

  make_root install-root
  local root=$root_made
  mkdir "$root/root/packages"
  cp "${packages[@]}" "$root/root/packages/"
  cp "$tree/examples/demo.json" "$root/root/demo.json"

  # --no-install-recommends: the package's Depends alone must be enough.
  in_root "$root" 'cd /root && apt-get update -q &&
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends ./packages/*.deb'
  # shellcheck disable=SC2016 # expanded by the shell inside the root
  in_root "$root" 'set -e
    for f in /usr/bin/tallyk /usr/bin/tkf; do
      [ -x "$f" ] || { echo "$f is not installed"; exit 1; }
    done
    ls /usr/share/applications/*.desktop'
  # Only the tools that start and watch the program; nothing the program
  # itself needs may come from here.
  in_root "$root" 'DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    xvfb xauth x11-utils xdotool imagemagick openbox'

  cat >"$root/root/start-installed.sh" <<'EOF'
#!/bin/bash
# Starts the installed program as its desktop entry says, with a database
# made by the installed tkf, under Xvfb; answers the password prompt and
# takes a picture of the main window.
set -euo pipefail
cd /root
entry=$(grep -l '^Exec=.*tallyk' /usr/share/applications/*.desktop | head -n 1) ||
  { echo "No desktop entry starts tallyk"; exit 1; }
exec_line=$(sed -n 's/^Exec=//p' "$entry" | head -n 1)
echo "Desktop entry $entry: Exec=$exec_line"

tkf --version
printf 'demo\n' | tkf import /root/demo.json /root/demo.tkf --password-fd 0
echo "Language files in /usr/share/tallykey:"
ls -l /usr/share/tallykey
[ -n "$(ls -A /usr/share/tallykey)" ] || { echo "/usr/share/tallykey is empty"; exit 1; }

XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>/tmp/display 2>/tmp/xvfb.log &
xvfb=$!
app=
trap 'kill $app $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 100); do grep -q . /tmp/display 2>/dev/null && break; sleep 0.1; done
DISPLAY=:$(head -n 1 /tmp/display)
export DISPLAY
# A window manager, so that the picture shows the frame with the program's icon.
openbox >/dev/null 2>&1 &
wm=$!
trap 'kill $app $wm $xvfb 2>/dev/null || true' EXIT
sleep 1

# %f is the file to open; the other field codes stand for nothing here. The
# desktop entry quotes arguments as the shell does.
command=$(printf '%s' "$exec_line" | sed -e 's|%f|/root/demo.tkf|g' -e 's/%[FuUdDnNickvm]//g')
eval "set -- $command"
echo "Starting: $*"
# No browser here: xdg-open hands web pages to $BROWSER, which notes them.
printf '#!/bin/sh\necho "$@" >>/root/browser.log\n' >/root/record-browser
chmod +x /root/record-browser
BROWSER=/root/record-browser "$@" >/tmp/program.log 2>&1 &
app=$!

wait_for() { # wait_for PATTERN: the id of a visible window with that caption
  local id
  for _ in $(seq 300); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) || true
    [ -n "$id" ] && { echo "$id"; return 0; }
    kill -0 "$app" 2>/dev/null || { echo "The program ended:" >&2; cat /tmp/program.log >&2; return 1; }
    sleep 0.1
  done
  echo "No window named $1 within 30 s" >&2
  return 1
}

prompt=$(wait_for 'demo\.tkf.*Authorization')
xdotool windowfocus --sync "$prompt"
xdotool type --delay 20 demo
xdotool key Return
window=$(wait_for 'demo\.tkf.*Tallykey')
echo "Window: $(xdotool getwindowname "$window")"
sleep 1
import -window root /root/screenshot-installed.png
kill -0 "$app" || { echo "The program ended"; exit 1; }

# F1: nothing here shows compiled help, so the installed web pages open.
xdotool windowfocus --sync "$window"
xdotool key F1
for _ in $(seq 100); do [ -s /root/browser.log ] && break; sleep 0.1; done
echo "F1 opened: $(cat /root/browser.log 2>/dev/null)"
grep -qx 'file:///usr/share/doc/tallykey/html/index.html' /root/browser.log

# File > Exit: the settings go to the user's folder, never beside /usr/bin/tallyk
# (which root could write).
xdotool key alt+f
sleep 0.3
xdotool key x
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app" 2>/dev/null; then echo "File > Exit did not end the program"; exit 1; fi
[ -f /root/.config/tallykey/tallyk.ini ] || { echo "No settings in /root/.config/tallykey"; exit 1; }
[ ! -e /usr/bin/tallyk.ini ] || { echo "Settings were written to /usr/bin"; exit 1; }
echo "Settings: /root/.config/tallykey/tallyk.ini"
EOF
  in_root "$root" 'bash /root/start-installed.sh'
  stop_processes_in "$root"
  cp "$root/root/screenshot-installed.png" "$installed_screenshot"
  say "Screenshot of the installed program: $installed_screenshot"
}

# ---------------------------------------------------------------------------
# On any exit: stop what runs inside the roots, unmount, remove (or keep), and
# print the summary.

on_exit() {
  local rc=$?
  trap - EXIT INT TERM HUP
  set +e
  if [ -n "$current_stage" ]; then
    [ "$rc" -ne 0 ] || rc=1
    failed=$((failed + 1))
    summary+=("$(printf '  %-20s %-8s FAILED' "$current_stage" "$(duration $((SECONDS - stage_started)))")")
    echo
    say "FAILED in stage: $current_stage (exit status $rc${signal:+, stopped by SIG$signal})"
  fi
  if [ -n "$work" ] && [ -d "$work" ]; then
    local root clean=true
    for root in "${roots[@]}"; do stop_processes_in "$root" || clean=false; done
    unmount_below "$work" || clean=false
    if ! $clean; then
      say "Clean-up failed: $work is left as it is"
      mounts_below "$work"
      [ "$rc" -ne 0 ] || rc=1
    elif $keep; then
      say "Kept: ${roots[*]} (nothing is mounted in them now)"
      say "  look inside: chroot ${roots[0]:-$work} /bin/bash"
      say "  remove:      rm -rf --one-file-system $work"
    elif ! remove_work; then
      [ "$rc" -ne 0 ] || rc=1
    fi
  fi
  echo
  echo "Summary (HEAD $head_commit):"
  local line
  for line in "${summary[@]}"; do echo "$line"; done
  echo "  total                $(duration $((SECONDS - started)))"
  [ ! -f "$screenshot" ] || echo "Screenshot: $screenshot"
  [ ! -f "$installed_screenshot" ] || echo "Screenshot of the installed program: $installed_screenshot"
  echo "Log: $log_file"
  echo "fresh-machine stages: $passed passed, $failed failed, $skipped skipped"
  # Let tee write the last lines before the script ends.
  exec >&- 2>&-
  wait "$tee_pid" 2>/dev/null
  exit "$rc"
}
trap on_exit EXIT
signal=""
trap 'signal=INT; exit 130' INT
trap 'signal=TERM; exit 143' TERM
trap 'signal=HUP; exit 129' HUP

say "Fresh Debian 12 check of $repo"
run_stage "host tools" stage_host_tools
run_stage "base root" stage_base
run_stage "build root" stage_build_root
run_stage "start.sh" stage_start
run_stage "test.sh" stage_test
run_stage "installed package" stage_installed_package
