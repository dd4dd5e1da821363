#!/usr/bin/env bash
# Makes the pictures, sound and resource file of the tutorial presentation (docs/tutorial.md)
# with ImageMagick, sox and our own `ger`. The files are small and committed, so reading or
# testing the tutorial needs none of these tools; run this only to change them.
# Usage: scripts/make-tutorial-files.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
ger=${1:-$root/build}/ger
out=$root/docs/tutorial
font=$(fc-match -f '%{file}' 'DejaVu Sans:bold')
mkdir -p "$out"

# Two backgrounds of the display's size; JPEG keeps a soft gradient small.
convert -size 640x480 gradient:'#2a5d9f'-'#a9d2f5' -quality 70 "$out/sky.jpg"
convert -size 640x480 gradient:'#8fc46a'-'#2f6b2a' -quality 70 "$out/meadow.jpg"

# A sun and a cloud on black: black is the colour that is not drawn.
convert -size 96x96 xc:black -fill '#ffd23f' -draw 'circle 48,48 48,8' \
  -colors 16 -type Palette BMP3:"$out/daysun.bmp"
convert -size 140x70 xc:black -fill '#f4f8ff' \
  -draw 'circle 40,45 40,20' -draw 'circle 75,35 75,5' -draw 'circle 105,45 105,22' \
  -draw 'rectangle 40,40 105,67' -colors 16 -type Palette BMP3:"$out/whitecloud.bmp"

# A button in its looks (normal, hover, pressed): rounded, 160 x 44, on black.
button() {
  local name=$1 label=$2
  shift 2
  local suffix
  for suffix in "" _h _d; do
    [ $# -gt 0 ] || break
    convert -size 160x44 xc:black -fill "$1" -draw 'roundrectangle 2,2 157,41 10,10' \
      -font "$font" -pointsize 17 -fill white -gravity center -annotate +0+0 "$label" \
      -colors 64 -type Palette BMP3:"$out/$name$suffix.bmp"
    shift
  done
}
button start "Start" '#2f7d32' '#43a047' '#1b5e20'
button back "Back" '#1f5fa8' '#3b82d6'
button quit "Quit" '#a83232' '#d64545'

# A short chime: two notes, 16-bit mono.
sox -n -r 22050 -c 1 -b 16 "$out/ding.wav" synth 0.4 pluck E5 \
  fade 0 0.4 0.2 gain -6

# How a presentation keeps pictures in one file: the sky as the JPEG it is, the sun as
# compressed raw pixels.
"$ger" pack "$out/pictures.ger" --jpeg SKY="$out/sky.jpg" --raw --compress SUN="$out/daysun.bmp" \
  >/dev/null
