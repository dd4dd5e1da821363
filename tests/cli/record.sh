#!/usr/bin/env bash
# veke-render --video, --trace and --section: the recorded file's length, rate, frames and
# sound against the PNG frames and WAV capture of the same run; the trace and a start
# section at a given time.
source "$(dirname "$0")/common.bash"
cd "$work" || exit 1
for tool in ffprobe ffmpeg sox compare; do
  command -v $tool >/dev/null || { echo "FAIL: $tool is missing"; exit 1; }
done
probe() { ffprobe -v error -select_streams "$2" -show_entries "stream=$3" -of default=nw=1:nk=1 "$1"; }

sox -n -r 44100 -c 2 -b 16 tone.wav synth 1.5 sine 440 gain -6
cat > show.vek <<'VEK'
CREATESOUND(Tone,tone.wav,FALSE,FALSE)
CLEAR($F800F800)
PLAYSOUND(Tone)
WAIT(400)
CALL(Blue)
WAIT(10000)
[Blue]
CLEAR($001F001F)
WAIT(300)
CLEAR($07E007E0)
WAIT(5000)
VEK

# 1.2 s at 25 frames a second: 31 frames, from 0 to 1200 ms.
"$render" show.vek --ms 1200 --step 40 --video show.mp4 --audio show.wav --at 600:at600.png \
  --at 1000:at1000.png 2>err || say "recording exit $?: $(cat err)"
[ "$(probe show.mp4 v codec_name)" = h264 ] || say "video codec $(probe show.mp4 v codec_name)"
[ "$(probe show.mp4 v r_frame_rate)" = 25/1 ] || say "rate $(probe show.mp4 v r_frame_rate)"
[ "$(probe show.mp4 v nb_frames)" = 31 ] || say "frames $(probe show.mp4 v nb_frames)"
[ "$(probe show.mp4 v width)x$(probe show.mp4 v height)" = 640x480 ] || say "size"
[ "$(probe show.mp4 a codec_name)" = aac ] || say "audio codec $(probe show.mp4 a codec_name)"
[ "$(probe show.mp4 a duration)" = "$(probe show.mp4 v duration)" ] \
  || say "sound $(probe show.mp4 a duration) s, picture $(probe show.mp4 v duration) s"
# Frame 15 is the one at 600 ms, frame 25 the one at 1000 ms.
for at in 600 1000; do
  ffmpeg -v error -y -i show.mp4 -vf "select=eq(n\,$((at / 40)))" -frames:v 1 "video$at.png"
  psnr=$(compare -metric PSNR "at$at.png" "video$at.png" null: 2>&1 | cut -d' ' -f1)
  [ "${psnr%.*}" -ge 30 ] 2>/dev/null || say "frame at $at ms differs from the PNG (PSNR $psnr)"
done
# The recorded sound is the capture's: both decoded to raw samples, the tone's level alike.
ffmpeg -v error -y -i show.mp4 -vn -ac 2 -ar 44100 video.wav
level() { sox "$1" -n trim 0.5 0.5 stat 2>&1 | awk '/RMS +amplitude/ {print int($3 * 1000)}'; }
a=$(level show.wav) b=$(level video.wav)
[ "$a" -gt 100 ] && [ $((a - b)) -le 20 ] && [ $((b - a)) -le 20 ] || say "sound level $b, capture $a"

# WebM gets VP9 and Opus; a rate that is no whole number keeps its exact fraction.
"$render" show.vek --ms 300 --step 30 --video show.webm 2>err || say "webm exit $?: $(cat err)"
[ "$(probe show.webm v codec_name)/$(probe show.webm a codec_name)" = vp9/opus ] || say "webm codecs"
[ "$(probe show.webm v r_frame_rate)" = 100/3 ] || say "webm rate $(probe show.webm v r_frame_rate)"
"$render" show.vek --ms 100 --video show.avi-nonsense 2>err; [ $? = 1 ] || say "unknown kind accepted"
grep -q "no video file format" err || say "unknown kind: $(cat err)"
# A fatal script error still leaves a whole file of what was played.
printf 'CLEAR($F800F800)\nWAIT(200)\nCALL(Nowhere)\n' > fatal.vek
"$render" fatal.vek --video fatal.mp4 2>err; [ $? = 1 ] || say "fatal script exit"
[ "$(probe fatal.mp4 v nb_frames)" -ge 10 ] 2>/dev/null || say "no whole file after a fatal error"

# The trace names the section and the line that holds it, at the time of the frame.
"$render" show.vek --ms 600 --step 40 --trace 2>trace || say "trace exit $?"
[ "$(grep -c '^trace ' trace)" = 16 ] || say "trace lines: $(grep -c '^trace ' trace)"
grep -q '^trace 200 ms: section <Main Section>, line 4 WAIT(400) waiting 280 ms more; effects: line 3 PLAYSOUND(TONE)$' trace \
  || say "trace at 200: $(grep '^trace 200 ' trace)"
grep -q '^trace 560 ms: section BLUE (called from <Main Section>), line 9 WAIT(300) waiting' trace \
  || say "trace at 560: $(grep '^trace 560 ' trace)"

# --section: play starts there, before or after the script's name, in any letter case.
"$render" --section blue show.vek --ms 400 --at 0:start.png --at 360:later.png 2>err || say "section exit $?"
[ "$(pixel start.png 1 1)" = "srgb(0,0,255)" ] || say "section start: $(pixel start.png 1 1)"
[ "$(pixel later.png 1 1)" = "srgb(0,255,0)" ] || say "section later: $(pixel later.png 1 1)"
exit $fail
