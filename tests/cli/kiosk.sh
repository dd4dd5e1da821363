#!/usr/bin/env bash
# Kiosk mode: restarts on the virtual clock (QUIT with --on-quit restart, --idle-restart),
# then the real player under Xvfb: keys and the close box that must not end it, the exit
# chord, the idle pointer, restarts in the window, and the service manager's notifications.
source "$(dirname "$0")/common.bash"
src=$2

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
grep -q 'no input for 60 s: playing' "$work/render.err" && say "idle restart without the option"

# A chord naming no key would leave a kiosk with no way out: refused before play.
"$bin/veke" --kiosk --exit-keys ctrl+alt+nokey "$work/stay.vek" 2>"$work/chord.err" &&
  say "an exit chord with an unknown key was taken"
grep -q 'no key is named nokey' "$work/chord.err" || say "unknown chord key: $(cat "$work/chord.err")"

with_virtual_screen xdotool convert python3
export DISPLAY=$display
unset SDL_VIDEODRIVER
x11() { python3 "$src/tests/cli/x11.py" "$@"; }
alive() { kill -0 "$pid" 2>/dev/null; }
kiosk() {  # starts a kiosk player: sets pid and w
  "$veke" --kiosk "$@" 2>>"$work/player.err" & pid=$!
  find_window >/dev/null || { say "no kiosk window for $*: $(tail -3 "$work/player.err")"; return 1; }
  # The first window may give way to the full-screen one.
  sleep 1
  w=$(find_window)
}
red_within() {  # the screen's middle turns red within $1 tenths of a second
  for i in $(seq "$1"); do
    import -window root "$work/screen.png" 2>/dev/null
    [[ $(pixel "$work/screen.png" 400 300) == *"255,0,0"* ]] && return 0
    sleep 0.1
  done
  return 1
}

# Escape, the close box and a wrong chord leave it playing; the chord ends it, with success.
if kiosk --exit-keys ctrl+alt+shift+q "$work/stay.vek"; then
  [ "$(xdotool getwindowgeometry "$w" | awk '/Geometry/ {print $2}')" = 800x600 ] ||
    say "the kiosk window does not cover the screen"
  xdotool windowfocus --sync "$w" key Escape key alt+F4 key ctrl+alt+q key F11 2>/dev/null
  x11 close "$w"
  sleep 1
  alive || say "Escape, Alt+F4, a wrong chord or the close box ended a kiosk player"
  xdotool key ctrl+alt+shift+q
  for i in $(seq 50); do alive || break; sleep 0.1; done
  if alive; then say "the exit chord did not end the kiosk player"; kill "$pid"; fi
  wait "$pid" || say "the exit chord ended the player with $?"
fi

# QUIT plays again in the same window; mouse moves hold off the idle restart, and after 3 s
# without them the first frame comes back.
: >"$work/player.err"
if kiosk --idle-restart 0.05 "$work/quit.vek"; then
  for i in $(seq 60); do [ "$(grep -c 'QUIT: playing' "$work/player.err")" -ge 2 ] && break; sleep 0.1; done
  [ "$(grep -c 'QUIT: playing' "$work/player.err")" -ge 2 ] || say "QUIT did not play again twice in 6 s"
  [ "$(xdotool search --onlyvisible --name '^VEKE$' | head -1)" = "$w" ] || say "a restart left its window"
  kill "$pid"; wait "$pid" 2>/dev/null
fi
: >"$work/player.err"
if kiosk --idle-restart 0.05 "$work/stay.vek"; then
  for i in $(seq 10); do xdotool mousemove $((100 + i * 20)) 100; sleep 0.5; done
  grep -q 'no input' "$work/player.err" && say "the idle restart came while the mouse moved"
  for i in $(seq 60); do grep -q 'no input for 3 s' "$work/player.err" && break; sleep 0.1; done
  grep -q 'no input for 3 s' "$work/player.err" || say "no idle restart after 3 s without input"
  red_within 15 || say "the idle restart did not bring the first frame back"
  kill "$pid"; wait "$pid" 2>/dev/null
fi

# The pointer shows on movement and hides 3 s later where there is a button; without a button
# it stays hidden.
cp "$src/docs/tutorial/start.bmp" "$work/"
printf '%s\n' 'CLEAR($001F001F)' 'CREATEBUTTON(Go,,start.bmp,,,100,400,255,VISIBLE,ENABLED,QUIT)' \
  'WAITFOR(Go)' >"$work/button.vek"
for case in "button.vek shown" "stay.vek hidden"; do
  set -- $case
  kiosk "$work/$1" || continue
  xdotool mousemove 300 300 sleep 0.2 mousemove 310 310 sleep 0.3
  [ "$(x11 pointer)" = "$2" ] || say "$1: the pointer is $(x11 pointer) after a move"
  sleep 3.5
  [ "$(x11 pointer)" = hidden ] || say "$1: the pointer still shows 3 s after the move"
  kill "$pid"; wait "$pid" 2>/dev/null
done

# A service manager hears READY=1 and a watchdog ping twice a second while the loop turns; with
# the display stopped the frame loop blocks and the pings stop; they come back with it.
python3 "$src/tests/cli/notify_listen.py" "$work/notify.sock" "$work/notify.log" & listener=$!
for i in $(seq 50); do [ -S "$work/notify.sock" ] && break; sleep 0.1; done
# Something must move: a still frame sends the display nothing and so never waits for it.
printf '%s\n' 'CLEAR($001F001F)' 'CREATEIMAGE(Go,,start.bmp,0,100,TRUE,TRUE)' \
  'MOVEIMAGE(Go,700,100,100000)' 'WAIT(100000)' >"$work/moving.vek"
NOTIFY_SOCKET=$work/notify.sock WATCHDOG_USEC=1000000 kiosk "$work/moving.vek"
pings() { grep -c WATCHDOG=1 "$work/notify.log"; }
if alive; then
  sleep 2
  grep -q READY=1 "$work/notify.log" || say "no READY=1"
  grep -q 'STATUS=playing .*moving.vek' "$work/notify.log" || say "no STATUS naming the script"
  [ "$(pings)" -ge 3 ] || say "$(pings) watchdog pings in 2.5 s"
  kill -STOP "$xvfb"; sleep 0.5; before=$(pings); sleep 2; after=$(pings)
  kill -CONT "$xvfb"
  [ "$after" = "$before" ] || say "the pings went on while the display was stopped ($before, then $after)"
  sleep 2
  [ "$(pings)" -gt "$after" ] || say "the pings did not come back with the display"
  kill "$pid"; wait "$pid" 2>/dev/null
fi
kill "$listener"

# A display that goes away ends the player with a failure, which its service restarts.
if kiosk "$work/stay.vek"; then
  kill "$xvfb"
  for i in $(seq 50); do alive || break; sleep 0.1; done
  if alive; then say "the player outlived its display"; kill "$pid"; fi
  wait "$pid" && say "the player ended with success when its display went away"
fi
exit $fail
