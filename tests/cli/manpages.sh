#!/usr/bin/env bash
# Manual pages: each renders without warnings and names every option, switch and command
# that its program's --help prints, so the two cannot drift apart.
source "$(dirname "$0")/common.bash"

# The page as a reader sees it, in plain ASCII on long lines so no option is broken across
# two; without groff, the source with its escapes taken out.
render_page() {
  if command -v groff >/dev/null; then
    groff -man -Tascii -ww -rLL=250n -P-cbou "$1" 2>"$work/groff.err"
    [ -s "$work/groff.err" ] && say "$(basename "$1"): $(cat "$work/groff.err")"
  else
    sed 's/\\-/-/g; s/\\f[BIRP]//g; s/\\e/\\/g' "$1"
  fi
}

# What --help offers: --options, the player's bare switches ([HARDWARE]) and the commands
# in usage lines ("ger list ...").
offered_words() {
  local program=$1
  "$bin/$program" --help >"$work/help" || say "$program --help exit $?"
  grep -o -- '--[a-z][a-z0-9-]*' "$work/help"
  grep '^Usage:' "$work/help" | grep -o '\[[A-Z][A-Z]*\]' | tr -d '[]' | grep -vx OPTIONS
  sed -n "s/^\(Usage:\)\{0,1\} *$program \([a-z][a-z]*\) .*/\2/p" "$work/help"
}

for program in veke veke-render ger obj2vk; do
  page="$2/docs/man/$program.1"
  [ -f "$page" ] || { say "no manual page $page"; continue; }
  render_page "$page" >"$work/$program.txt"
  grep -q "^NAME" "$work/$program.txt" || say "$program.1 rendered without a NAME section"
  words=$(offered_words "$program" | sort -u)
  [ -n "$words" ] || say "$program --help offers nothing to check"
  for word in $words; do
    grep -qw -- "$word" "$work/$program.txt" || say "$program.1 does not mention $word"
  done
done
exit $fail
