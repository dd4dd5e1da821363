#!/usr/bin/env bash
# The program's front door: usage, help, missing and unreadable scripts, parse errors.
set -u
veke=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
check() {  # check NAME EXPECTED_CODE EXPECTED_STDERR_TEXT -- COMMAND...
  local name=$1 code=$2 text=$3
  shift 4
  timeout 20 "$@" >"$work/out" 2>"$work/err"
  local got=$?
  if [ "$got" != "$code" ]; then echo "FAIL $name: exit $got, wanted $code"; cat "$work/err"; fail=1; fi
  if [ -n "$text" ] && ! grep -qF -- "$text" "$work/err" "$work/out"; then
    echo "FAIL $name: output lacks '$text'"; cat "$work/err" "$work/out"; fail=1
  fi
}

check usage 0 "VEK: using: VEKE script.vek" -- "$veke"
check help 0 "Usage: veke SCRIPT|FOLDER|IMAGE|ARCHIVE [HARDWARE] [WINDOWED] [FLIP]" -- "$veke" --help
check version 0 "veke " -- "$veke" --version
check missing 1 "Üzenet: $work/nope.vek script nem található." -- "$veke" "$work/nope.vek"
mkdir "$work/dir.vek"
check directory 1 "dir.vek script nem található." -- "$veke" "$work/dir.vek"
mkfifo "$work/pipe.vek"
check fifo 1 "Üzenet: $work/pipe.vek is a FIFO, not a script file." -- "$veke" "$work/pipe.vek"
check device 1 "Üzenet: /dev/null is a character device, not a script file." -- "$veke" /dev/null

printf 'QUIT\n\n// note\n[broken\n' > "$work/header.vek"
check header 1 "Üzenet: Hibás szekciófej. Sor:4" -- "$veke" "$work/header.vek"
printf '[return]\n' > "$work/reserved.vek"
check reserved 1 "Nem használható szekció név: RETURN Sor:1" -- "$veke" "$work/reserved.vek"
printf 'CREATEIMAGE(a, , b.bmp, 1, 2\n' > "$work/param.vek"
check param 1 "Paraméter hiba. Sor:1" -- "$veke" "$work/param.vek"
printf '\r\nCREATEIMAGE(a, , b.bmp, one, 2, TRUE, TRUE)\r\n' > "$work/int.vek"
check int 1 "Hibás egész szám paraméter. Sor:2" -- "$veke" "$work/int.vek"
printf 'CREATEIMAGE(a, , b.bmp, 1, 2, TRUE, YES)' > "$work/bool.vek"
check bool 1 "Hibás logikai paraméter. Sor:1" -- "$veke" "$work/bool.vek"

printf 'QUIT\n' > "$work/quit.vek"
# --help, --version and --check after the script, as the help text lists them anywhere; the
# presentation (which would wait for ever) is not played.
printf 'WAIT\n' > "$work/forever.vek"
render="$(dirname "$veke")/veke-render"
check help_after 0 "Usage: veke SCRIPT" -- "$veke" "$work/forever.vek" --help
check version_after 0 "veke " -- "$veke" "$work/forever.vek" WINDOWED --version
check check_after 0 "" -- "$veke" "$work/forever.vek" WINDOWED --check
check render_help_after 0 "Usage: veke-render SCRIPT" -- "$render" "$work/forever.vek" --help
check render_version_after 0 "veke-render " -- "$render" "$work/forever.vek" --version
printf 'WAIT\nSHOWIMAG(x)\n' > "$work/typo.vek"
check render_check_after 1 "did you mean" -- "$render" "$work/typo.vek" --check
check unknown_words 0 "veke: ignoring unknown argument --windowed" -- \
  "$veke" "$work/quit.vek" WINDOWED --windowed

# A script found case-insensitively with backslashes, as Windows presentations name them.
mkdir -p "$work/Show" && printf 'CREATEIMAGE(a, , b.bmp, 1, 2, TRUE, YES)' > "$work/Show/Main.VEK"
check windows_name 1 "Hibás logikai paraméter. Sor:1" -- "$veke" "$work\\show\\main.vek"

# With no desktop at all the player says so and ends, instead of playing where none can see.
check no-desktop 1 "no desktop to show the presentation on" -- \
  env -u SDL_VIDEODRIVER -u DISPLAY -u WAYLAND_DISPLAY "$veke" "$work/forever.vek"

if [ "$(id -u)" != 0 ]; then
  printf 'QUIT\n' > "$work/locked.vek" && chmod 000 "$work/locked.vek"
  check unreadable 1 "script nem olvasható" -- "$veke" "$work/locked.vek"
fi
exit $fail
