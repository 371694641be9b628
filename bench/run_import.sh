#!/usr/bin/env bash
# Time and peak memory of tkf import on large exports of other managers: a Chrome CSV and
# a Bitwarden JSON of N entries each (default 100,000), with non-ASCII texts, quoted
# fields, multi-line notes and fields appended to comments. Each row: input size, wall
# time and peak resident size (the kernel's ru_maxrss via /usr/bin/time), against the
# bound of imports, 8 x the input + 64 MB.
#
#   bench/run_import.sh BUILD_DIR [N]
set -euo pipefail
build=${1:?usage: $0 BUILD_DIR [N]}
count=${2:-100000}
command -v /usr/bin/time >/dev/null || { echo "needs /usr/bin/time (Debian package time)" >&2; exit 1; }
work=$(mktemp -d /tmp/tallykey-import.XXXXXX)
trap 'rm -rf "$work"' EXIT

python3 - "$work" "$count" <<'PY'
import json, sys
work, n = sys.argv[1], int(sys.argv[2])
with open(f"{work}/chrome.csv", "w", encoding="utf-8", newline="") as f:
    f.write("name,url,username,password,note\n")
    for i in range(n):
        f.write(f'site{i}.example.com,https://site{i}.example.com/login?x={i},user{i}@example.com,'
                f'"pä,ss""{i}","Notiz für {i}\nzweite Zeile"\n')
folders = [{"id": f"f{g}", "name": f"Ordner {g}/Unter"} for g in range(n // 100)]
items = []
for i in range(n):
    items.append({"id": f"i{i}", "organizationId": None, "folderId": f"f{i % (n // 100)}", "type": 1,
                  "reprompt": 0, "name": f"Eintrag {i}", "notes": f"Notiz für {i}\nzweite Zeile",
                  "favorite": i % 10 == 0,
                  "fields": [{"name": "PIN", "value": str(i), "type": 1, "linkedId": None}],
                  "login": {"uris": [{"match": None, "uri": f"https://site{i}.example.com/"},
                                     {"match": None, "uri": f"https://m.site{i}.example.com/"}],
                            "username": f"user{i}", "password": f"pä,ss\"{i}", "totp": "JBSWY3DPEHPK3PXP"},
                  "collectionIds": None, "revisionDate": "2024-05-01T08:00:00.000Z"})
with open(f"{work}/bitwarden.json", "w", encoding="utf-8") as f:
    json.dump({"encrypted": False, "folders": folders, "items": items}, f, indent=2, ensure_ascii=False)
PY

M=$((1 << 20))
printf '%-34s %9s %9s %10s %10s\n' "input" "size MB" "time s" "peak MB" "bound MB"
for input in chrome.csv bitwarden.json; do
  bytes=$(stat -c %s "$work/$input")
  /usr/bin/time -f "%e %M" -o "$work/time.txt" \
    "$build/tkf" import "$work/$input" "$work/out.tkf" --force --new-password-fd 0 --codepage 65001 \
    <<< "" > /dev/null 2> "$work/err.txt" || { cat "$work/err.txt" >&2; exit 1; }
  read -r seconds kb < "$work/time.txt"
  printf '%-34s %9.1f %9s %10.1f %10.1f\n' "$input, $count entries" "$(bc <<< "scale=1; $bytes / $M")" "$seconds" \
    "$(bc <<< "scale=1; $kb / 1024")" "$(bc <<< "scale=1; (8 * $bytes + 64 * $M) / $M")"
done
