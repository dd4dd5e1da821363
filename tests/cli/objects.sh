#!/usr/bin/env bash
# Images, a moving image, a text and a button played by veke-render: keyed and opaque
# pictures, the move landing on its target, a click on the transparent part of the button
# doing nothing and one on its picture leading to another section; the same frames in both
# display modes.
source "$(dirname "$0")/common.bash"
expect() {  # expect FILE X Y COLOUR WHY
  local got
  got=$(pixel "$1" "$2" "$3")
  [ "$got" = "$4" ] || say "$5: $1 ($2,$3) is $got, wanted $4"
}
colours() { convert "$1" -crop "$2" +repage -format %k info:; }
cd "$work"

red="srgb(255,0,0)" blue="srgb(0,0,255)" white="srgb(255,255,255)"
black="srgb(0,0,0)" yellow="srgb(255,255,0)"

convert -size 640x480 xc:blue bg.bmp
# A red square with a black middle: transparent when keyed, black when drawn opaque.
convert -size 40x40 xc:red -fill black -draw "rectangle 10,10 29,29" pic.bmp
# A button whose right half is black, so not part of it.
convert -size 60x30 xc:black -fill white -draw "rectangle 0,0 29,29" btn.bmp
convert -size 60x30 xc:yellow hover.bmp

cat > objects.vek <<'VEK'
CREATEBACKGROUND(, bg.bmp)
CREATEIMAGE(pic, , pic.bmp, 100, 100, TRUE, TRUE)
CREATEIMAGE(mover, , pic.bmp, 0, 300, FALSE, TRUE)
CREATEBUTTON(go, , btn.bmp, hover.bmp, , 400, 100, 255, VISIBLE, ENABLED, next)
CREATETEXT(label, "Hello", 300, 400, 200, 40, ARIAL18)
MOVEIMAGE(mover, 200, 300, 400)
WAITFOR(go)
[NEXT]
CLEAR($F800F800)
WAIT(10000)
VEK
for mode in "" HARDWARE; do
  "$render" objects.vek $mode --ms 800 --click 445,105@540 --click 405,105@600 \
    --at 100:"a$mode.png" --at 500:"b$mode.png" --at 580:"c$mode.png" --at 700:"d$mode.png" \
    2>err || say "run $mode: $(cat err)"
  [ -s err ] && say "messages in $mode: $(cat err)"
done
for f in a b c d; do
  cmp -s "$f.png" "${f}HARDWARE.png" || say "frame $f differs between the display modes"
done

expect a.png 105 105 "$red" "keyed image"
expect a.png 120 120 "$blue" "black of a keyed image is transparent"
# The move started at 20 ms at half a pixel per millisecond: at 100 ms it is at x = 40.
expect a.png 45 305 "$red" "moving image on its way"
expect a.png 60 320 "$black" "black of an opaque image is drawn"
expect a.png 85 305 "$blue" "moving image ahead of itself"
expect a.png 405 105 "$white" "button"
expect a.png 445 105 "$blue" "transparent half of the button"
[ "$(colours a.png 200x40+300+400)" -gt 1 ] || say "the text is not drawn"

expect b.png 205 305 "$red" "image at the end of its move"
expect b.png 220 320 "$black" "image at the end of its move"
expect b.png 235 305 "$red" "image at the end of its move"
expect b.png 195 305 "$blue" "image short of its target"
expect b.png 245 305 "$blue" "image past its target"
expect b.png 45 305 "$blue" "old place of the moved image"

# The click on the transparent half did nothing: still the first section.
expect c.png 105 105 "$red" "first section after a click beside the button"
expect c.png 445 105 "$blue" "background after a click beside the button"

# The click on the picture entered NEXT, whose background is red; the first section's
# image is no longer drawn, but its button is (in its hover look: the mouse is on it).
expect d.png 105 105 "$red" "new section's background"
expect d.png 120 120 "$red" "first section's image left out"
expect d.png 405 105 "$yellow" "button under the mouse"
expect d.png 445 105 "$yellow" "hover picture is solid"
expect d.png 500 105 "$red" "beside the button"
[ "$(colours d.png 200x40+300+400)" -eq 1 ] || say "the first section's text is still drawn"
exit $fail
