#!/usr/bin/env bash
# Draws the demo's buttons in their three looks (normal, hover, pressed) with ImageMagick:
# rounded, with a light rim, on black (the see-through colour), 160 x 44, 8-bit BMP.
# Usage: scripts/make-demo-buttons.sh                 every menu button, into examples/demo
#        scripts/make-demo-buttons.sh NAME LABEL NORMAL HOVER PRESSED [FOLDER]
#   e.g. scripts/make-demo-buttons.sh btn_3d "Térben" '#1f5fa8' '#3b82d6' '#153f70'
# FOLDER (default examples/demo) receives NAME.bmp, NAME_h.bmp and NAME_d.bmp.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
font=$(fc-match -f '%{file}' 'DejaVu Sans:bold')

look() {  # LABEL FILL OUT
  convert -size 160x44 xc:black -fill "$2" -stroke 'rgba(255,255,255,0.6)' -strokewidth 2 \
    -draw 'roundrectangle 2,2 157,41 10,10' -stroke none \
    -font "$font" -pointsize 17 -fill white -gravity center -annotate +0+0 "$1" \
    +dither -colors 64 -type Palette BMP3:"$3"
}

button() {  # NAME LABEL NORMAL HOVER PRESSED [FOLDER]
  local out=${6:-$root/examples/demo}
  look "$2" "$3" "$out/$1.bmp"
  look "$2" "$4" "$out/${1}_h.bmp"
  look "$2" "$5" "$out/${1}_d.bmp"
}

if [ $# -gt 0 ]; then
  button "$@"
  exit
fi
button btn_images 'Képek' '#2e7d32' '#43a047' '#1b5e20'
button btn_text 'Szöveg' '#1565c0' '#1e88e5' '#0d47a1'
button btn_3d 'Térben' '#6a1b9a' '#8e24aa' '#4a148c'
button btn_cinema 'Mozi' '#a8641f' '#d6883b' '#704313'
button btn_quit 'Kilépés' '#b71c1c' '#e53935' '#7f1010'
