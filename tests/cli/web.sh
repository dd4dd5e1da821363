#!/usr/bin/env bash
# The browser build's engine: veke-render compiled to wasm (make web) and run under node walks
# the demo through the same clicks as the desktop's veke-render and gives the same frames and
# the same sound. Skipped where emscripten is not installed or the browser build not made.
source "$(dirname "$0")/common.bash"
web=${BUILD_WEB:-$2/build-web}
if ! command -v emcc >/dev/null || ! command -v node >/dev/null; then
  echo "SKIP: no emscripten or node (scripts/install-deps.sh installs them)"
  exit 77
fi
if [ ! -f "$web/veke-render.js" ]; then
  echo "SKIP: no browser build in $web (make web makes it)"
  exit 77
fi
source "$2/scripts/web/emenv.sh"
demo=$2/examples/demo/demo.vek

# The menu, a picture page, the texts, the 3D page and the clip, and the sound of it all.
images=140,348 space=320,348 cinema=500,348 texts=230,402 back=540,446
walk() {  # FOLDER
  echo --ms 35000 --audio "$1/sound.wav" --at 2300:"$1/menu.png" \
    --click "$images@2500" --at 6500:"$1/day.png" --at 11500:"$1/dusk.png" \
    --click "$back@17000" --click "$texts@18500" --at 21000:"$1/words.png" \
    --click "$back@22000" --click "$space@23500" --at 26500:"$1/space.png" \
    --at 26600:"$1/space2.png" --click "$back@30000" --click "$cinema@31500" \
    --at 32500:"$1/clip.png" --at 34500:"$1/half.png"
}
mkdir -p "$work/desk" "$work/web"
"$render" "$demo" $(walk "$work/desk") 2>"$work/err" || say "desktop run: $(tail -2 "$work/err")"
node $VEKE_NODE_FLAGS "$web/veke-render.js" "$demo" $(walk "$work/web") 2>"$work/err" ||
  say "wasm run: $(tail -2 "$work/err")"
[ -s "$work/err" ] && say "the wasm run reported: $(head -3 "$work/err")"

for file in menu day dusk words; do
  cmp -s "$work/desk/$file.png" "$work/web/$file.png" || say "$file.png differs"
done
cmp -s "$work/desk/sound.wav" "$work/web/sound.wav" || say "the sound differs"

# Pixels that differ between the two runs' frame, and the largest difference of a channel.
differing() {
  compare -metric AE "$work/desk/$1.png" "$work/web/$1.png" null: 2>&1
}
largest() {
  convert "$work/desk/$1.png" "$work/web/$1.png" -compose difference -composite \
    -format "%[fx:int(255*max(maxima.r,max(maxima.g,maxima.b)))]" info:
}
# The 3D front end computes in long double, 80 bits on x86 and 128 in wasm, so a point on a
# rounding edge may land a pixel aside: a few dozen pixels of a frame, no more. (A fade's sum of
# opacities is long double too, but the frames checked here are past their fades.)
for file in space space2; do
  n=$(differing $file)
  [ "$n" -le 100 ] 2>/dev/null || say "$file.png: $n pixels differ"
done
# The desktop's FFmpeg scales clips with x86 SIMD code that rounds and dithers apart from its C
# code, which wasm runs: a clip pixel may differ by one step of five bits (9 of 255), no more.
for file in clip half; do
  n=$(largest $file)
  [ "$n" -le 9 ] 2>/dev/null || say "$file.png: a channel differs by $n"
done

# The page plays presentations packed as zip archives: the demo from one gives the same frames
# and sound as from its folder, the clip read through the archive too.
(cd "$2/examples/demo" && python3 -c '
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for root, _, files in os.walk("."):
        for f in files: z.write(os.path.join(root, f), os.path.join(root, f)[2:])
' "$work/demo.zip")
mkdir -p "$work/zip"
node $VEKE_NODE_FLAGS "$web/veke-render.js" "$work/demo.zip" $(walk "$work/zip") 2>"$work/err" ||
  say "wasm run from the zip: $(tail -2 "$work/err")"
for file in "$work"/web/*; do
  cmp -s "$file" "$work/zip/${file##*/}" || say "${file##*/} from the zip differs"
done

# A disc image is named as what the browser cannot open.
head -c 40000 /dev/zero >"$work/show.iso"
node $VEKE_NODE_FLAGS "$web/veke-render.js" "$work/show.iso" --ms 0 2>"$work/err" &&
  say "a disc image played"
grep -q "disc images cannot be opened in the browser" "$work/err" ||
  say "disc image: $(head -1 "$work/err")"
exit $fail
