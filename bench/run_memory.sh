#!/usr/bin/env bash
# Peak memory of tkf and the program on hostile inputs: files of empty fields with huge
# counts, and JSON imports that would build millions of records. Each run's peak resident
# size comes from /usr/bin/time (the kernel's ru_maxrss of the child); the bounds are those
# a user can rely on: tkf check/export at most 8 x the file's size + 64 MB, the program at
# most 32 x + 100 MB. The seconds are the run's elapsed time (for the program: reading the
# file, building the tree and showing the window).
#
#   bench/run_memory.sh BUILD_DIR [OTHER_BUILD_DIR]   (the second, e.g. an older build, for comparison)
#
# The program runs on Qt's offscreen platform with TALLYKEY_EXIT_AFTER_SHOW=1; a file it
# refuses shows a message box, so it is stopped after 20 s (its peak is reached by then).
set -euo pipefail
builds=("$@")
[ ${#builds[@]} -ge 1 ] || { echo "usage: $0 BUILD_DIR [OTHER_BUILD_DIR]" >&2; exit 64; }
command -v /usr/bin/time >/dev/null || { echo "needs /usr/bin/time (Debian package time)" >&2; exit 1; }
work=$(mktemp -d /tmp/tallykey-memory.XXXXXX)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime" TALLYKEY_EXIT_AFTER_SHOW=1
mkdir -m 700 "$work/runtime"

# A database file with the empty password (the all-zero key) from a plaintext made by python.
make_file() { # NAME PYTHON-EXPRESSION-FOR-THE-PLAINTEXT
  python3 - "$work/$1.plain" "$2" <<'PY'
import sys
plain = eval(sys.argv[2])
open(sys.argv[1], "wb").write(plain)
PY
  local plain="$work/$1.plain" size
  size=$(stat -c %s "$plain")
  { python3 -c "import struct,sys; sys.stdout.buffer.write(struct.pack('<I', $size))"
    { cat "$plain"; head -c $(( (16 - size % 16) % 16 )) /dev/zero; } |
      openssl enc -aes-128-ecb -nopad -K 00000000000000000000000000000000; } > "$work/$1.tkf"
  rm "$plain"
}
M=$((1 << 20))
make_file empty64 "b'Authorization\0' + b'2147483647\0' + bytes($((64 * M)) - 25)"
make_file empty8 "b'Authorization\0' + b'2147483647\0' + bytes($((8 * M)) - 25)"
make_file groups1m "b'Authorization\0' + b'1000000\0' + bytes(4 * 1000000)"
make_file items1m "b'Authorization\0' + b'1\0g\0' + b'0\0' + b'1\0' + b'1000000\0' + bytes(6 * 1000000)"
# A million open groups (each branch open but empty), half a million open groups of one empty
# item each, and a million records of usual length in ten open groups.
make_file opengroups1m "b'Authorization\0' + b'1000000\0' + b'\0\0001\0\0' * 1000000"
make_file pairs500k "b'Authorization\0' + b'500000\0' + (b'\0\0' + b'1\0' + b'1\0' + bytes(6)) * 500000"
make_file records1m "b'Authorization\0' + b'10\0' + b''.join(b'Group %d\0%d\0' % (g, g) + b'1\0' + b'100000\0' + b''.join(b'Item %d.%d\0%d\0user%d@example.com\0p4ssw0rd-%d\0https://www.example.com/login\0A comment\r\non two lines\0' % (g, i, (g + i) % 51, i, i) for i in range(100000)) for g in range(10))"
python3 -c "n = (32 << 20) // 3; open('$work/groups.json', 'w').write('{\"groups\": [' + '{},' * n + '{}]}')"
python3 -c "n = (32 << 20) // 3; open('$work/items.json', 'w').write('{\"groups\": [{\"items\": [' + '{},' * n + '{}]}]}')"
python3 -c "n = (32 << 20) // 2; open('$work/zeros.json', 'w').write('{\"groups\": [' + '0,' * n + '0]}')"
python3 -c "n = (32 << 20) // 3; open('$work/bitwarden.json', 'w').write('{\"items\": [' + '{},' * n + '{}]}')"
python3 -c "n = (32 << 20) // 4; open('$work/chrome.csv', 'w').write('name,url,username,password\n' + ',,,\n' * n)"

# peak KB, the exit code and the seconds taken by a command
peak() {
  local out="$work/time.txt" code=0
  /usr/bin/time -f '%M %e' -o "$out" "$@" <<< "" >/dev/null 2>&1 || code=$?
  read -r kb seconds < <(tail -n 1 "$out")
  echo "$kb $code $seconds"
}

row() { # LABEL INPUT FACTOR BASE_MB build-relative command...
  local label=$1 input=$2 factor=$3 base=$4; shift 4
  local bytes mb limit
  bytes=$(stat -c %s "$input")
  limit=$(( (factor * bytes + base * M) / 1024 ))
  printf '%-44s %8.1f MB  limit %7.1f MB' "$label" "$(bc <<< "scale=1; $bytes / $M")" "$(bc <<< "scale=1; $limit / 1024")"
  for b in "${builds[@]}"; do
    read -r kb code seconds < <(peak "${@//@B@/$b}")
    printf '  | %7.1f MB %5.1f s exit %-3s %-4s' "$(bc <<< "scale=1; $kb / 1024")" "$seconds" "$code" "$([ "$kb" -le "$limit" ] && echo ok || echo OVER)"
  done
  echo
}

printf '%-44s %11s  %16s' "input" "size" "bound"
for b in "${builds[@]}"; do printf '  | %-33s' "$b"; done
echo
row "tkf check, 64 MB of empty fields" "$work/empty64.tkf" 8 64 @B@/tkf check "$work/empty64.tkf" --password-fd 0
row "tkf export json, 64 MB of empty fields" "$work/empty64.tkf" 8 64 @B@/tkf export "$work/empty64.tkf" --format json --password-fd 0
row "tkf check, 1 M groups declared (4 MB)" "$work/groups1m.tkf" 8 64 @B@/tkf check "$work/groups1m.tkf" --password-fd 0
row "tkf export json, 1 M empty items (6 MB)" "$work/items1m.tkf" 8 64 @B@/tkf export "$work/items1m.tkf" --format json --password-fd 0
row "program, 8 MB of empty fields" "$work/empty8.tkf" 32 100 timeout 20 @B@/tallyk "$work/empty8.tkf"
row "program, 1 M groups declared (4 MB)" "$work/groups1m.tkf" 32 100 timeout 20 @B@/tallyk "$work/groups1m.tkf"
row "program, 1 M empty items (6 MB)" "$work/items1m.tkf" 32 100 timeout 20 @B@/tallyk "$work/items1m.tkf"
row "program, 1 M open empty groups (5 MB)" "$work/opengroups1m.tkf" 32 100 timeout 20 @B@/tallyk "$work/opengroups1m.tkf"
row "program, 500 k open groups of one item (6 MB)" "$work/pairs500k.tkf" 32 100 timeout 20 @B@/tallyk "$work/pairs500k.tkf"
row "program, 1 M usual records in open groups" "$work/records1m.tkf" 32 100 timeout 20 @B@/tallyk "$work/records1m.tkf"
# Imports have no bound of their own beyond what a database may hold; shown against 8x + 64 MB.
row "tkf import, 32 MB JSON: 11 M empty groups" "$work/groups.json" 8 64 @B@/tkf import "$work/groups.json" "$work/out.tkf" --force --new-password-fd 0
row "tkf import, 32 MB JSON: 11 M empty items" "$work/items.json" 8 64 @B@/tkf import "$work/items.json" "$work/out.tkf" --force --new-password-fd 0
row "tkf import, 32 MB JSON: 16 M numbers" "$work/zeros.json" 8 64 @B@/tkf import "$work/zeros.json" "$work/out.tkf" --force --new-password-fd 0
row "tkf import, 32 MB Bitwarden JSON: 11 M {}" "$work/bitwarden.json" 8 64 @B@/tkf import "$work/bitwarden.json" "$work/out.tkf" --force --new-password-fd 0
row "tkf import, 32 MB Chrome CSV: 8 M empty rows" "$work/chrome.csv" 8 64 @B@/tkf import "$work/chrome.csv" "$work/out.tkf" --force --new-password-fd 0
