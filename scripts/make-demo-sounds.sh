#!/usr/bin/env bash
# Makes the demo presentation's sounds with sox and ffmpeg: a short tune that loops as music
# (Ogg Vorbis) and the sound effects (WAV). Run it from anywhere; it writes into examples/demo.
# The files are committed, so the demo needs neither tool.
#
# Levels: the music peaks at -10 dBFS and every effect at -8 dBFS or below, so the music, an
# effect and the clip's own sound together stay below full scale in the player's mixer.
set -euo pipefail
demo=$(cd "$(dirname "$0")/../examples/demo" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# Without dither, and with the same random numbers each run, the script writes the same files.
export SOX_OPTS="-D -R"

# An eight-bar tune of plucked notes over a soft pad and a bass; each bar is one chord, broken.
# The plucks are darkened, since bright plucks tire the ear when the tune loops.
note=0
bar=0
for chord in "C4 E4 G4 C5" "A3 C4 E4 A4" "F3 A3 C4 F4" "G3 B3 D4 G4" \
             "C4 E4 G4 C5" "A3 C4 E4 A4" "F3 A3 C4 F4" "G3 B3 D4 B4"; do
  for pitch in $chord $chord; do
    sox -n -r 44100 -c 2 "n$(printf %03d $note).wav" synth 0.25 pluck "$pitch" \
      fade 0 0.25 0.05 lowpass 2200 gain -8
    note=$((note + 1))
  done
  root=${chord%% *}
  third=$(echo "$chord" | cut -d' ' -f2)
  sox -n -r 44100 -c 2 "pad$(printf %02d $bar).wav" synth 2 sine "${root%?}3" sine "$third" \
    fade 0.3 2 0.3 gain -24
  sox -n -r 44100 -c 2 "bass$(printf %02d $bar).wav" synth 2 triangle "${root%?}2" \
    fade 0.01 2 1.2 lowpass 400 gain -16
  bar=$((bar + 1))
done
sox n*.wav melody.wav
sox pad*.wav pad.wav
sox bass*.wav bass.wav
sox -m melody.wav pad.wav bass.wav music.wav reverb 25 trim 0 16 gain -n -10
ffmpeg -v error -y -i music.wav -c:a libvorbis -q:a 2 -fflags +bitexact "$demo/music.ogg"

# Effects, 16-bit stereo at 44 100 Hz (the chime) or mono at 22 050 Hz (the newer ones, which
# keeps them small; the player converts any rate).
# A soft tick for entering a page: a short, quickly fading high sine.
sox -r 22050 -c 2 -n -b 16 "$demo/click.wav" synth 0.06 sine 1800 sine 2700 remix 1,2 \
  fade q 0.002 0.06 0.055 gain -n -12
# A two-note chime.
sox -n -r 44100 -c 2 -b 16 a.wav synth 0.18 sine E5 fade 0 0.18 0.1 gain -10
sox -n -r 44100 -c 2 -b 16 b.wav synth 0.5 sine B5 fade 0 0.5 0.4 gain -10
sox a.wav b.wav "$demo/chime.wav"
# A whoosh for what flies: brown noise that swells and fades, band-limited.
sox -n -r 22050 -c 1 -b 16 "$demo/whoosh.wav" synth 1.2 brownnoise \
  highpass 250 lowpass 1800 fade h 0.5 1.2 0.6 gain -n -10
# Glassy notes for the night sky, each ringing out under the next.
parts=()
i=0
for pitch in E6 B6 G#6 E7; do
  sox -n -r 22050 -c 1 -b 16 "t$i.wav" synth 1.2 sine "$pitch" fade l 0.005 1.2 1.15 \
    pad "$(awk "BEGIN { print $i * 0.18 }")" gain -20
  parts+=("t$i.wav")
  i=$((i + 1))
done
sox -m "${parts[@]}" "$demo/twinkle.wav" gain -n -12
# The farewell: a bell-like arpeggio (a fundamental with two soft overtones per note).
parts=()
i=0
for freq in 523.25 659.25 783.99 1046.5; do
  sox -r 22050 -c 3 -n -b 16 "f$i.wav" synth 1.6 sine "$freq" \
    sine "$(awk "BEGIN { print $freq * 2.01 }")" sine "$(awk "BEGIN { print $freq * 3.02 }")" \
    remix 1,2v0.5,3v0.25 fade l 0.005 1.6 1.55 pad "$(awk "BEGIN { print $i * 0.3 }")" gain -14
  parts+=("f$i.wav")
  i=$((i + 1))
done
sox -m "${parts[@]}" "$demo/farewell.wav" gain -n -8
echo "sounds in $demo"
