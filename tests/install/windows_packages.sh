#!/usr/bin/env bash
# The Windows packages under Wine, in a Wine prefix made for this run: the
# installer installs silently (files, Start menu, the uninstall entry, the
# .tkf file type), the installed tkf.exe runs, and the uninstaller takes all
# of it away again, the settings file the program left beside itself too.
# What is there before, after installing and after uninstalling is printed.
# The portable zip holds the programs, the language file, the help and its README.
#
#   windows_packages.sh SETUP.exe PACKAGE.zip VERSION
set -euo pipefail
setup=$1 zip=$2 version=$3
here=$(cd "$(dirname "$0")/../.." && pwd)
export TALLYKEY_WINEPREFIX=${TALLYKEY_WINEPREFIX:-/tmp/tallykey-wine-$(id -u)}-packages
export WINEPREFIX=$TALLYKEY_WINEPREFIX WINEDEBUG=-all
run() { "$here/scripts/wine-run.sh" "$@"; }
fail() { echo "windows_packages: $*" >&2; exit 1; }
# A display of its own: the window Wine shows while it makes a prefix must not
# come to the front of the tests' display and take their keyboard focus.
. "$here/scripts/xvfb.sh"
trap 'timeout 30 wineserver -k >/dev/null 2>&1 || true; xvfb_stop' EXIT
xvfb_start

# A prefix of its own, made anew: nothing of an earlier run is left.
timeout 30 wineserver -k >/dev/null 2>&1 || true
rm -rf "$WINEPREFIX" "$WINEPREFIX.lock"
run cmd /c exit </dev/null >/dev/null 2>&1
timeout 120 wineserver -w

drive=$WINEPREFIX/drive_c
folder="$drive/Program Files/Tallykey"
classes='HKCU\Software\Classes'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tallykey'
# The default value of a key, or nothing when the key is missing.
value() { run reg query "$1" /ve 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ[[:space:]]*//p'; }
state() {
  echo "-- $1"
  echo "files:"
  { find "$folder" -type f 2>/dev/null || true; find "$drive" -path '*Start Menu/Programs/Tallykey*' 2>/dev/null; } |
    sed "s|$drive|C:|" | sort | sed 's/^/  /'
  echo "registry:"
  for key in "$uninstall_key" "$classes\\.tkf" "$classes\\tkffile" "$classes\\tkffile\\DefaultIcon" \
    "$classes\\tkffile\\Shell\\Open\\Command" "$classes\\Applications\\tallyk.exe\\Shell\\Open\\Command"; do
    if run reg query "$key" >/dev/null 2>&1; then echo "  $key = $(value "$key")"; fi
  done
}

state "before installing"
[ ! -e "$folder" ] || fail "an earlier install is there"

cp "$setup" "$drive/tallykey-setup.exe" # as a download would be
run 'C:\tallykey-setup.exe' /S </dev/null
timeout 120 wineserver -w
state "after installing"
for f in tallyk.exe tkf.exe russian.lng tallyk_eng.chm uninstall.exe; do
  [ -f "$folder/$f" ] || fail "$f was not installed"
done
find "$drive" -path '*Start Menu/Programs/Tallykey/Tallykey.lnk' | grep -q . || fail "no Start-menu entry"
[ "$(value "$classes\\.tkf")" = tkffile ] || fail ".tkf is not the program's file type"
open='C:\Program Files\Tallykey\tallyk.exe "%1"'
[ "$(value "$classes\\tkffile\\Shell\\Open\\Command")" = "$open" ] || fail "the open command is not the installed program's"
[ "$(value "$classes\\tkffile\\DefaultIcon")" = 'C:\Program Files\Tallykey\tallyk.exe,1' ] || fail "no file icon"
run reg query "$uninstall_key" /v UninstallString >/dev/null 2>&1 || fail "no uninstall entry"
got=$(run "C:\\Program Files\\Tallykey\\tkf.exe" --version </dev/null | tr -d '\r')
case $got in *"$version"*) echo "installed tkf.exe: $got" ;; *) fail "the installed tkf.exe says \"$got\"" ;; esac

# The settings the program keeps beside itself go with it.
printf '[Settings]\r\nLastFile=C:\\vault.tkf\r\n' >"$folder/tallyk.ini"
run "C:\\Program Files\\Tallykey\\uninstall.exe" /S </dev/null
timeout 120 wineserver -w # the uninstaller runs on from a copy of itself
state "after uninstalling"
[ ! -e "$folder" ] || fail "files are left: $(ls "$folder")"
! find "$drive" -path '*Start Menu/Programs/Tallykey*' | grep -q . || fail "the Start-menu entry is left"
for key in "$uninstall_key" "$classes\\.tkf" "$classes\\tkffile" "$classes\\Applications\\tallyk.exe"; do
  ! run reg query "$key" >/dev/null 2>&1 || fail "$key is left"
done

echo "-- the portable zip"
python3 - "$zip" <<'PY'
import sys, zipfile
names = sorted(zipfile.ZipFile(sys.argv[1]).namelist())
print("  " + "\n  ".join(names))
want = sorted(["tallyk.exe", "tkf.exe", "russian.lng", "tallyk_eng.chm", "README.txt"])
sys.exit(0 if names == want else f"the zip holds {names}, not {want}")
PY
echo "installer: $(stat -c %s "$setup") bytes; zip: $(stat -c %s "$zip") bytes"
