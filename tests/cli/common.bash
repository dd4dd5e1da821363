# Shared by the program-level checks: sourced, never run on its own (CTest runs only *.sh).
# Sets bin (the folder of the built programs, from the first argument), work (a temporary
# folder removed at exit), fail, and the helpers below.
set -u
bin=$(cd "$(dirname "$1")" && pwd)
render="$bin/veke-render"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
say() { echo "FAIL $*"; fail=1; }
pixel() { convert "$1" -format "%[pixel:p{$2,$3}]" info:; }
# Checks that the tools named are installed, starts a virtual screen for the real player
# (`veke` beside the other programs) and sets `display`; players and screen go at exit. The
# screen is 800x600 unless `screen_size` says otherwise.
with_virtual_screen() {
  for tool in Xvfb "$@"; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/install-deps.sh installs it)"; exit 1; }
  done
  veke="$bin/veke"
  # The server picks a free display number itself: others may be running servers beside us.
  Xvfb -displayfd 3 -screen 0 "${screen_size:-800x600}x24" -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
  xvfb=$!
  for i in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  display=":$(tr -d '\n' <"$work/display")"
  trap 'pkill -P $$ veke 2>/dev/null; kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
}
# Waits for the player's window (titled VEKE) on DISPLAY and prints its id.
find_window() {
  for i in $(seq 200); do
    w=$(xdotool search --onlyvisible --name '^VEKE$' 2>/dev/null | head -1)
    [ -n "$w" ] && { echo "$w"; return 0; }
    sleep 0.1
  done
  return 1
}
