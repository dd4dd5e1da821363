#!/usr/bin/env bash
# Draws the demo presentation's pictures with ImageMagick and packs some of them with our ger
# tool: one landscape in three lights, each in another picture format the player reads (day as
# a run-length 8-bit BMP, dusk as an SPR file, night as a compressed raw entry of demo.ger), a
# starfield, a flapping bird and twinkling stars cut into animation frames, the moon, the Back
# and menu buttons in their three looks (scripts/make-demo-buttons.sh) and the clip's poster.
# Usage: scripts/make-demo-pictures.sh [BUILD]   (BUILD holds ger; default build)
# The outputs are committed, so the demo needs neither ImageMagick nor this script.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
out=$root/examples/demo
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# SPR: width and height as 16-bit little-endian numbers, then 5-6-5 pixels row by row.
to_spr() {
  local width height
  read -r width height < <(identify -format '%w %h\n' "$1")
  convert "$1" -depth 8 rgb:- | python3 -c '
import struct, sys
w, h = map(int, sys.argv[1:3])
rgb = sys.stdin.buffer.read()
out = bytearray(struct.pack("<HH", w, h))
for i in range(0, len(rgb), 3):
    r, g, b = rgb[i], rgb[i + 1], rgb[i + 2]
    out += struct.pack("<H", (r >> 3) << 11 | (g >> 2) << 5 | b >> 3)
sys.stdout.buffer.write(out)' "$width" "$height" >"$2"
}

# The landscape: sky, two ranges of hills, a meadow and a row of trees, in the colours given.
landscape() {  # SKYTOP SKYLOW FARHILLS NEARHILLS MEADOW TREES OUT
  convert -size 640x480 gradient:"$1-$2" \
    -fill "$3" -draw 'rectangle 0,350 639,479' -draw 'ellipse 110,340 220,80 0,360' -draw 'ellipse 420,350 300,95 0,360' \
    -fill "$4" -draw 'ellipse 260,420 330,90 0,360' -draw 'ellipse 620,410 180,70 0,360' \
    -draw 'rectangle 0,420 639,479' \
    -fill "$5" -draw 'ellipse 300,560 480,140 0,360' \
    -fill "$6" -draw 'circle 470,352 470,330' -draw 'circle 500,346 500,320' \
    -draw 'circle 530,356 530,336' -draw 'rectangle 497,346 503,380' \
    -draw 'circle 90,392 90,372' -draw 'circle 118,386 118,362' -draw 'rectangle 115,386 121,414' \
    "$7"
}

landscape '#1d5296' '#a9d8ff' '#7fb872' '#4e9a48' '#3f8a3c' '#2a5e2a' "$work/day.png"
# Few colours and no dithering keep the rows in long runs, which is what RLE packs.
convert "$work/day.png" +dither -colors 48 -type Palette -compress RLE BMP3:"$out/day.bmp"

landscape '#241640' '#ff9a4d' '#6a3f5e' '#3d2440' '#2c1a30' '#1c1024' "$work/dusk.png"
to_spr "$work/dusk.png" "$out/dusk.spr"

landscape '#03061a' '#1b2c5c' '#1c2a44' '#121c30' '#0c1424' '#080e1a' "$work/night.png"
# Stars only in the sky: a fixed seed, so the picture is the same on every run.
python3 - >"$work/stars.txt" <<'PY'
import random
random.seed(11)
for _ in range(90):
    x, y = random.randrange(640), random.randrange(300)
    shade = random.choice(("#c8d0ff", "#ffffff", "#ffe8b0", "#8890c0"))
    print(f"fill {shade} point {x},{y}")
    if random.random() < 0.2:
        print(f"fill {shade} point {x + 1},{y} point {x},{y + 1} point {x + 1},{y + 1}")
PY
convert "$work/night.png" -draw "$(cat "$work/stars.txt")" "$work/night.png"

# The starfield behind the 3D objects: a dim nebula and stars over deep blue.
convert -size 640x480 -seed 5 plasma:fractal -colorspace gray -blur 0x14 -auto-level \
  -sigmoidal-contrast 4,60% +level-colors '#02030e,#3c2066' "$work/nebula.png"
convert "$work/nebula.png" -draw "$(cat "$work/stars.txt")" \
  \( "$work/nebula.png" -flip -draw "$(cat "$work/stars.txt")" -flip \) -compose lighten -composite \
  "$work/space.png"

# The moon: a disc with two soft craters on black, the colour key.
convert -size 72x72 xc:black -fill '#f4eed0' -draw 'circle 36,36 36,4' \
  -fill '#d8d0b0' -draw 'circle 26,28 26,20' -draw 'circle 46,48 46,42' \
  -draw 'circle 44,22 44,18' -alpha off "$work/moon.png"

# The bird: eight frames of a flap, side by side. Its dark grey is not black, which is the key.
python3 - "$work" <<'PY'
import math, sys
work = sys.argv[1]
cmds = []
for f in range(8):
    x0 = f * 64
    lift = math.sin(2 * math.pi * f / 8)
    tip = 20 - 16 * lift
    elbow = 20 - 8 * lift
    cmds.append(f"fill #26303c ellipse {x0 + 32},22 13,5 0,360")
    cmds.append(f"fill #26303c circle {x0 + 46},19 {x0 + 46},15")
    cmds.append(f"fill #e0a030 polygon {x0 + 50},18 {x0 + 57},20 {x0 + 50},21")
    cmds.append(f"fill #26303c polygon {x0 + 20},21 {x0 + 8},{elbow:.0f} {x0 + 2},{tip:.0f} {x0 + 28},22")
    cmds.append(f"fill #34424f polygon {x0 + 26},21 {x0 + 22},{elbow:.0f} {x0 + 14},{tip:.0f} {x0 + 36},22")
    cmds.append(f"fill #26303c polygon {x0 + 19},22 {x0 + 6},26 {x0 + 10},20")
with open(f"{work}/bird.txt", "w") as out:
    out.write("\n".join(cmds) + "\n")

# A four-pointed sparkle that grows and fades, sixteen frames of 32 x 32; a second sheet
# starts half way through, so two stars never twinkle together.
cmds = []
for f in range(16):
    x0 = f * 32
    s = 0.5 + 0.5 * math.sin(2 * math.pi * f / 16)
    arm, waist = 4 + 11 * s, 1 + 1.5 * s
    glow = int(120 + 135 * s)
    c = f"#{glow:02x}{glow:02x}{int(glow * 0.85):02x}"
    cx, cy = x0 + 16, 16
    pts = [(cx, cy - arm), (cx + waist, cy - waist), (cx + arm, cy), (cx + waist, cy + waist),
           (cx, cy + arm), (cx - waist, cy + waist), (cx - arm, cy), (cx - waist, cy - waist)]
    cmds.append(f"fill {c} polygon " + " ".join(f"{x:.1f},{y:.1f}" for x, y in pts))
    cmds.append(f"fill #ffffff circle {cx},{cy} {cx + 1 + s:.1f},{cy}")
with open(f"{work}/twinkle.txt", "w") as out:
    out.write("\n".join(cmds) + "\n")
PY
# Drawing gives the sheets an alpha channel, and the player would keep their opaque black
# visible (as the faintest blue); without it black is the key again.
convert -size 512x40 xc:black -draw "$(cat "$work/bird.txt")" -alpha off "$work/bird.png"
convert -size 512x32 xc:black -draw "$(cat "$work/twinkle.txt")" -alpha off "$work/twinkle.png"
convert "$work/twinkle.png" -roll +256+0 "$work/twinkle2.png"

# The Back button lives in the pack; the menu buttons are files of their own.
bash "$root/scripts/make-demo-buttons.sh" back 'Vissza' '#5e4580' '#7d5fa8' '#3f2d57' "$work"
bash "$root/scripts/make-demo-buttons.sh"

"$build/ger" pack "$out/demo.ger" --raw --compress NIGHT="$work/night.png" SPACE="$work/space.png" \
  MOON="$work/moon.png" --frames 64x40 BIRD="$work/bird.png" \
  --frames 32x32 TWINKLE="$work/twinkle.png" TWINKLE2="$work/twinkle2.png" \
  --frames auto --bmp BACK="$work/back.bmp" BACK_H="$work/back_h.bmp" BACK_D="$work/back_d.bmp"

# The poster under the clip: its first frame at the size the cinema shows it, seen where the
# clip has played before (a clip line plays once per run).
ffmpeg -v error -y -i "$out/clip.avi" -frames:v 1 -vf scale=400:304 -q:v 3 "$out/poster.jpg"
echo "pictures in $out"
