#!/bin/bash
# A kiosk's day on the virtual clock: the demo played for HOURS of presentation time (default
# 24) with `--on-quit restart --idle-restart 3`, a visitor touring every page and pressing Quit
# every 12 minutes, and the program's resident memory and open files sampled as it runs.
#   scripts/kiosk-soak.sh [BUILD] [HOURS]
# Prints the restarts of each kind, then the highest resident memory and the most open files
# of each hour, and their spread after the first hour. The samples are taken on the wall clock; the presentation time of a sample
# is its share of the wall time, which holds because every 12 minutes play the same way.
set -eu
BUILD=${1:-build}
HOURS=${2:-24}
RENDER=$(realpath "$BUILD/veke-render")
DEMO=$(realpath "$(dirname "$0")/../examples/demo/demo.vek")
WORK=$(mktemp -d /tmp/veke-soak.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

# One visit a cycle: each page for a minute, back to the menu; three minutes later the idle
# restart; half a minute into the new play, Quit, whose farewell ends in QUIT and a restart.
inputs=()
cycle_ms=720000
for ((start = 0; start < HOURS * 3600000; start += cycle_ms)); do
  at=$((start + 20000))
  for button in 80,336 260,336 440,336 170,390; do  # Images, Space, Cinema, Texts
    inputs+=(--click "$button@$at" --click "480,434@$((at + 60000))")
    at=$((at + 90000))
  done
  inputs+=(--click "350,390@$((start + 560000))")  # Quit
done

begin=$(date +%s.%N)
"$RENDER" "$DEMO" --ms $((HOURS * 3600000)) --step 40 --on-quit restart --idle-restart 3 \
  "${inputs[@]}" --out "$WORK/last.png" 2>"$WORK/stderr" &
pid=$!
while kill -0 $pid 2>/dev/null; do
  rss=$(awk '/VmRSS/ {print $2}' /proc/$pid/status 2>/dev/null) || break
  fds=$(ls /proc/$pid/fd 2>/dev/null | wc -l)
  [ -n "$rss" ] && echo "$(date +%s.%N) $rss $fds" >>"$WORK/samples"
  sleep 1
done
wait $pid
end=$(date +%s.%N)

echo "presentation time: $HOURS h in $(echo "$end - $begin" | bc | cut -d. -f1) s of wall time"
echo "restarts: $(grep -c 'QUIT: playing' "$WORK/stderr") after QUIT," \
  "$(grep -c 'no input for 180 s: playing' "$WORK/stderr") after 3 minutes idle"
# Memory and files rise and fall within each play (a clip opens its file, a restart frees
# everything at once), so what must stay level is each hour's highest reading.
awk -v begin="$begin" -v end="$end" -v hours="$HOURS" '
  {
    hour = int(($1 - begin) / (end - begin) * hours)
    if ($2 > rss[hour]) rss[hour] = $2
    if ($3 > fds[hour]) fds[hour] = $3
  }
  END {
    for (h = 0; h < hours; h++) {
      line = line sprintf(" %d", rss[h]); files = files sprintf(" %d", fds[h])
      if (h < 1) continue
      if (h == 1 || rss[h] < lo) lo = rss[h]; if (rss[h] > hi) hi = rss[h]
      if (h == 1 || fds[h] < flo) flo = fds[h]; if (fds[h] > fhi) fhi = fds[h]
    }
    print "highest resident memory (kB) of each hour:" line
    print "most open files of each hour:" files
    if (hours > 1) {
      printf "after the first hour: memory %d to %d kB (spread %d kB), open files %d to %d\n",
        lo, hi, hi - lo, flo, fhi
    }
  }' "$WORK/samples"
