#!/usr/bin/env bash
# Two writers change one database at the same moment, RUNS times (default 100): two
# "tkf passwd" on odd runs, "tkf passwd" and "tkf import --force" on even ones. A change
# is lost silently when both exit 0 and the file is not what running them one after the
# other would give. Each run's outcome is counted by the two exit codes.
#   scripts/concurrent-writers.sh [RUNS]   (TKF=path/to/tkf, default build/tkf)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-100}
tkf=${TKF:-$PWD/build/tkf}
work=$(mktemp -d /tmp/tallykey-writers.XXXXXX)
trap 'rm -rf "$work"' EXIT

# A few thousand items, so that each writer works long enough for the two to overlap.
awk 'BEGIN {
  printf "{\"groups\": [{\"title\": \"start\", \"items\": ["
  for (i = 0; i < 3000; i++)
    printf "%s{\"title\": \"item %d\", \"password\": \"pw%d\"}", (i ? "," : ""), i, i
  printf "]}]}\n"
}' > "$work/start.json"
sed 's/"start"/"imported"/' "$work/start.json" > "$work/other.json"
db=$work/db.tkf
opens() { printf '%s\n' "$1" | "$tkf" check "$db" --password-fd 0 >/dev/null 2>&1; }

lost=0
declare -A outcomes=()
for ((n = 1; n <= runs; n++)); do
  printf 'p0\n' | "$tkf" import "$work/start.json" "$db" --force --password-fd 0 >/dev/null
  printf 'p0\npA\n' | "$tkf" passwd "$db" --password-fd 0 >/dev/null 2>"$work/a.err" &
  a=$!
  if ((n % 2)); then
    second="passwd+passwd"
    printf 'p0\npB\n' | "$tkf" passwd "$db" --password-fd 0 >/dev/null 2>"$work/b.err" &
  else
    second="passwd+import"
    printf 'pB\n' | "$tkf" import "$work/other.json" "$db" --force --password-fd 0 >/dev/null 2>"$work/b.err" &
  fi
  b=$!
  ra=0 rb=0
  wait "$a" || ra=$?
  wait "$b" || rb=$?
  outcomes["$second exits $ra,$rb"]=$((${outcomes["$second exits $ra,$rb"]:-0} + 1))
  if ((ra == 0 && rb == 0)); then
    # Both succeeded: only "passwd, then import" is a serial order in which both can.
    if [ "$second" = "passwd+passwd" ] || ! opens pB; then
      lost=$((lost + 1))
      echo "run $n ($second): both exited 0 and one change is gone" >&2
    fi
  fi
done
for key in "${!outcomes[@]}"; do echo "$key: ${outcomes[$key]}"; done | sort
echo "runs: $runs, changes lost without a message or a failing exit code: $lost"
[ "$lost" -eq 0 ]
