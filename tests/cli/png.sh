#!/usr/bin/env bash
# PNG pictures in a presentation: transparent pixels keyed out, the rest drawn, in both display
# modes and from a resource file; `ger extract --png` of raw and SPR entries.
source "$(dirname "$0")/common.bash"
cd "$work" || exit 1
ger="$bin/ger"

# Alpha 0, 127, 128 and 255 (black), one pixel each.
convert -size 1x1 xc:'rgba(255,0,0,0)' xc:'rgba(0,255,0,0.498)' xc:'rgba(0,0,255,0.502)' \
  xc:'rgba(0,0,0,1)' +append PNG32:pic.png
"$ger" pack pics.ger Pic=pic.png >/dev/null || say "ger pack of a PNG"
printf 'CLEAR($FFFFFFFF)\nCREATEIMAGE(A,,Pic.png,10,10,TRUE,TRUE)\nCREATEIMAGE(B,pics.ger,Pic,10,20,TRUE,TRUE)\nWAIT(100)\n' > show.vek
for mode in "" HARDWARE; do
  "$render" show.vek $mode --ms 60 --out "frame$mode.png" 2>err || say "run $mode: $(cat err)"
  for y in 10 20; do
    got="$(pixel "frame$mode.png" 10 $y) $(pixel "frame$mode.png" 11 $y) $(pixel "frame$mode.png" 12 $y) $(pixel "frame$mode.png" 13 $y)"
    [ "$got" = "srgb(255,255,255) srgb(255,255,255) srgb(0,0,255) srgb(0,0,8)" ] \
      || say "PNG at row $y ${mode:-memory mode}: $got"
  done
done

# Raw and SPR entries come out as pictures on request, anything else is refused.
printf '\002\000\001\000\000\370\037\000' > two.spr  # 2x1: red, blue
printf 'text' > note.txt
"$ger" pack more.ger Pic=pic.png --data Two=two.spr Note=note.txt >/dev/null || say "pack"
"$ger" extract more.ger Pic --png >out 2>err || say "extract raw as PNG: $(cat err)"
[ "$(pixel Pic.png 0 0) $(pixel Pic.png 2 0) $(pixel Pic.png 3 0)" = "srgb(0,0,0) srgb(0,0,255) srgb(0,0,8)" ] \
  || say "raw entry as PNG: $(pixel Pic.png 0 0) $(pixel Pic.png 2 0) $(pixel Pic.png 3 0)"
"$ger" extract more.ger two sprite.png --png >out 2>err || say "extract SPR as PNG: $(cat err)"
[ "$(identify -format %wx%h sprite.png) $(pixel sprite.png 0 0) $(pixel sprite.png 1 0)" = "2x1 srgb(255,0,0) srgb(0,0,255)" ] \
  || say "SPR entry as PNG: $(identify -format %wx%h sprite.png)"
"$ger" extract more.ger Note --png 2>err; [ $? = 1 ] || say "a text entry became a PNG"
grep -q "holds no picture" err || say "text entry: $(cat err)"
"$ger" extract more.ger Two two.out >/dev/null && cmp -s two.out two.spr || say "plain extract changed"
exit $fail
