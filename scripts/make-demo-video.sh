#!/usr/bin/env bash
# Makes the demo presentation's video clip with ffmpeg: four seconds of a zoom into the
# Mandelbrot set with a soft chord, in the codecs of CD-ROM clips (Cinepak video, PCM sound in
# AVI). The clip is committed, so the demo does not need ffmpeg.
set -euo pipefail
demo=$(cd "$(dirname "$0")/../examples/demo" && pwd)
ffmpeg -v error -y \
  -f lavfi -i "mandelbrot=size=200x152:rate=12:start_scale=3:end_scale=0.05,trim=duration=4" \
  -f lavfi -i "sine=frequency=262:duration=4,volume=0.25" \
  -f lavfi -i "sine=frequency=330:duration=4,volume=0.2" \
  -filter_complex "[1:a][2:a]amix=inputs=2,afade=t=in:d=0.3,afade=t=out:st=3.5:d=0.5,aformat=sample_rates=22050:channel_layouts=mono[a]" \
  -map 0:v -map "[a]" -c:v cinepak -c:a pcm_s16le "$demo/clip.avi"
