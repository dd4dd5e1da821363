#!/usr/bin/env bash
# veke --watch in a real window under Xvfb: a good save plays the new version at the section
# that played, soon; a save with a mistake keeps the old one playing with the mistake on
# stderr and in a band at the bottom (seen in an F12 screenshot); the next good save clears it.
source "$(dirname "$0")/common.bash"
with_virtual_screen xdotool convert
export DISPLAY=$display XDG_PICTURES_DIR=$work/pics
unset SDL_VIDEODRIVER
mkdir -p "$work/pics" "$work/show"
script=$work/show/show.vek

# Main clears red and calls WORK, which clears the colour given and waits.
version() {
  printf 'CLEAR($F800F800)\nCALL(WORK)\nCLEAR($FFFFFFFF)\nWAIT(100000)\n[WORK]\nCLEAR(%s)\n%bWAIT(100000)\nRETURN\n' "$1" "${2:-}"
}
# As editors save: a new file renamed over the old one.
save() { version "$@" >"$script.new" && mv "$script.new" "$script"; }
# "R,G,B" of a pixel of the window as the screen shows it.
shown() {
  import -window "$w" "$work/shown.png" 2>/dev/null
  convert "$work/shown.png" -format "%[fx:int(255*p{$1,$2}.r)],%[fx:int(255*p{$1,$2}.g)],%[fx:int(255*p{$1,$2}.b)]" info:
}
# Presses F12 and prints the screenshot the player says it saved.
screenshot() {
  local before
  before=$(grep -c 'screenshot saved as' "$work/err")
  xdotool windowfocus --sync "$w" key F12 2>/dev/null
  for i in $(seq 50); do
    [ "$(grep -c 'screenshot saved as' "$work/err")" -gt "$before" ] && break
    sleep 0.1
  done
  grep 'screenshot saved as' "$work/err" | tail -1 | sed 's/.*saved as //'
}
rgb() { convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:; }

save '$001F001F'
"$veke" --watch "$script" WINDOWED 2>"$work/err" & pid=$!
w=$(find_window) || { say "no window: $(cat "$work/err")"; exit 1; }
for i in $(seq 50); do [ "$(shown 5 5)" = "0,0,255" ] && break; sleep 0.1; done
[ "$(shown 5 5)" = "0,0,255" ] || say "WORK is not showing: $(shown 5 5)"

# A good save: green within the time, and play is still in WORK, called from main.
start=$(date +%s%N)
save '$07E007E0'
for i in $(seq 100); do [ "$(shown 5 5)" = "0,255,0" ] && break; done
took=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$(shown 5 5)" = "0,255,0" ] || say "the saved version did not play: $(shown 5 5) after ${took} ms"
echo "save to new frame: ${took} ms (with a screenshot of up to a few tens of ms each try)"
[ "$took" -lt 1500 ] || say "the new version took ${took} ms"
grep -q 'show.vek read again: playing from section WORK' "$work/err" || say "no reload line: $(cat "$work/err")"

# A save with a mistake: green plays on, the finding on stderr and in the band.
save '$07E007E0' 'SHOWIMAG(Nothing,1)\n'
for i in $(seq 50); do grep -q 'unknown command "SHOWIMAG"' "$work/err" && break; sleep 0.1; done
grep -q 'show.vek has 1 mistake; still playing the version before' "$work/err" ||
  say "no mistake told: $(cat "$work/err")"
shot=$(screenshot)
[ -f "$shot" ] || say "no screenshot: $shot"
[ "$(rgb "$shot" 5 5)" = "0,255,0" ] || say "the old version does not play on: $(rgb "$shot" 5 5)"
[ "$(rgb "$shot" 5 476)" != "0,255,0" ] || say "no band at the bottom of the screenshot"
[ "$(shown 5 476)" != "0,255,0" ] || say "no band at the bottom of the window"

# The next good save takes the band away, and the pixels under it are the presentation's.
save '$FFE0FFE0'
for i in $(seq 100); do [ "$(shown 5 5)" = "255,255,0" ] && break; done
[ "$(shown 5 476)" = "255,255,0" ] || say "the band stayed: $(shown 5 476)"
kill -0 $pid 2>/dev/null || say "the player ended"
timeout 5 xdotool windowfocus --sync "$w" key Escape 2>/dev/null
for i in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
wait $pid; code=$?
[ $code = 0 ] || say "Escape ended with $code"
exit $fail
