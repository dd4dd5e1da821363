#!/bin/bash
# How the player's cost grows with the work, on short generated presentations.
#   bench/growth-cost.sh [BUILD] [REPS]
# Play costs are instructions a frame (callgrind, all threads, which the machine's load does
# not move): a run of --ms 6000 less one of --ms 2000, over the 200 frames of 20 ms between,
# so loading and the first, whole frame drop out. Whole runs (a clip played, `veke --check`)
# are processor time (perf stat's task-clock, all threads), the median of REPS runs.
set -eu
BUILD=${1:-build}
REPS=${2:-3}
RENDER=$(realpath "$BUILD/veke-render")
VEKE=$(realpath "$BUILD/veke")
OBJ2VK=$(realpath "$BUILD/obj2vk")
WORK=$(mktemp -d /tmp/veke-growth.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

# Median processor seconds of the command (whether it succeeds or not).
cpu() {
  for _ in $(seq "$REPS"); do
    perf stat -x, -e task-clock -o t.txt "$@" >/dev/null 2>&1 || true
    awk -F, '/task-clock/ {printf "%.4f\n", $1 / 1000}' t.txt
  done | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'
}
# Instructions per frame of SCRIPT [OPTIONS...].
instructions() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$RENDER" "$@" --out f.png 2>&1 |
    awk '/refs:/ {gsub(",", "", $4); print $4}'
}
per_frame() {
  local long short
  long=$(instructions "$@" --ms 6000)
  short=$(instructions "$@" --ms 2000)
  awk -v a="$long" -v b="$short" 'BEGIN {printf "%.0f", (a - b) / 200}'
}
row() { printf '| %s | %s |\n' "$1" "$2"; }

ffmpeg -v quiet -y -f lavfi -i testsrc=size=512x512 -frames:v 1 -pix_fmt bgr24 pic512.bmp
for s in 32 128; do
  ffmpeg -v quiet -y -i pic512.bmp -vf scale=$s:$s -pix_fmt bgr24 pic$s.bmp
done

echo "## Objects: N still 32x32 pictures and one 128x128 moving, 640x480 (instructions a frame)"
for n in 1 100 1000; do
  {
    echo 'CREATEENGINE(640,480,VEKE,)'
    for i in $(seq "$n"); do echo "CREATEIMAGE(P$i,,pic32.bmp,$((i * 7 % 600)),$((i * 13 % 440)),FALSE,TRUE)"; done
    echo 'CREATEIMAGE(M,,pic128.bmp,0,0,FALSE,TRUE)'
    echo 'MOVEIMAGE(M,500,340,6000)'
    echo 'WAIT(100000)'
  } >objects$n.vek
  row "$n still pictures" "$(per_frame objects$n.vek)"
done

echo "## Picture size: one picture moving 500 pixels in 6 s on 1024x768 (instructions a frame)"
for s in 32 128 512; do
  printf 'CREATEENGINE(1024,768,VEKE,)\nCREATEIMAGE(M,,pic%s.bmp,0,0,FALSE,TRUE)\nMOVEIMAGE(M,500,0,6000)\nWAIT(100000)\n' \
    "$s" >picture$s.vek
  row "${s}x$s" "$(per_frame picture$s.vek)"
done

echo "## Sounds playing at once, 1 s WAV each, looped (instructions a frame, with --audio)"
ffmpeg -v quiet -y -f lavfi -i sine=frequency=440:duration=1 -ar 22050 -ac 1 tone.wav
for n in 1 8 32; do
  {
    echo 'CREATEENGINE(640,480,VEKE,)'
    for i in $(seq "$n"); do echo "CREATESOUND(S$i,tone.wav,FALSE,LOOPED)"; done
    for i in $(seq "$n"); do echo "PLAYSOUND(S$i)"; done
    echo 'WAIT(100000)'
  } >sounds$n.vek
  row "$n sounds" "$(per_frame sounds$n.vek --audio a.wav)"
done

echo "## Faces: one textured sphere turning, 640x480 (instructions a frame)"
for n in 8 32 90; do
  python3 - "$n" >sphere$n.obj <<'PY'
import math, sys
n = int(sys.argv[1])  # rings; 2*n segments: about 4*n*n faces
for i in range(n + 1):
    for j in range(2 * n):
        t, p = math.pi * i / n, math.pi * j / n
        print(f"v {math.sin(t) * math.cos(p):.5f} {math.cos(t):.5f} {math.sin(t) * math.sin(p):.5f}")
for i in range(n):
    for j in range(2 * n):
        a, b = i * 2 * n + j + 1, i * 2 * n + (j + 1) % (2 * n) + 1
        print(f"f {a} {b} {b + 2 * n}\nf {a} {b + 2 * n} {a + 2 * n}")
PY
  "$OBJ2VK" --fit 100 sphere$n.obj sphere$n.vko >/dev/null
  printf 'CREATEENGINE(640,480,VEKE,)\nCREATE3DOBJ(S,,sphere%s.vko,pic128.bmp,,TEXTMAP,SPHERE,320,240,2,FALSE,TRUE)\nROT3DOBJBETA(S,0,60000)\nWAIT(100000)\n' \
    "$n" >faces$n.vek
  row "$((4 * n * n)) faces" "$(per_frame faces$n.vek)"
done

echo "## Video size: a 4 s MPEG-4 clip at 25 frames a second played whole (CPU s, --ms 4000)"
for size in 160x120 320x240 640x480 1280x720; do
  ffmpeg -v quiet -y -f lavfi -i testsrc2=size=$size:rate=25:duration=4 -c:v mpeg4 -q:v 4 clip$size.avi
  w=${size%x*} h=${size#*x}
  printf 'CREATEENGINE(1280,720,VEKE,)\nCREATEANIM(A,clip%s.avi,0,0,%s,%s,FALSE,FALSE)\nPLAYANIM(A)\nWAITFOR(A)\n' \
    "$size" "$w" "$h" >video$size.vek
  row "$size" "$(cpu "$RENDER" video$size.vek --ms 4000 --out f.png)"
done

echo "## Script length: N lines of commands in one section (veke --check, CPU s)"
for n in 1000 100000 1000000; do
  { echo 'CREATEENGINE(640,480,VEKE,)'; yes 'CLEAR($18E318E3)' | head -n "$n"; } >lines$n.vek
  row "$n lines" "$(cpu "$VEKE" --check lines$n.vek)"
done

echo "## Sections: N sections, each calling the one before it (veke --check, CPU s)"
for n in 1000 10000; do
  {
    echo 'CREATEENGINE(640,480,VEKE,)'
    echo "CALL(S$n)"
    echo 'WAIT(1)'
    for i in $(seq "$n"); do printf '[S%s]\n' "$i"; [ "$i" -gt 1 ] && echo "CALL(S$((i - 1)))"; echo 'RETURN'; done
  } >sections$n.vek
  row "$n sections" "$(cpu "$VEKE" --check sections$n.vek)"
done

echo "## Files in the folder: 1 000 pictures named in another case beside N files (veke --check, CPU s)"
for n in 10 1000 50000; do
  mkdir -p folder$n
  python3 -c "import os, sys
for i in range(1, int(sys.argv[1]) + 1): os.link('pic32.bmp', 'folder%s/file%05d.bmp' % (sys.argv[1], i))" "$n"
  {
    echo 'CREATEENGINE(640,480,VEKE,)'
    for i in $(seq 1000); do printf 'CREATEIMAGE(P%s,,FILE%05d.BMP,0,0,FALSE,FALSE)\n' "$i" "$(((i - 1) % n + 1))"; done
    echo 'WAIT(1)'
  } >folder$n/show.vek
  row "$n files" "$(cpu "$VEKE" --check folder$n/show.vek)"
done
