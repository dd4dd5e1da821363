#!/usr/bin/env bash
# Sound end to end: the real player in a window under Xvfb, its sound written by SDL's disk
# audio driver, holds a wave file's bytes exactly as veke-render's capture does.
source "$(dirname "$0")/common.bash"
with_virtual_screen sox
cd "$work"

sox -n -r 44100 -c 2 -b 16 tone.wav synth 0.8 sine 440 sine 660 gain -6
samples=$(($(stat -c %s tone.wav) - 44))
printf 'CREATESOUND(S, tone.wav, FALSE, FALSE)\nWAIT(200)\nPLAYSOUND(S)\nWAITFOR(S)\nQUIT\n' > tone.vek

# The byte offset of the first sound in a raw stream of 16-bit samples.
first_sound() { od -An -v -tx2 -w2 -j "$2" "$1" | grep -n -m1 -v ' 0000$' | cut -d: -f1; }
lead=$(( ($(first_sound tone.wav 44) - 1) * 2 ))  # silent bytes the tone itself starts with
# True when $1 holds the tone's samples, its first sound at byte $2.
holds_tone() { cmp -s -i "$(($2 - lead)):44" -n "$samples" "$1" tone.wav; }

"$render" tone.vek --audio render.wav 2>err || say "render exit $?: $(cat err)"
line=$(first_sound render.wav 44)
[ -n "$line" ] && holds_tone render.wav $((44 + (line - 1) * 2)) || say "the capture lacks the tone"

for attempt in 1 2; do
  rm -f disk.raw
  DISPLAY=$display SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=disk.raw \
    timeout 30 "$veke" tone.vek WINDOWED 2>err && break
  echo "player attempt $attempt: $(tail -3 err)"
done
line=$(first_sound disk.raw 0)
[ -n "$line" ] && holds_tone disk.raw $(((line - 1) * 2)) || say "the real player's sound lacks the tone"
exit $fail
