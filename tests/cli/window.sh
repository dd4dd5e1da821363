#!/usr/bin/env bash
# The real window under Xvfb: title and size, Escape, and full screen scaled with its aspect.
source "$(dirname "$0")/common.bash"
src=$2
screen_size=1280x1024 with_virtual_screen xdotool convert compare identify zip
export DISPLAY=$display
unset SDL_VIDEODRIVER
for i in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

# Starts the player with the given arguments and waits for its window: sets pid and w. A
# player whose window never shows is started once more before the check counts as failed.
play() {
  for attempt in 1 2; do
    "$veke" "$@" 2>>"$work/player.err" & pid=$!
    w=$(find_window) && return 0
    echo "no window for $* (attempt $attempt): $(tail -3 "$work/player.err")" >&2
    kill $pid 2>/dev/null; wait $pid 2>/dev/null
  done
  return 1
}
escape_and_wait() {
  timeout 5 xdotool windowfocus --sync "$1" key Escape 2>/dev/null
  for i in $(seq 100); do kill -0 "$2" 2>/dev/null || break; sleep 0.1; done
  kill "$2" 2>/dev/null; wait "$2"
}

printf 'CLEAR($001F001F)\n' > "$work/blue.vek"
if play "$work/blue.vek" WINDOWED; then
  geometry=$(xdotool getwindowgeometry "$w" | grep Geometry | awk '{print $2}')
  [ "$geometry" = "640x480" ] || say "window is $geometry"
  sleep 0.5
  kill -0 $pid 2>/dev/null || say "the player did not keep running"
  escape_and_wait "$w" $pid; code=$?
  [ $code = 0 ] || say "Escape ended with $code"
else
  say "no window titled VEKE"
fi

# The window's own keys: F12 saves the presentation's pixels at its size, also full screen
# (F11, Alt+Enter), where the player says, in the pictures folder.
convert -size 640x480 gradient:'#ff0000-#0000ff' -type TrueColor BMP3:"$work/grad.bmp"
printf 'LOADBACKGROUND(,grad.bmp)\nWAIT(100000)\n' > "$work/grad.vek"
"$render" "$work/grad.vek" --ms 200 --out "$work/grad-render.png" || say "veke-render grad exit $?"
mkdir -p "$work/pics"
geometry() { xdotool getwindowgeometry "$w" | grep Geometry | awk '{print $2}'; }
screenshot() {  # presses F12; prints the file the player names
  local before
  before=$(grep -c 'screenshot saved as' "$work/player.err")
  xdotool windowfocus --sync "$w" key F12 2>/dev/null
  for i in $(seq 50); do
    [ "$(grep -c 'screenshot saved as' "$work/player.err")" -gt "$before" ] && break
    sleep 0.1
  done
  grep 'screenshot saved as' "$work/player.err" | tail -1 | sed 's/.*saved as //'
}
if XDG_PICTURES_DIR=$work/pics play "$work/grad.vek" WINDOWED; then
  sleep 0.5
  shot=$(screenshot)
  case "$shot" in "$work"/pics/veke-*.png) ;; *) say "F12 saved to '$shot'" ;; esac
  [ "$(identify -format %wx%h "$shot" 2>/dev/null)" = 640x480 ] || say "screenshot size $(identify -format %wx%h "$shot")"
  differ=$(compare -metric AE "$shot" "$work/grad-render.png" null: 2>&1)
  [ "$differ" = 0 ] || say "the screenshot differs from veke-render's frame in $differ pixels"
  for keys in F11 alt+Return; do
    xdotool windowfocus --sync "$w" key $keys 2>/dev/null
    for i in $(seq 30); do [ "$(geometry)" = 1280x1024 ] && break; sleep 0.1; done
    [ "$(geometry)" = 1280x1024 ] || say "$keys did not make the window full screen: $(geometry)"
    shot=$(screenshot)
    [ "$(identify -format %wx%h "$shot" 2>/dev/null)" = 640x480 ] || say "full-screen screenshot is not 640x480"
    xdotool windowfocus --sync "$w" key $keys 2>/dev/null
    for i in $(seq 30); do [ "$(geometry)" = 640x480 ] && break; sleep 0.1; done
    [ "$(geometry)" = 640x480 ] || say "$keys did not give the window back: $(geometry)"
  done
  [ "$(ls "$work/pics" | grep -c '^veke-.*\.png$')" = 3 ] || say "screenshots: $(ls "$work/pics")"
  escape_and_wait "$w" $pid; code=$?
  [ $code = 0 ] || say "Escape after the window keys ended with $code"
else
  say "no window for the window keys"
fi
# Without a pictures folder a screenshot goes beside the script, or, for a script inside an
# archive, into the current folder.
mkdir -p "$work/home" "$work/here"
(cd "$work" && zip -q grad.zip grad.vek grad.bmp) || say "zip exit $?"
cd "$work/here"
if HOME=$work/home XDG_PICTURES_DIR= play "$work/grad.zip" WINDOWED; then
  sleep 0.5
  shot=$(screenshot)
  case "$shot" in "$work"/here/veke-*.png) ;; *) say "F12 from an archive saved to '$shot'" ;; esac
  [ -f "$shot" ] || say "no screenshot in the current folder: $(ls "$work/here")"
  escape_and_wait "$w" $pid
else
  say "no window for the archive"
fi
cd - >/dev/null

if play "$work/blue.vek"; then
  p() { convert "$work/full.png" -format "%[pixel:p{$1,$2}]" info:; }
  # A loaded machine may take a while to show the first frame full screen.
  for i in $(seq 40); do
    sleep 0.25
    import -window root "$work/full.png"
    [ "$(p 640 480)" = "srgb(0,0,255)" ] && break
  done
  # 640x480 doubled is 1280x960, centred: black bands of 32 rows above and below.
  [ "$(p 640 10)" = "srgb(0,0,0)" ] || say "top band not black: $(p 640 10)"
  [ "$(p 640 40)" = "srgb(0,0,255)" ] || say "picture not blue at the top: $(p 640 40)"
  [ "$(p 1279 991)" = "srgb(0,0,255)" ] || say "picture not reaching the corner"
  [ "$(p 1279 992)" = "srgb(0,0,0)" ] || say "bottom band not black"
  escape_and_wait "$w" $pid; code=$?
  [ $code = 0 ] || say "full screen Escape ended with $code"
else
  say "no full-screen window"
fi
# A real click on a button of the demo changes the section.
if play "$src/examples/demo/demo.vek" WINDOWED; then
  sleep 2.5  # the buttons fade in first
  xdotool mousemove --window "$w" 300 400 sleep 0.3 click 1
  sleep 1
  import -window "$w" "$work/demo.png"
  # The words section has the purple background at the top left (red 42; the blue one has 11).
  top=$(convert "$work/demo.png" -format "%[fx:int(255*p{5,5}.r)],%[fx:int(255*p{5,5}.b)]" info:)
  red=${top%,*}; blue=${top#*,}
  [ "$red" -gt 25 ] || say "the click did not lead to the next section (top left $top)"
  escape_and_wait "$w" $pid
else
  say "no demo window"
fi
# Full screen doubles the picture below a 32-row band: presentation (300, 400) is screen
# (600, 832), and a click there must reach the same button.
if play "$src/examples/demo/demo.vek"; then
  sleep 2.5
  xdotool mousemove 600 832 sleep 0.3 click 1
  sleep 1
  import -window root "$work/demo-full.png"
  red=$(convert "$work/demo-full.png" -format "%[fx:int(255*p{20,50}.r)]" info:)
  [ "$red" -gt 25 ] || say "a full-screen click missed its button (red $red)"
  escape_and_wait "$w" $pid
else
  say "no full-screen demo window"
fi
# Escape ends the player within half a second even while a frame takes many seconds: ten
# objects of 32 766 faces each about as large as the window.
{
  printf 'v -900 -900 0\nv 900 -900 0\nv -900 900 0\nv 900 900 0\n'
  for i in $(seq 16383); do printf 'f 1 3 2\nf 2 3 4\n'; done
} > "$work/heavy.obj"
"$bin/obj2vk" --keep-axes "$work/heavy.obj" "$work/heavy.vko" >/dev/null || say "heavy object: obj2vk exit $?"
convert -size 256x256 xc:'#00ff00' -type TrueColor BMP3:"$work/green.bmp"
for i in $(seq 10); do
  echo "CREATE3DOBJ(o$i,,heavy.vko,green.bmp,,TEXTMAP,SPHERE,320,240,1,FALSE,TRUE)"
done > "$work/heavy.vek"
echo 'CLEAR($001F001F)' >> "$work/heavy.vek"
if play "$work/heavy.vek" WINDOWED; then
  sleep 1  # well into the first frame
  timeout 5 xdotool windowfocus --sync "$w" 2>/dev/null
  start=$(date +%s%N)
  xdotool key Escape
  for i in $(seq 500); do kill -0 $pid 2>/dev/null || break; sleep 0.01; done
  took=$((($(date +%s%N) - start) / 1000000))
  echo "Escape in a heavy 3D frame ended the player after $took ms"
  [ "$took" -lt 500 ] || say "Escape took $took ms in a heavy 3D frame"
  kill $pid 2>/dev/null; wait $pid
fi
# Back and forth by real clicks: a page with RESETSECTION moves its sun in afresh on every
# visit, where without it the move would land at once on its old target.
cp "$src/docs/tutorial/"{start.bmp,back.bmp,daysun.bmp} "$work/"
printf '%s\n' 'CREATEENGINE(640,480,VEKE,)' 'CLEAR($001F001F)' \
  'CREATEBUTTON(Go,,start.bmp,,,100,400,255,VISIBLE,ENABLED,PAGE)' 'WAITFOR(Go)' '[PAGE]' \
  'CREATEBUTTON(Back,,back.bmp,,,400,400,255,VISIBLE,ENABLED,RETURN)' \
  'CREATEIMAGE(Sun,,daysun.bmp,0,100,TRUE,TRUE)' 'RESETSECTION' 'CLEAR($001F001F)' \
  'SETIMAGEPOS(Sun,0,100,TRUE)' 'MOVEIMAGE(Sun,400,100,3000)' 'WAITFOR(Back)' >"$work/pages.vek"
if play "$work/pages.vek" WINDOWED; then
  sun_landed() {
    import -window "$w" "$work/pages.png"
    [ "$(convert "$work/pages.png" -format "%[fx:int(255*p{448,148}.r)]" info:)" -gt 200 ]
  }
  sleep 0.5
  for visit in 1 2; do
    xdotool mousemove --window "$w" 180 420 sleep 0.3 click 1
    sleep 1
    sun_landed && say "visit $visit: the sun is at its target after a second of a 3 s move"
    sleep 3
    sun_landed || say "visit $visit: the sun did not arrive"
    xdotool mousemove --window "$w" 480 420 sleep 0.3 click 1
    sleep 0.5
  done
  escape_and_wait "$w" $pid
else
  say "no window for the back-and-forth page"
fi
# A display that goes away ends the player instead of leaving it spinning.
if play "$src/examples/demo/demo.vek"; then
  sleep 2
  kill $xvfb; wait $xvfb 2>/dev/null
  for i in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  kill -0 $pid 2>/dev/null && say "the player outlived its display"
fi
exit $fail
