#!/usr/bin/env bash
# veke-render: frames as PNG on a virtual clock, scripted input, exit codes, repeatability.
source "$(dirname "$0")/common.bash"

printf 'CLEAR($001F001F)\nWAIT(100)\nCLEAR($07E0F800)\nWAIT(100)\nQUIT\n' > "$work/clear.vek"
"$render" "$work/clear.vek" --at 0:"$work/a.png" --at 150:"$work/b.png" --out "$work/c.png" \
  --frames "$work/frames" || say "clear run exit $?"
[ "$(pixel "$work/a.png" 5 5)" = "srgb(0,0,255)" ] || say "first frame not blue: $(pixel "$work/a.png" 5 5)"
[ "$(pixel "$work/b.png" 4 0)" = "srgb(255,0,0)" ] || say "even column not red"
[ "$(pixel "$work/b.png" 5 0)" = "srgb(0,255,0)" ] || say "odd column not green"
cmp -s "$work/b.png" "$work/c.png" || say "last frame differs from the frame at 150"
# CLEAR at 0, WAIT from 20 to 120 (the next CLEAR starts in that frame), WAIT from 140 to 240,
# where QUIT starts in the same frame: 13 frames.
count=$(ls "$work/frames" | wc -l)
[ "$count" = 13 ] || say "expected 13 frames, got $count"

"$render" "$work/clear.vek" --out "$work/again.png" && cmp -s "$work/c.png" "$work/again.png" \
  || say "two runs gave different files"

printf 'CLEAR($03E003E0)\n' > "$work/green.vek"
"$render" "$work/green.vek" --rgb555 --ms 0 --out "$work/555.png" || say "555 run"
[ "$(pixel "$work/555.png" 0 0)" = "srgb(0,255,0)" ] || say "5-5-5 green: $(pixel "$work/555.png" 0 0)"
"$render" "$work/green.vek" --ms 0 --out "$work/565.png" || say "565 run"
[ "$(pixel "$work/565.png" 0 0)" = "srgb(0,125,0)" ] || say "5-6-5 reading of 03E0: $(pixel "$work/565.png" 0 0)"

printf '' > "$work/empty.vek"
"$render" "$work/empty.vek" --key ESCAPE@40 --frames "$work/esc" || say "escape exit $?"
[ "$(ls "$work/esc" | wc -l)" = 2 ] || say "escape at 40 should leave frames at 0 and 20"

"$render" "$work/empty.vek" --ms 100 --at 500:"$work/never.png" 2>"$work/err"
[ $? = 1 ] || say "a frame that never came should fail"
grep -q "not written" "$work/err" || say "no message for the missing frame"
"$render" "$work/empty.vek" --bogus 2>/dev/null; [ $? = 1 ] || say "unknown option accepted"
for step in 0 1001 4294967295; do
  "$render" "$work/empty.vek" --step $step 2>"$work/err"; [ $? = 1 ] || say "--step $step accepted"
  grep -q "step must be from 1 to 1000 milliseconds" "$work/err" || say "--step $step: $(head -1 "$work/err")"
done
"$render" "$work/empty.vek" --step 1000 --ms 2000 || say "--step 1000 refused"
"$render" "$work/missing.vek" 2>"$work/err"; [ $? = 1 ] || say "missing script exit"
grep -q "script nem található" "$work/err" || say "missing script message"
"$render" --help | grep -q -- "--click X,Y@MS" || say "help text"
"$render" >/dev/null 2>"$work/err"; [ $? = 2 ] || say "no arguments should exit 2"
grep -q "^Usage: veke-render SCRIPT" "$work/err" || say "no arguments: no usage text"
touch "$work/a-file"
"$render" "$work/empty.vek" --frames "$work/a-file/sub" 2>"$work/err"
[ $? = 1 ] || say "an impossible --frames folder should exit 1"
grep -q "cannot create the folder $work/a-file/sub" "$work/err" || say "--frames: $(cat "$work/err")"
# A mistyped switch is named and play goes on without it.
"$render" "$work/empty.vek" WINDOWD --ms 0 2>"$work/err" || say "unknown words exit $?"
grep -q "ignoring unknown argument WINDOWD" "$work/err" || say "WINDOWD not reported"
exit $fail
