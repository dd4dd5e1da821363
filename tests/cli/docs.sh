#!/usr/bin/env bash
# The authors' documentation stays true: every ```vek example in docs/*.md plays through
# veke-render without a message and without failing, every declaration and command word of the
# reference has an example there, and the tutorial plays from its title page to its goodbye.
# Blocks marked ```vek-fragment are parts of scripts and are not played.
source "$(dirname "$0")/common.bash"
docs=$2/docs

# The examples name the files of the demo and of the tutorial, as an author would find them
# beside the script; EXECUTE examples start a program `viewer` of the presentation, as the
# user allows with --allow-execute.
play=$work/play
mkdir -p "$play"
cp -r "$2/examples/demo/." "$docs/tutorial/." "$play/"
printf '#!/bin/sh\n' > "$play/viewer"
chmod +x "$play/viewer"

# Writes the ```vek blocks of a Markdown file into $play as NAME-N.vek and prints their paths.
extract() {
  awk -v stem="$play/$(basename "$1" .md)" '
    inside && /^```/ { inside = 0; close(file); print file; next }
    inside { print > file; next }
    /^```vek[ \t]*$/ { file = stem "-" ++n ".vek"; printf "" > file; inside = 1 }' "$1"
}

blocks=0
for page in "$docs"/*.md; do
  for script in $(extract "$page"); do
    blocks=$((blocks + 1))
    # Long enough for effects and sounds to start; a section waiting for a click just waits.
    "$render" "$script" --allow-execute --ms 1500 --out "$work/last.png" 2>"$work/err"
    code=$?
    [ $code = 0 ] || say "$(basename "$script") exits with $code: $(head -3 "$work/err")"
    [ -s "$work/err" ] && say "$(basename "$script") prints: $(head -3 "$work/err")"
  done
done
[ $blocks -ge 40 ] || say "only $blocks vek examples found in docs/"

# Each word in the first column of a declaration or command table of the reference needs an
# example line that begins with it.
reference=$docs/script-reference.md
words=$(awk -F'|' '
  /^\| *(declaration|command) *\|/ { table = 1; next }
  !/^\|/ { table = 0 }
  table { cell = $2; while (match(cell, /`[A-Z0-9]+`/)) {
            print substr(cell, RSTART + 1, RLENGTH - 2); cell = substr(cell, RSTART + RLENGTH) } }
' "$reference" | sort -u)
[ "$(echo "$words" | wc -w)" -ge 51 ] || say "the reference's tables list only: $words"
examples=$(cat $(extract "$reference"))
for word in $words; do
  grep -Eq "^[[:space:]]*$word([[:space:](]|$)" <<<"$examples" \
    || say "script-reference.md has no example of $word"
done

# The tutorial page shows the whole tutorial script, and it plays through with the clicks the
# page describes: Start, Back, Quit, ending with QUIT well before the time runs out.
shown=0
for script in $(extract "$docs/tutorial.md"); do
  cmp -s "$script" "$docs/tutorial/tutorial.vek" && shown=1
done
[ $shown = 1 ] || say "tutorial.md does not show docs/tutorial/tutorial.vek as it is"
"$render" "$docs/tutorial/tutorial.vek" --ms 20000 --trace --click 180,420@2500 \
  --click 320,420@7000 --click 460,420@9000 2>"$work/trace"
code=$?
[ $code = 0 ] || say "tutorial exits with $code"
last=$(tail -1 "$work/trace")
[[ $last =~ ^trace\ ([0-9]+)\ ms:\ section\ BYE.*QUIT$ && ${BASH_REMATCH[1]} -lt 12000 ]] \
  || say "tutorial does not end at its goodbye: $last"
grep -q "section WEATHERPAGE" "$work/trace" || say "tutorial never showed its weather page"
exit $fail
