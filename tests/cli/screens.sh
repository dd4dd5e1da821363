#!/usr/bin/env bash
# The real player on an X server with two screens of other sizes than the presentation's:
# the screen that DISPLAY names and the one --display chooses, each scaling mode measured on
# screenshots, and clicks landing on a small button near the corner (and not just beside it),
# full screen and in a resized window.
set -u
veke=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
for tool in Xvfb xdotool convert import; do
  command -v $tool >/dev/null || { echo "FAIL: $tool is missing (scripts/install-deps.sh installs it)"; exit 1; }
done
work=$(mktemp -d)
# The server picks a free display number itself: others may be running servers beside us.
Xvfb -displayfd 3 -screen 0 800x600x24 -screen 1 1000x700x24 -nolisten tcp 3>"$work/display" \
  >/dev/null 2>&1 &
xvfb=$!
for i in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
server=":$(tr -d '\n' <"$work/display")"
pid=
trap '[ -n "$pid" ] && kill $pid 2>/dev/null; kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
unset SDL_VIDEODRIVER
# Sound is not looked at here; a machine without it must not stop play with a message box.
export SDL_AUDIODRIVER=dummy
for i in $(seq 50); do DISPLAY=$server xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
fail=0
say() { echo "FAIL $*"; fail=1; }
cd "$work"

# Red and blue columns one pixel wide: sharp scaling shows only these two colours, smooth
# scaling mixes them. A white 16 x 16 button at (608, 448) leads to a green section.
convert -size 2x1 xc:red -fill blue -draw "point 1,0" -write mpr:stripe +delete \
  -size 640x480 tile:mpr:stripe stripes.bmp
convert -size 16x16 xc:white button.bmp
cat > show.vek <<'VEK'
CREATEBACKGROUND(, stripes.bmp)
CREATEBUTTON(b, , button.bmp, , , 608, 448, 255, VISIBLE, ENABLED, next)
WAITFOR(b)
[NEXT]
CLEAR($07E007E0)
WAIT(100000)
VEK

# Starts the player on X display $1 with the other arguments and waits for its window. Now and
# then a window never maps on a busy X server; such a player is started once more before the
# check counts as failed (a player left behind would hold the test's output open).
play() {
  local display=$1
  shift
  for attempt in 1 2; do
    DISPLAY=$display "$veke" show.vek "$@" 2>>player.err & pid=$!
    for i in $(seq 150); do
      w=$(DISPLAY=$server xdotool search --onlyvisible --name '^VEKE$' 2>/dev/null | head -1)
      [ -n "$w" ] && { sleep 0.7; return 0; }
      sleep 0.1
    done
    echo "no window for $* (attempt $attempt)" >&2
    stop
  done
  say "no window for $*: $(tail -3 player.err)"
  return 1
}
stop() { kill $pid 2>/dev/null; wait $pid 2>/dev/null; pid=; }
shot() { import -display "$server.$1" -window "${2:-root}" "$3"; }
# The picture's place on a screenshot: "WIDTH HEIGHT X Y" of what is not black band.
box() {
  convert "$1" -bordercolor black -border 1 -trim -format "%w %h %X %Y" info: |
    awk '{ print $1, $2, $3 - 1, $4 - 1 }'
}
colour() { convert "$1" -format "%[pixel:p{$2,$3}]" info:; }
# True when the picture's centre shows the green of the section the button leads to.
green() { [ "$(convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:p{$2,$3}.g>0.9]" info:)" = "0,1" ]; }
# The screenshot point at the centre of presentation pixel ($1, $2) in box "W H X Y".
at() { awk -v px="$1" -v py="$2" -v w="$3" -v h="$4" -v x="$5" -v y="$6" \
  'BEGIN { printf "%d %d\n", x + (px + 0.5) * w / 640, y + (py + 0.5) * h / 480 }'; }

# Checks one player: screen $1, mode $2, window id or root, then clicks beside and on the
# button. Window coordinates are screenshot coordinates of that window.
check() {
  local screen=$1 mode=$2 target=$3 size=$4
  shot "$screen" "$target" a.png
  read -r bw bh bx by < <(box a.png)
  local sw=${size%x*} sh=${size#*x}
  [ "$bw" -ge 100 ] || { say "$mode on $size: no picture on screen $screen"; return; }
  case $mode in
    integer) [ $((bw % 640)) = 0 ] && [ $((bw / 640 * 480)) = "$bh" ] ||
      say "$mode on $size: the picture is ${bw}x$bh, no whole multiple";;
    *) { [ "$bw" = "$sw" ] || [ "$bh" = "$sh" ]; } && [ $(( (bw * 480 - bh * 640) ** 2 <= 640 ** 2 )) = 1 ] ||
      say "$mode on $size: the picture is ${bw}x$bh at $bx,$by, not fitted";;
  esac
  [ $(( (2 * bx + bw - sw) ** 2 <= 1 && (2 * by + bh - sh) ** 2 <= 1 )) = 1 ] ||
    say "$mode on $size: the picture ${bw}x$bh at $bx,$by is not centred"
  local colours
  colours=$(convert a.png -crop 100x100+$((bx + 50))+$((by + 50)) +repage -format %k info:)
  if [ "$mode" = smooth ]; then
    [ "$colours" -gt 2 ] || say "smooth scaling on $size shows only $colours colours"
  else
    [ "$colours" = 2 ] || say "$mode scaling on $size shows $colours colours, not the two stripes"
  fi
  local where=(--screen "$screen")
  [ "$target" != root ] && where=(--window "$target")
  # Just beside the button, up and to the left: nothing happens.
  read -r cx cy < <(at 607 447 "$bw" "$bh" "$bx" "$by")
  DISPLAY=$server xdotool mousemove "${where[@]}" "$cx" "$cy" sleep 0.2 click 1
  sleep 0.5
  shot "$screen" "$target" b.png
  ! green b.png $((bx + bw / 2)) $((by + bh / 2)) ||
    say "$mode on $size: a click beside the button at $cx,$cy reached it"
  read -r cx cy < <(at 622 462 "$bw" "$bh" "$bx" "$by")
  DISPLAY=$server xdotool mousemove "${where[@]}" "$cx" "$cy" sleep 0.2 click 1
  sleep 0.7
  shot "$screen" "$target" c.png
  green c.png $((bx + bw / 2)) $((by + bh / 2)) ||
    say "$mode on $size: a click on the button's far corner at $cx,$cy missed it"
}

# Full screen goes to the screen that DISPLAY names, sized as that screen is.
if play "$server.1"; then check 1 sharp root 1000x700; stop; fi
[ "$(colour a.png 5 350)" = "srgb(0,0,0)" ] || say "no band beside the picture on screen 1"
if play "$server" --display 1 --scale integer; then check 1 integer root 1000x700; stop; fi
if play "$server" --scale=smooth --display=1; then check 1 smooth root 1000x700; stop; fi
if play "$server.1" --display 0; then check 0 sharp root 800x600; stop; fi
# A window resized by the user: the largest whole multiple is 1, with bands around it.
if play "$server" WINDOWED --scale integer; then
  DISPLAY=$server xdotool windowsize --sync "$w" 780 590
  sleep 0.7
  check 0 integer "$w" 780x590
  stop
fi
# A screen that is not there is reported, and play goes on on the first.
if play "$server" --display 7; then stop; fi
grep -q "there is no display 7" player.err || say "no word about display 7: $(cat player.err)"
exit $fail
