#!/usr/bin/env bash
# veke --check: every script of the repository is clean, a broken one gets its findings at
# their lines, and nothing is shown or played on the way.
source "$(dirname "$0")/common.bash"
veke="$bin/veke"
src=$2

# The presentations and examples of the repository; the fuzzers' seeds are not presentations,
# they name files that are not there on purpose. Checked without a desktop or a sound device:
# the check opens neither. Their pages may warn (the demo's play once, as they always did).
scripts=$(cd "$src" && find . -name '*.vek' -not -path './fuzz/corpus/*' -not -path './build*' \
  -not -path './.git/*' | sort)
[ -n "$scripts" ] || say "no scripts found in $src"
for script in $scripts; do
  env -u SDL_VIDEODRIVER -u SDL_AUDIODRIVER -u DISPLAY -u WAYLAND_DISPLAY \
    "$veke" --check --no-warnings "$src/$script" >"$work/out" 2>&1 || say "$script is not clean (exit $?)"
  [ -s "$work/out" ] && { say "$script: output from a clean check"; cat "$work/out"; }
done

cp "$src/examples/demo/sun.bmp" "$work/Sun.BMP"
printf 'not a picture' >"$work/broken.bmp"
cat >"$work/broken.vek" <<'EOF'
CREATEENGINE(640,480,Test,)
CREATEIMAGE(Sun,,sun.bmp,10,10,TRUE,TRUE)
CREATEIMAGE(Moon,,pics\moon.bmp,10,10,TRUE,TRUE)
CREATEIMAGE(Cloud,,broken.bmp,10,10,TRUE,YES)
CREATEIMAGE(Cloud2,,broken.bmp,10,10,TRUE,TRUE)
SHOWIMAG(Sun,TRUE)
SETBUTTON(Sun,ENABLED,VISIBLE,FALSE)
MOVEIMAGE(Star,1,2,3)
CREATETEXT(Title,"Rock & roll",10,10,200,20,ARIAL14)
CREATESOUND(Music,music.mp3,FALSE,LOOPED)
WAIT(100
JUMP(Intro2)

[Intro]
QUIT
[Intro]
EOF
cat >"$work/expected" <<EOF
$work/broken.vek:3: file not found: pics\\moon.bmp
$work/broken.vek:4: CREATEIMAGE: parameter 7 is not a boolean word: "YES" (Hibás logikai paraméter.)
$work/broken.vek:5: picture does not load: broken.bmp: Unknown picture format (DecodePicture)
$work/broken.vek:6: unknown command "SHOWIMAG" (did you mean "SHOWIMAGE"?)
$work/broken.vek:7: SETBUTTON acts on a button, but "SUN" is an image (line 2)
$work/broken.vek:8: no object "STAR" is declared (Nem létező objektum: STAR)
$work/broken.vek:9: face ARIAL14 cannot draw "&"
$work/broken.vek:10: file not found: music.mp3
$work/broken.vek:11: missing ")"
$work/broken.vek:12: JUMP names no section "INTRO2" (did you mean "INTRO"?) (Nem létező szekció: INTRO2)
$work/broken.vek:14: section "INTRO" cannot be reached: no CALL, JUMP or button of a section that plays enters it
$work/broken.vek:16: duplicate section "INTRO": CALL, JUMP and buttons enter the first, on line 14
EOF
for program in "$veke" "$render"; do
  "$program" --check "$work/broken.vek" >"$work/out" 2>"$work/err"
  code=$?
  [ "$code" = 1 ] || say "$(basename "$program") --check of a broken script: exit $code, wanted 1"
  diff "$work/expected" "$work/out" >"$work/diff" || { say "$(basename "$program") findings"; cat "$work/diff"; }
  [ -s "$work/err" ] && { say "$(basename "$program") wrote to stderr"; cat "$work/err"; }
done

# Warnings are marked, fail nothing, and --no-warnings leaves them out, in either program.
for program in "$veke" "$render"; do
  printf '%s\n' 'CALL(PAGE)' 'CALL(PAGE)' '[PAGE]' 'CREATETEXT(Title,"Page",10,10,200,20,ARIAL14)' \
    'MOVETEXT(Title,100,10,500)' 'WAITFOR(Nowhere)' >"$work/pages.vek"
  "$program" --check "$work/pages.vek" >"$work/out" 2>&1
  code=$?
  [ "$code" = 1 ] || say "$(basename "$program") --check with a mistake and warnings: exit $code"
  [ "$(grep -c "^$work/pages.vek:[0-9]*: warning: " "$work/out")" = 2 ] \
    || { say "$(basename "$program") warnings"; cat "$work/out"; }
  sed -i '/Nowhere/d' "$work/pages.vek"
  "$program" --check "$work/pages.vek" >"$work/out" 2>&1 || say "warnings alone fail the check"
  grep -q "^$work/pages.vek:5: warning: MOVETEXT .* Put RESETSECTION before it" "$work/out" \
    || { say "$(basename "$program") warning for MOVETEXT"; cat "$work/out"; }
  "$program" --no-warnings --check "$work/pages.vek" >"$work/out" 2>&1 || say "--no-warnings exit"
  [ -s "$work/out" ] && { say "$(basename "$program") --no-warnings still warns"; cat "$work/out"; }
done

# Several scripts at once: 1 when any is not clean; a missing one is told in the player's words.
"$veke" --check "$src/examples/demo/demo.vek" "$work/nope.vek" >"$work/out" 2>&1
[ $? = 1 ] || say "a missing script among clean ones should give exit 1"
grep -qF "$work/nope.vek: script not found ($work/nope.vek script nem található.)" "$work/out" \
  || { say "missing script"; cat "$work/out"; }
"$veke" --check >"$work/out" 2>&1
[ $? = 2 ] || say "--check without a script should give exit 2"
"$veke" --help | grep -q -- "--check SCRIPT" || say "veke --help does not mention --check"
"$render" --help | grep -q -- "--check SCRIPT" || say "veke-render --help does not mention --check"
exit $fail
