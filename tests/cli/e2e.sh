#!/usr/bin/env bash
# The real player in a real window under Xvfb: what it shows is what veke-render draws, its
# sound reaches the sound device (SDL's disk driver), and a still section lets the processor
# rest.
source "$(dirname "$0")/common.bash"
with_virtual_screen xdotool import compare sox
export DISPLAY=$display
unset SDL_VIDEODRIVER
for i in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
src=$2

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

# A still frame: a picture, a moved image and text, as the window shows it and as
# veke-render draws it.
cp "$src/examples/demo/background.jpg" "$src/examples/demo/sun.bmp" "$work/"
cat > "$work/still.vek" <<'VEK'
CREATEENGINE(640,480,VEKE,)
CREATEBACKGROUND(,background.jpg)
CREATEIMAGE(Sun,,sun.bmp,100,100,TRUE,TRUE)
CREATETEXT(Title,"Árvíztűrő tükörfúrógép",40,300,560,40,ARIAL24)
MOVEIMAGE(Sun,300,120,300)
WAIT(100000)
VEK
"$render" "$work/still.vek" --ms 1000 --out "$work/expected.png" || say "veke-render exit $?"
"$veke" "$work/still.vek" WINDOWED 2>"$work/err" & pid=$!
if w=$(find_window); then
  sleep 1.5
  import -window "$w" "$work/shown.png"
  differing=$(compare -metric AE -fuzz 4% "$work/shown.png" "$work/expected.png" null: 2>&1)
  [ "${differing%%.*}" -lt 1536 ] 2>/dev/null \
    || say "the window differs from veke-render's frame in $differing pixels"
  # The still section's cost, from the player's own clock ticks over four seconds.
  before=$(cpu_ticks $pid); sleep 4; after=$(cpu_ticks $pid)
  percent=$(( (after - before) * 100 / (4 * $(getconf CLK_TCK)) ))
  echo "still section: ${percent}% of a core"
  [ "$percent" -le 10 ] || say "a still section costs ${percent}% of a core"
  timeout 5 xdotool windowfocus --sync "$w" key Escape 2>/dev/null
  wait $pid; code=$?
  [ $code = 0 ] || say "Escape ended with $code"
else
  say "no window"; kill $pid
fi

# Sound through the real audio path, captured by SDL's disk driver.
sox -n -r 22050 -b 16 -c 1 "$work/tone.wav" synth 0.8 sine 440 vol 0.5
printf 'CREATESOUND(Tone,tone.wav,FALSE,FALSE)\nPLAYSOUND(Tone)\nWAITFOR(Tone)\nWAIT(300)\nQUIT\n' \
  > "$work/tone.vek"
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/capture.raw" timeout 20 "$veke" "$work/tone.vek" \
  WINDOWED 2>>"$work/err" || say "the sound script ended with $?"
if [ -s "$work/capture.raw" ]; then
  rms=$(sox -t raw -r 44100 -e signed -b 16 -c 2 "$work/capture.raw" -n stat 2>&1 |
    awk '/RMS +amplitude/ {print $3}')
  awk -v r="$rms" 'BEGIN {exit !(r > 0.1)}' || say "the captured sound is too quiet (RMS $rms)"
  freq=$(sox -t raw -r 44100 -e signed -b 16 -c 2 "$work/capture.raw" -n remix 1 stat 2>&1 |
    awk '/Rough +frequency/ {print $3}')
  awk -v f="$freq" 'BEGIN {exit !(f > 400 && f < 480)}' || say "the captured tone is at $freq Hz"
else
  say "nothing captured by the disk audio driver"
fi
[ $fail = 0 ] || cat "$work/err"
exit $fail
