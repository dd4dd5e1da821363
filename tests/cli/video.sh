#!/usr/bin/env bash
# A clip in the real player's window under Xvfb: its frames show at their place while it plays.
source "$(dirname "$0")/common.bash"
with_virtual_screen xdotool import ffmpeg
export DISPLAY=$display SDL_VIDEODRIVER=x11
cd "$work"

# Four seconds of solid red, then of solid green: the window shows red within its first
# seconds, at the clip's place and nowhere else.
ffmpeg -v error -f lavfi -i color=c=red:size=80x60:rate=10:duration=4 \
  -f lavfi -i color=c=lime:size=80x60:rate=10:duration=4 \
  -filter_complex "[0][1]concat=n=2:v=1" -c:v mpeg4 -q:v 2 clip.avi
printf 'CLEAR($001F001F)\nCREATEANIM(v, clip.avi, 100, 100, 160, 120, FALSE, FALSE)\nPLAYANIM(v)\nWAITFOR(v)\nQUIT\n' > clip.vek
for i in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
"$veke" clip.vek WINDOWED 2>err & pid=$!
w=""
for i in $(seq 100); do
  w=$(xdotool search --onlyvisible --name '^VEKE$' 2>/dev/null | head -1)
  [ -n "$w" ] && break
  sleep 0.1
done
[ -n "$w" ] || { say "no window: $(cat err)"; exit $fail; }
sleep 1.5
import -window "$w" shot.png
kill $pid 2>/dev/null; wait $pid 2>/dev/null
[ "$(pixel shot.png 180 160)" = "srgb(255,0,0)" ] || say "no red clip at its place: $(pixel shot.png 180 160)"
[ "$(pixel shot.png 259 219)" = "srgb(255,0,0)" ] || say "the clip is not scaled to 160x120"
[ "$(pixel shot.png 261 221)" = "srgb(0,0,255)" ] || say "the clip spills: $(pixel shot.png 261 221)"
[ "$(pixel shot.png 50 50)" = "srgb(0,0,255)" ] || say "no blue background"
exit $fail
