#!/usr/bin/env bash
# Runs fuzz targets of a fuzz build for a while each: run-fuzzers.sh BUILD SECONDS [TARGET...]
set -euo pipefail
if [ ! -d "$1" ]; then
  echo "SKIP: no fuzz build in $1 (make fuzz-build makes it)"
  exit 77
fi
build=$(cd "$1" && pwd); seconds=$2; shift 2
root=$(cd "$(dirname "$0")/.." && pwd)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in "$build"/fuzz_*; do [ -x "$f" ] && targets+=("$(basename "$f")"); done
fi
for t in "${targets[@]}"; do
  if [ ! -x "$build/$t" ]; then
    echo "SKIP: $build/$t is not built (make fuzz-build builds it)"
    exit 77
  fi
  seeds="$root/fuzz/corpus/${t#fuzz_}"
  work=$(mktemp -d)
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/
  echo "== $t for ${seconds}s"
  # Undefined behaviour ends the run like a crash, with the stack that led to it, even in a
  # build made without -fno-sanitize-recover.
  log="$work.log"
  if ! (cd "$work" && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
    UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}" \
    LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$root/scripts/lsan-suppressions.txt:print_suppressions=0}" \
    "$build/$t" -artifact_prefix="$build/crash-" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 "$work") 2>&1 | tee "$log"; then
    # The report once more at the end, where a log shortened in the middle still shows it.
    echo "== $t found a fault:"
    grep -aE '^INFO: Seed|^==[0-9]+==ERROR|^SUMMARY|runtime error|^ +#[0-9]+ 0x|^(READ|WRITE) of|Test unit written|^MS: |^==[0-9]+== ERROR' "$log" | head -40
    rm -rf "$work" "$log"
    exit 1
  fi
  rm -rf "$work" "$log"
done
