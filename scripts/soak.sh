#!/usr/bin/env bash
# Plays a presentation in veke-render for a long stretch of wall time, hours of virtual time,
# clicking the given points in turn, and samples the player's memory as it goes, so a leak
# or a growing list shows as a rising column.
# Usage: scripts/soak.sh SCRIPT MINUTES CLICK_EVERY_MS X,Y [X,Y ...]
#   e.g. scripts/soak.sh examples/demo/demo.vek 30 20000 140,348 540,446 230,402 540,446 \
#          320,348 540,446 500,348 540,446      (each chapter of the demo, then its Back button)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
script=$1 minutes=$2 every=$3
shift 3
points=("$@")
virtual_ms=$((100 * 3600 * 1000))  # more than any machine plays in the time given
clicks=()
for ((at = every, i = 0; at < virtual_ms && i < 20000; at += every, i++)); do
  clicks+=(--click "${points[$((i % ${#points[@]}))]}@$at")
done
log=$(mktemp)
"$root/build/veke-render" "$script" --ms "$virtual_ms" "${clicks[@]}" --out /dev/null \
  2>"$log" & pid=$!
start=$(date +%s)
echo "minute  rss_kB  cpu_s"
while kill -0 "$pid" 2>/dev/null; do
  elapsed=$(( $(date +%s) - start ))
  if (( elapsed >= minutes * 60 )); then kill -INT "$pid"; break; fi
  rss=$(awk '/VmRSS/ {print $2}' /proc/$pid/status 2>/dev/null || echo 0)
  cpu=$(awk '{printf "%.0f", ($14 + $15) / 100}' /proc/$pid/stat 2>/dev/null || echo 0)
  (( elapsed % 60 < 10 )) && printf '%6d  %6s  %5s\n' $((elapsed / 60)) "$rss" "$cpu"
  sleep 10
done
wait "$pid" 2>/dev/null || true
echo "messages: $(wc -l < "$log") lines on stderr"
rm -f "$log"
