#!/usr/bin/env bash
# Makes the demo presentation's video clip with ffmpeg: four seconds of a zoom into the
# Mandelbrot set with a shimmering C major chord, in the codecs of CD-ROM clips (Cinepak video,
# PCM sound in AVI). The chord peaks near -10 dBFS, so it is heard over the demo's music
# without the two together reaching full scale. The clip is committed, so the demo does not
# need ffmpeg.
set -euo pipefail
demo=$(cd "$(dirname "$0")/../examples/demo" && pwd)
chord='0.10*sin(2*PI*261.63*t)+0.08*sin(2*PI*329.63*t)'
chord+='+0.07*sin(2*PI*392.00*t)*(0.75+0.25*sin(2*PI*3*t))+0.05*sin(2*PI*523.25*t)*(0.5+0.5*sin(2*PI*2*t))'
ffmpeg -v error -y \
  -f lavfi -i "mandelbrot=size=200x152:rate=12:start_scale=3:end_scale=0.05,trim=duration=4" \
  -f lavfi -i "aevalsrc=${chord}:s=22050:d=4" \
  -filter_complex "[1:a]afade=t=in:d=0.3,afade=t=out:st=3.4:d=0.6,aformat=sample_rates=22050:channel_layouts=mono[a]" \
  -map 0:v -map "[a]" -c:v cinepak -c:a pcm_s16le "$demo/clip.avi"
