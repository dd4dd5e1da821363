#!/usr/bin/env bash
# Draws a button of the demo in its three looks (normal, hover, pressed) with ImageMagick:
# rounded, on black (the see-through colour), 160 x 44, 8-bit BMP.
# Usage: scripts/make-demo-buttons.sh NAME LABEL NORMAL HOVER PRESSED [FOLDER]
#   e.g. scripts/make-demo-buttons.sh btn_3d "Térben" '#1f5fa8' '#3b82d6' '#153f70'
# FOLDER (default examples/demo) receives NAME.bmp, NAME_h.bmp and NAME_d.bmp.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${6:-$root/examples/demo}
name=$1 label=$2
font=$(fc-match -f '%{file}' 'DejaVu Sans:bold')
look() {
  convert -size 160x44 xc:black -fill "$1" -draw 'roundrectangle 2,2 157,41 10,10' \
    -font "$font" -pointsize 17 -fill white -gravity center -annotate +0+0 "$label" \
    -colors 64 -type Palette BMP3:"$out/$2.bmp"
}
look "$3" "$name"
look "$4" "${name}_h"
look "$5" "${name}_d"
