#!/usr/bin/env bash
# Kiosk restarts on the virtual clock: QUIT with --on-quit restart and --idle-restart bring
# the first frame back; without them play goes on as before.
source "$(dirname "$0")/common.bash"

# Red for a second, then green; QUIT a second later.
printf 'CLEAR($F800F800)\nWAIT(1000)\nCLEAR($07E007E0)\nWAIT(1000)\nQUIT\n' >"$work/quit.vek"
# Red for a second, then green for ever.
printf 'CLEAR($F800F800)\nWAIT(1000)\nCLEAR($07E007E0)\nWAIT(100000000)\n' >"$work/stay.vek"

# Virtual clock: the frame at each time, red where play has started again. QUIT at 2 s,
# again at 4 s; with --idle-restart 1, a minute after the last input (a move at 10 s).
while IFS='|' read -r script options checks; do
  rm -f "$work"/at*.png
  args=()
  for check in $checks; do args+=(--at "${check%%=*}:$work/at${check%%=*}.png"); done
  # shellcheck disable=SC2086
  "$render" "$work/$script" $options "${args[@]}" 2>"$work/render.err" ||
    say "$script $options: exit $?: $(cat "$work/render.err")"
  for check in $checks; do
    at=${check%%=*} want=${check#*=}
    got=$(pixel "$work/at$at.png" 5 5)
    case $want in
      red) [[ $got == *"255,0,0"* ]] || say "$script $options at $at ms: $got, not red" ;;
      green) [[ $got == *"0,255,0"* ]] || say "$script $options at $at ms: $got, not green" ;;
    esac
  done
done <<'TABLE'
quit.vek|--ms 6000 --on-quit restart|500=red 1500=green 2500=red 3500=green 4500=red
quit.vek|--ms 3000 --on-quit exit|500=red 1500=green
stay.vek|--ms 200000 --step 100 --idle-restart 1 --move 5,5@10000|30000=green 70500=red 72000=green 130500=red
stay.vek|--ms 100000 --step 100|70500=green
TABLE
grep -q 'no input for 1 minutes: playing' "$work/render.err" && say "idle restart without the option"
exit $fail
