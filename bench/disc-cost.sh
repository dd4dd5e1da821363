#!/usr/bin/env bash
# What playing from inside a disc image or zip archive costs against the same presentation
# unpacked in a folder. Builds, in a scratch folder, a small presentation (a picture, a
# resource file, an MP3 and a video, started by an AUTORUN.INF), pads it to about 650 MB with
# hundreds of filler files in subfolders as a copied disc has them, and packs it as an ISO
# image (Joliet and Rock Ridge) and as a stored zip archive. Then, each pair taken in turn
# (A B A B ...) so that a machine whose speed drifts moves both alike:
#   first frame  `veke-render PATH --ms 1 --out first.png`, image or archive against folder;
#   the listing  `veke --list PATH` against `veke --version`: what opening the container and
#                reading its directory adds to the program's start;
#   video        `veke-render PATH --ms 20000`: twenty seconds of a 640x480 video (6 Mbit/s) with music.
# Prints medians of processor time (user + system) and wall time, and the median of the
# pairwise ratios. The page cache is warm: every run reads files the one before it read.
#
# usage: [DISC_COST_DIR=FOLDER] [DISC_COST_INSTRUCTIONS=1] bench/disc-cost.sh [BUILD_DIR] [RUNS]
#        (defaults: build, 9 pairs)
# Needs xorriso, zip, ffmpeg (with an MP3 encoder) and python3; about 2 GB in $TMPDIR.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$source_dir/build}" && pwd)
runs=${2:-9}
for tool in xorriso zip ffmpeg python3; do
  command -v "$tool" >/dev/null || { echo "disc-cost: $tool is missing" >&2; exit 2; }
done
for program in veke veke-render ger; do
  [ -x "$build/$program" ] || { echo "disc-cost: no $build/$program: build it first" >&2; exit 2; }
done
# DISC_COST_DIR=FOLDER keeps the presentation, image and archive there for a closer look
# (perf record, say); otherwise they go when the script ends.
if [ -n "${DISC_COST_DIR:-}" ]; then
  work=$(mkdir -p "$DISC_COST_DIR" && cd "$DISC_COST_DIR" && pwd)
  rm -rf "${work:?}/show" "$work/show.iso" "$work/show.zip" "$work/first.png"
else
  work=$(mktemp -d "${TMPDIR:-/tmp}/disc-cost.XXXXXX")
  trap 'rm -rf "$work"' EXIT
fi
show=$work/show

# The presentation, with names in another letter case than the files, as discs have them.
mkdir -p "$show/video" "$show/data"
ffmpeg -v error -f lavfi -i testsrc=size=640x480:rate=25:duration=20 -c:v mpeg4 -q:v 2 \
  "$show/video/clip.avi"
ffmpeg -v error -f lavfi -i sine=frequency=440:duration=20 -ac 2 -ar 44100 -b:a 128k \
  "$show/music.mp3"
ffmpeg -v error -f lavfi -i testsrc2=size=640x480 -frames:v 1 -pix_fmt bgr24 "$show/back.bmp"
ffmpeg -v error -f lavfi -i mandelbrot=size=128x128 -frames:v 1 -pix_fmt bgr24 "$work/logo.bmp"
"$build/ger" pack "$show/pics.ger" --bmp LOGO="$work/logo.bmp" >/dev/null
cat >"$show/SHOW.VEK" <<'EOF'
CREATEENGINE(640,480,VEKE,)
CREATEBACKGROUND(,BACK.BMP)
CREATEIMAGE(Logo,PICS.GER,LOGO,40,40,TRUE,TRUE)
CREATESOUND(Music,MUSIC.MP3,FALSE,LOOPED)
PLAYSOUND(Music)
CREATEANIM(Clip,VIDEO\CLIP.AVI,0,0,640,480,FALSE,FALSE)
PLAYANIM(Clip)
WAITFOR(Clip)
QUIT
EOF
printf '[autorun]\r\nopen=PLAYER.EXE SHOW.VEK\r\nicon=PLAYER.EXE\r\n' >"$show/AUTORUN.INF"

# Filler: 16 folders of 40 files of about 1 MB, copies of one random block.
head -c 1015000 /dev/urandom >"$work/filler"
for d in $(seq -w 1 16); do
  mkdir -p "$show/data/d$d"
  for f in $(seq -w 1 40); do cp "$work/filler" "$show/data/d$d/f$f.dat"; done
done
xorriso -as mkisofs -quiet -J -R -V FAIR1999 -o "$work/show.iso" "$show" 2>/dev/null
(cd "$show" && zip -q -0 -r "$work/show.zip" .)
echo "presentation: $(du -sm "$show" | cut -f1) MB in $(find "$show" -type f | wc -l) files;" \
  "image $(($(stat -c %s "$work/show.iso") / 1000000)) MB, archive $(($(stat -c %s "$work/show.zip") / 1000000)) MB"

# The ways in must show the same thing before their times mean anything.
cd "$work"
for path in show/SHOW.VEK show show.iso show.zip; do
  "$build/veke-render" "$path" --ms 1 --out "$work/check.png" 2>"$work/err" \
    || { echo "disc-cost: veke-render $path failed: $(cat "$work/err")" >&2; exit 1; }
  if [ -f "$work/first.png" ]; then
    cmp -s "$work/first.png" "$work/check.png" || { echo "disc-cost: $path shows another first frame" >&2; exit 1; }
  else
    mv "$work/check.png" "$work/first.png"
  fi
done

# One timed run of the command in "$@": appends "USER+SYS WALL" in seconds to the file $1.
# The kernel's accounting of the finished child and its children, to the microsecond
# (/usr/bin/time rounds to hundredths, too coarse for a first frame).
timed() {
  python3 - "$@" <<'PY' || { echo "disc-cost: ${*:2} failed" >&2; exit 1; }
import os, subprocess, sys, time
start = time.monotonic()
child = subprocess.Popen(sys.argv[2:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
_, status, usage = os.wait4(child.pid, 0)
wall = time.monotonic() - start
child.returncode = os.waitstatus_to_exitcode(status)
if child.returncode != 0:
    sys.exit(1)
with open(sys.argv[1], "a") as log:
    log.write("%.4f %.4f\n" % (usage.ru_utime + usage.ru_stime, wall))
PY
}

# A command as the table shows it: programs and files without their folders.
shown() { local text=${1//"$build/"/}; echo "${text//"$work/"/}"; }

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# compare LABEL 'COMMAND A' 'COMMAND B': one warm-up each, then RUNS pairs.
compare() {
  local label=$1 a=$2 b=$3 i
  rm -f "$work/a" "$work/b"
  read -ra a_words <<<"$a"
  read -ra b_words <<<"$b"
  timed /dev/null "${a_words[@]}"
  timed /dev/null "${b_words[@]}"
  for ((i = 0; i < runs; i++)); do
    timed "$work/a" "${a_words[@]}"
    timed "$work/b" "${b_words[@]}"
  done
  printf '  A %-44s cpu %7.4f s  wall %7.4f s\n' "$(shown "$a")" "$(cut -d' ' -f1 "$work/a" | median)" \
    "$(cut -d' ' -f2 "$work/a" | median)"
  printf '  B %-44s cpu %7.4f s  wall %7.4f s\n' "$(shown "$b")" "$(cut -d' ' -f1 "$work/b" | median)" \
    "$(cut -d' ' -f2 "$work/b" | median)"
  printf '%s, A/B: cpu %s, wall %s (medians of %d pairs)\n\n' "$label" \
    "$(paste -d' ' "$work/a" "$work/b" | awk '{ printf "%.3f\n", $1 / ($3 > 0 ? $3 : 0.001) }' | median)" \
    "$(paste -d' ' "$work/a" "$work/b" | awk '{ printf "%.3f\n", $2 / ($4 > 0 ? $4 : 0.001) }' | median)" \
    "$runs"
}

render="$build/veke-render"
first="--ms 1 --out $work/out.png"
echo
compare "first frame, image/folder" "$render show.iso $first" "$render show $first"
compare "first frame, archive/folder" "$render show.zip $first" "$render show $first"
compare "first frame, folder/script" "$render show $first" "$render show/SHOW.VEK $first"
compare "listing, image/start-up" "$build/veke --list show.iso" "$build/veke --version"
compare "listing, archive/start-up" "$build/veke --list show.zip" "$build/veke --version"
compare "listing, folder/start-up" "$build/veke --list show" "$build/veke --version"
compare "video 20 s, image/folder" "$render show.iso --ms 20000" "$render show --ms 20000"
compare "video 20 s, archive/folder" "$render show.zip --ms 20000" "$render show --ms 20000"

# Processor time on a shared machine moves with its load; the instructions a run executes do
# not. With DISC_COST_INSTRUCTIONS=1 (and valgrind), each way in is counted once as well.
[ "${DISC_COST_INSTRUCTIONS:-}" = 1 ] || exit 0
command -v valgrind >/dev/null || { echo "disc-cost: valgrind is missing" >&2; exit 2; }
instructions() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}
echo "instructions executed (callgrind), millions:"
for path in show/SHOW.VEK show show.iso show.zip; do
  printf '  %-14s first frame %8.1f   video 20 s %8.1f   listing %6.1f\n' "$path" \
    "$(instructions "$render" "$path" $first | awk '{ print $1 / 1e6 }')" \
    "$(instructions "$render" "$path" --ms 20000 | awk '{ print $1 / 1e6 }')" \
    "$([ "$path" = show/SHOW.VEK ] && echo 0 || instructions "$build/veke" --list "$path" | awk '{ print $1 / 1e6 }')"
done
printf '  %-14s %8.1f\n' "veke --version" "$(instructions "$build/veke" --version | awk '{ print $1 / 1e6 }')"

