#!/usr/bin/env bash
# Backgrounds from picture files and resource entries: the same frames in both display modes
# and restored on RETURN; a picture that cannot be loaded is reported and play goes on.
source "$(dirname "$0")/common.bash"
cd "$work"

convert -size 640x480 xc:red -fill lime -draw "rectangle 320,0 639,479" bg.bmp
convert -size 640x480 xc:blue -quality 95 bg.jpg
convert -size 640x480 xc:white -fill black -draw "rectangle 0,0 9,9" PNG24:white.png
"$bin/ger" pack pics.ger --bmp B=bg.bmp --jpeg J=bg.jpg --raw --compress W=white.png >/dev/null \
  || say "ger pack"

cat > bg.vek <<'VEK'
LOADBACKGROUND(,BG.BMP)
WAIT(100)
LOADBACKGROUND(pics.ger,j)
WAIT(100)
CALL(Other)
WAIT(100)
QUIT
[Other]
LOADBACKGROUND(PICS.GER,W)
WAIT(100)
RETURN
VEK
for mode in "" HARDWARE; do
  "$render" bg.vek $mode --at 50:"a$mode.png" --at 150:"b$mode.png" --at 260:"c$mode.png" \
    --at 400:"d$mode.png" 2>err || say "run $mode: $(cat err)"
done
for f in a b c d; do cmp -s "$f.png" "${f}HARDWARE.png" || say "frame $f differs between the modes"; done
[ "$(pixel a.png 0 0)" = "srgb(255,0,0)" ] || say "BMP left half: $(pixel a.png 0 0)"
[ "$(pixel a.png 639 479)" = "srgb(0,255,0)" ] || say "BMP right half: $(pixel a.png 639 479)"
[ "$(pixel b.png 300 300)" = "srgb(0,0,255)" ] || say "JPEG entry: $(pixel b.png 300 300)"
[ "$(pixel c.png 5 5)" = "srgb(0,0,0)" ] || say "raw entry corner"
[ "$(pixel c.png 100 5)" = "srgb(255,255,255)" ] || say "raw entry: $(pixel c.png 100 5)"
# Back in the main section the JPEG background is drawn again.
[ "$(pixel d.png 5 5)" = "srgb(0,0,255)" ] || say "background not restored on RETURN: $(pixel d.png 5 5)"

"$render" bg.vek --rgb555 --at 50:555.png 2>/dev/null || say "5-5-5 run"
[ "$(pixel 555.png 639 0)" = "srgb(0,255,0)" ] || say "5-5-5 green: $(pixel 555.png 639 0)"

printf 'LOADBACKGROUND(,missing.jpg)\nWAIT(40)\nLOADBACKGROUND(pics.ger,nothing)\nWAIT(40)\nCLEAR($F800F800)\n' > bad.vek
"$render" bad.vek --ms 200 --out bad.png 2>err || say "a missing picture ended play"
# Named as the script writes them, after the line number (the engine's boxes have no caption).
grep -q "^bad.vek:1: \[GE Sprite\] Load error! File: missing.jpg$" err || say "no load error: $(cat err)"
grep -q "nothing resource not found! (ReadByName, ReadByNumber)" err || say "no entry error"
[ "$(pixel bad.png 0 0)" = "srgb(255,0,0)" ] || say "play did not go on"
exit $fail
