#!/usr/bin/env bash
# Makes the demo presentation's sounds with sox and ffmpeg: a short melody that loops as
# music (Ogg Vorbis), a click for the buttons and a chime (WAV). Run it from anywhere; it
# writes into examples/demo. The files are committed, so the demo needs neither tool.
set -euo pipefail
demo=$(cd "$(dirname "$0")/../examples/demo" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# An eight-bar tune of plucked notes over a soft pad; each bar is one chord, broken.
note=0
for chord in "C4 E4 G4 C5" "A3 C4 E4 A4" "F3 A3 C4 F4" "G3 B3 D4 G4" \
             "C4 E4 G4 C5" "A3 C4 E4 A4" "F3 A3 C4 F4" "G3 B3 D4 B4"; do
  for pitch in $chord $chord; do
    sox -n -r 44100 -c 2 "n$(printf %03d $note).wav" synth 0.25 pluck "$pitch" \
      fade 0 0.25 0.05 gain -8
    note=$((note + 1))
  done
  root=${chord%% *}
  sox -n -r 44100 -c 2 "pad$(printf %02d $((note / 8))).wav" synth 2 sine "${root%?}3" \
    sine "$(echo "$chord" | cut -d' ' -f2)" fade 0.3 2 0.3 gain -24
done
sox n*.wav melody.wav
sox pad*.wav pad.wav
sox -m melody.wav pad.wav music.wav reverb 30 gain -n -3
ffmpeg -v error -y -i music.wav -c:a libvorbis -q:a 2 "$demo/music.ogg"

# A short click and a two-note chime, 16-bit stereo at 44 100 Hz.
sox -n -r 44100 -c 2 -b 16 "$demo/click.wav" synth 0.04 square 1200 fade 0 0.04 0.03 gain -14
sox -n -r 44100 -c 2 -b 16 a.wav synth 0.18 sine E5 fade 0 0.18 0.1 gain -10
sox -n -r 44100 -c 2 -b 16 b.wav synth 0.5 sine B5 fade 0 0.5 0.4 gain -10
sox a.wav b.wav "$demo/chime.wav"
