#!/usr/bin/env bash
# Kills tkf with SIGKILL at random moments while it saves a 20,000-item database, N times
# (default 100), and counts what a user would find: files that no longer open whole, and
# files left in the folder (after each kill, and after one more save at the end).
#   scripts/kill-during-saves.sh [N]       (TKF=path/to/tkf, default build/tkf)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-100}
tkf=${TKF:-$PWD/build/tkf}
work=$(mktemp -d /tmp/tallykey-kill.XXXXXX)
trap 'rm -rf "$work"' EXIT

# 20,000 items in 20 groups, every text different so that a mixed file could not pass.
awk 'BEGIN {
  printf "{\"groups\": ["
  for (g = 0; g < 20; g++) {
    printf "%s{\"title\": \"group %d\", \"items\": [", (g ? "," : ""), g
    for (i = 0; i < 1000; i++)
      printf "%s{\"title\": \"item %d.%d\", \"login\": \"user%d\", \"password\": \"pw-%d-%d\", \"weblink\": \"https://example.com/%d\", \"comment\": \"note %d\"}", (i ? "," : ""), g, i, i, g, i, i, i
    printf "]}"
  }
  printf "]}\n"
}' > "$work/in.json"
db=$work/db.tkf
save() { printf 'pw\n' | "$tkf" import "$work/in.json" "$db" --force --password-fd 0 >/dev/null 2>&1; }
save

# One save's length, to spread the kills over it.
start=$(date +%s%N)
save
span_us=$(( ($(date +%s%N) - start) / 1000 ))
echo "one save takes about $((span_us / 1000)) ms; $runs kills spread over it"

# Anything in the folder besides the database and the input is a leftover.
leftovers() { find "$work" -mindepth 1 -maxdepth 1 ! -name db.tkf ! -name in.json | wc -l; }
damaged=0 runs_leaving=0 most=0 killed_in_time=0
for ((n = 1; n <= runs; n++)); do
  printf 'pw\n' | "$tkf" import "$work/in.json" "$db" --force --password-fd 0 >/dev/null 2>&1 &
  pid=$!
  sleep "$(awk -v max="$span_us" -v seed="$RANDOM$n" 'BEGIN { srand(seed); printf "%.6f", rand() * max / 1e6 }')"
  if kill -KILL "$pid" 2>/dev/null; then killed_in_time=$((killed_in_time + 1)); fi
  wait "$pid" 2>/dev/null || true
  if ! printf 'pw\n' | "$tkf" check "$db" --password-fd 0 >/dev/null 2>&1; then
    damaged=$((damaged + 1))
    echo "run $n: the file does not open whole" >&2
  fi
  left=$(leftovers)
  if ((left > 0)); then runs_leaving=$((runs_leaving + 1)); fi
  if ((left > most)); then most=$left; fi
done
save
final=$(leftovers)
echo "runs: $runs, killed before they ended: $killed_in_time"
echo "damaged files: $damaged"
echo "kills after which a temporary was in the folder: $runs_leaving (at most $most at once)"
echo "temporaries left after one more whole save: $final"
[ "$damaged" -eq 0 ] && [ "$final" -eq 0 ]
