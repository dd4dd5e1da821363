#!/usr/bin/env bash
# The demo presentation, walked through every chapter by clicks on the virtual clock: a few
# pixels of each page, the animations that must move, the texts timed to the clip, the end
# by QUIT, and the sound: music and effects present, nothing at full scale.
source "$(dirname "$0")/common.bash"
demo=$2/examples/demo/demo.vek
f=$work/f

# The menu's buttons (Images 60,326; Space 240,326; Cinema 420,326; Texts 150,380; Quit
# 330,380; 160 x 44) and the pages' Back button (460,424).
images=140,348 space=320,348 cinema=500,348 texts=230,402 quit=410,402 back=540,446
mkdir -p "$f"
"$render" "$demo" --ms 60000 --audio "$work/demo.wav" \
  --at 2300:"$f/menu.png" --move "$texts@2350" --at 2450:"$f/hover.png" \
  --click "$images@2500" --at 6500:"$f/day.png" --at 6540:"$f/day2.png" \
  --at 11500:"$f/dusk.png" --at 16500:"$f/night.png" --at 16580:"$f/night2.png" \
  --click "$back@17000" --at 17600:"$f/menu2.png" \
  --click "$texts@18500" --at 21000:"$f/words.png" --click "$back@22000" \
  --click "$space@23500" --at 26500:"$f/space.png" --at 26600:"$f/space2.png" \
  --click "$back@30000" \
  --click "$cinema@31500" --at 32500:"$f/clip.png" --at 32700:"$f/clip2.png" \
  --at 34500:"$f/half.png" --at 37000:"$f/end.png" --click "$back@38000" \
  --click "$quit@39500" --at 40800:"$f/bye.png" --out "$f/last.png" 2>"$work/err"
code=$?
[ $code = 0 ] || say "the walk ended with $code: $(tail -3 "$work/err")"
[ -s "$work/err" ] && say "the demo reported: $(head -3 "$work/err")"

# Channels of a pixel as "R G B" (0..255), and tests on them.
rgb() { convert "$1" -format "%[fx:int(255*p{$2,$3}.r)] %[fx:int(255*p{$2,$3}.g)] %[fx:int(255*p{$2,$3}.b)]" info:; }
expect() {  # FILE X Y AWK-CONDITION-ON-r,g,b WHAT
  local c
  c=$(rgb "$1" "$2" "$3")
  echo "$c" | awk "{ r = \$1; g = \$2; b = \$3; exit !($4) }" || say "$5: ($2,$3) is $c"
}
# Pixels that differ between two frames inside a rectangle W H X Y.
changed() {
  convert "$1" "$2" -crop "$3x$4+$5+$6" +repage -compose difference -composite \
    -threshold 0 -format "%[fx:int(mean*w*h)]" info:
}
# Levels of a stretch of the sound (seconds), and a comparison of two numbers.
level() {  # START LENGTH FIELD
  sox "$work/demo.wav" -n trim "$1" "$2" stat 2>&1 | awk -v f="$3" '$0 ~ "^" f { print $NF }'
}
loud() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }
# Pixels of a rectangle that pass an fx test, such as bright text or green wire.
count() {  # FILE W H X Y FX
  convert "$1" -crop "$2x$3+$4+$5" +repage -fx "$6" -format "%[fx:int(mean*w*h)]" info:
}

# The menu: all five buttons faded in, the one under the mouse in its hover look.
expect "$f/menu.png" 70 348 'g > 100 && r < 80' "Images button"
expect "$f/menu.png" 250 348 'r > 80 && b > 120 && g < 60' "Space button"
expect "$f/menu.png" 430 348 'r > 140 && b < 60' "Cinema button"
expect "$f/menu.png" 340 402 'r > 150 && g < 60' "Quit button"
[ "$(rgb "$f/menu.png" 160 402)" != "$(rgb "$f/hover.png" 160 402)" ] || say "Texts shows no hover look"
# A day on the hills: a blue sky from the BMP, green meadow, and a bird that flaps as it flies.
expect "$f/day.png" 320 230 'b > r + 60' "day sky"
expect "$f/day.png" 320 470 'g > r + 40 && g > b + 40' "day meadow"
[ "$(changed "$f/day.png" "$f/day2.png" 640 300 0 0)" -gt 0 ] || say "nothing moves by day"
# Dusk from the SPR file: orange near the hills.
expect "$f/dusk.png" 10 250 'r > b + 60' "dusk sky"
# Night from the pack: dark, with stars that twinkle (frames of the pack) while nothing else
# there but the moon moves.
expect "$f/night.png" 320 120 'r + g + b < 120' "night sky"
[ "$(changed "$f/night.png" "$f/night2.png" 32 32 70 60)" -gt 0 ] || say "the first star does not twinkle"
[ "$(changed "$f/night.png" "$f/night2.png" 32 32 250 130)" -gt 0 ] || say "the second star does not twinkle"
# Back to the menu: its background and buttons again, nothing of the night left.
expect "$f/menu2.png" 70 348 'g > 100 && r < 80' "menu after Back"
expect "$f/menu2.png" 600 100 'b > r' "menu background after Back"
# The words: purple background, every face drawn (bright pixels on each line).
expect "$f/words.png" 5 5 'r > 25 && b > 30' "words background"
line=0
for y in 74 98 124 156 198 232 266 320; do
  line=$((line + 1))
  [ "$(count "$f/words.png" 560 16 40 "$y" 'r > 0.7 ? 1 : 0')" -gt 20 ] || say "text line $line missing"
done
# Space: green wire of the WIRED torus, and the objects turning.
[ "$(count "$f/space.png" 200 140 220 260 'g > 0.3 && g > 2 * r && g > 2 * b ? 1 : 0')" -gt 500 ] || say "no wire torus"
[ "$(changed "$f/space.png" "$f/space2.png" 200 140 30 90)" -gt 100 ] || say "the cube does not turn"
# The cinema: the clip plays over the poster; the half-way text waits for the clip's position.
[ "$(changed "$f/clip.png" "$f/clip2.png" 400 304 120 70)" -gt 1000 ] || say "the clip does not play"
[ "$(count "$f/clip.png" 320 28 300 24 'r > 0.5 ? 1 : 0')" = 0 ] || say "half-way text too early"
[ "$(count "$f/half.png" 320 28 300 24 'r > 0.5 ? 1 : 0')" -gt 20 ] || say "no half-way text"
# Goodbye: the night again and its text; the run ended by QUIT before its time was up.
expect "$f/bye.png" 320 60 'r + g + b < 120' "farewell background"
[ "$(count "$f/bye.png" 400 40 200 200 'r > 0.7 ? 1 : 0')" -gt 50 ] || say "no farewell text"
loud 59 "$(soxi -D "$work/demo.wav")" || say "the run did not end by QUIT"

# Every chapter twice in a row: a page seen again has run its sounds and effects already, and
# must still show its Back button and lead back; the cinema shows its poster where the clip
# played.
"$render" "$demo" --ms 40000 --click "$cinema@2500" --click "$back@8000" \
  --click "$cinema@9500" --at 11000:"$f/poster.png" --click "$back@12000" --at 12600:"$f/r1.png" \
  --click "$texts@13500" --click "$back@16500" --click "$texts@17500" --click "$back@19000" \
  --at 19600:"$f/r2.png" --click "$images@20500" --click "$back@22000" \
  --click "$images@23000" --click "$back@24500" --at 25100:"$f/r3.png" \
  --click "$space@26000" --click "$back@27000" --click "$space@28000" --click "$back@29000" \
  --at 29600:"$f/r4.png" --click "$quit@30500" 2>"$work/err" || say "the second walk ended with $?"
expect "$f/poster.png" 140 90 'r > 100 && g > 80 && b > 100' "no poster where the clip played"
for i in 1 2 3 4; do
  expect "$f/r$i.png" 70 348 'g > 100 && r < 80' "menu after the second visit $i"
done

# Sound: music under the menu, the clip's sound over it, the bell after the music stopped,
# and nothing clipped anywhere.
peak=$(level 0 60 "Maximum amplitude")
low=$(level 0 60 "Minimum amplitude")
if ! loud 0.98 "$peak" || ! loud "$low" -0.98; then
  say "the sound reaches full scale ($low .. $peak)"
fi
loud "$(level 0.5 2 "RMS     amplitude")" 0.02 || say "no music under the menu"
loud "$(level 32 3 "RMS     amplitude")" "$(level 28 3 "RMS     amplitude")" \
  || say "the clip's sound is not heard over the music"
loud "$(level 39.8 0.6 "RMS     amplitude")" 0.02 || say "no farewell bell"
exit $fail
