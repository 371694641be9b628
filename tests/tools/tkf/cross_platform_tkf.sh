#!/usr/bin/env bash
# tkf built for Linux and tkf.exe built for Windows (run under Wine) write the
# same bytes from the same input, read each other's files, and answer with the
# same exit codes.
#
#   cross_platform_tkf.sh LINUX_TKF WINDOWS_TKF WINE_RUNNER TEST_DATA
set -euo pipefail
linux=$1 windows=$2 runner=$3 data=$4
work=$(mktemp -d "${TMPDIR:-/tmp}/tallykey-cross.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

fails=0
check() { # check WHAT: the last comparison's result
  if [ "$1" = ok ]; then echo "ok:   $2"; else echo "FAIL: $2"; fails=$((fails + 1)); fi
}
win() { "$runner" "$windows" "$@"; }
same() { cmp -s "$1" "$2" && echo ok || echo no; }
code() { local c=0; "$@" >/dev/null 2>&1 || c=$?; echo "$c"; }

# One input, a Cyrillic database with a Cyrillic password (UTF-8 on the descriptor).
password=$'\xd0\x9f\xd0\xb0\xd1\x80\xd0\xbe\xd0\xbb\xd1\x8c'
json=$data/cyrillic-1251.json
printf '%s\n' "$password" | "$linux" import "$json" linux.tkf --password-fd 0 --codepage 1251
printf '%s\n' "$password" | win import "$json" windows.tkf --password-fd 0 --codepage 1251
check "$(same linux.tkf windows.tkf)" "import writes the same bytes on both"
check "$(same linux.tkf "$data/cyrillic-1251.tkf")" "and they are the reference file's"

# Each reads the other's file to the same text, and the same export.
printf '%s\n' "$password" | "$linux" export windows.tkf --format json --password-fd 0 --codepage 1251 >linux.json
printf '%s\n' "$password" | win export linux.tkf --format json --password-fd - --codepage 1251 >windows.json
check "$(same linux.json windows.json)" "each exports the other's file alike"
printf '%s\n' "$password" | "$linux" export linux.tkf --format csv --password-fd 0 --codepage 1251 >linux.csv
printf '%s\n' "$password" | win export windows.tkf --format csv --password-fd 0 --codepage 1251 >windows.csv
check "$(same linux.csv windows.csv)" "CSV exports are byte for byte the same"

# Exit codes: right and wrong password, a damaged file.
for tool in linux win; do
  run=$tool; [ "$tool" = linux ] && run=$linux
  [ "$(printf '%s\n' "$password" | code "$run" check linux.tkf --password-fd 0 --codepage 1251)" = 0 ] && r=ok || r=no
  check "$r" "$tool: check with the right password exits 0"
  [ "$(printf 'wrong\n' | code "$run" check windows.tkf --password-fd 0)" = 2 ] && r=ok || r=no
  check "$r" "$tool: a wrong password exits 2"
done
head -c 20 linux.tkf >cut.tkf
for tool in linux win; do
  run=$tool; [ "$tool" = linux ] && run=$linux
  [ "$(printf '%s\n' "$password" | code "$run" check cut.tkf --password-fd 0 --codepage 1251)" = 3 ] && r=ok || r=no
  check "$r" "$tool: a damaged file exits 3"
done

# A new password set on Windows opens on Linux, and the other way round.
printf '%s\nnew one\n' "$password" | win passwd linux.tkf --password-fd 0 --codepage 1251
printf '%s\nnew one\n' "$password" | "$linux" passwd windows.tkf --password-fd 0 --codepage 1251
check "$(same linux.tkf windows.tkf)" "passwd writes the same bytes on both"
[ "$(printf 'new one\n' | code "$linux" check linux.tkf --password-fd 0)" = 0 ] && r=ok || r=no
check "$r" "Linux opens what tkf.exe re-encrypted"

[ "$fails" -eq 0 ] || { echo "$fails cross-platform checks failed"; exit 1; }
echo "All cross-platform checks passed."
