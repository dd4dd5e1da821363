#!/usr/bin/env bash
# veke-render --audio: a RIFF WAV file of 44 100 Hz 16-bit stereo holding one step of sound
# per frame played, the same on every run.
source "$(dirname "$0")/common.bash"

u16() { od -An -t u2 -j "$2" -N 2 "$1" | tr -d ' '; }
u32() { od -An -t u4 -j "$2" -N 4 "$1" | tr -d ' '; }

# Checks the header of $1 and that it holds $2 stereo frames.
check_wav() {
  local file=$1 frames=$2 bytes=$(($2 * 4))
  [ "$(head -c 4 "$file")" = RIFF ] || say "$file: no RIFF"
  [ "$(dd if="$file" bs=1 skip=8 count=8 2>/dev/null)" = "WAVEfmt " ] || say "$file: no WAVE fmt"
  [ "$(u32 "$file" 16)" = 16 ] || say "$file: fmt size $(u32 "$file" 16)"
  [ "$(u16 "$file" 20)" = 1 ] || say "$file: not PCM"
  [ "$(u16 "$file" 22)" = 2 ] || say "$file: not stereo"
  [ "$(u32 "$file" 24)" = 44100 ] || say "$file: rate $(u32 "$file" 24)"
  [ "$(u32 "$file" 28)" = 176400 ] || say "$file: bytes per second $(u32 "$file" 28)"
  [ "$(u16 "$file" 32)" = 4 ] || say "$file: block align $(u16 "$file" 32)"
  [ "$(u16 "$file" 34)" = 16 ] || say "$file: bits $(u16 "$file" 34)"
  [ "$(dd if="$file" bs=1 skip=36 count=4 2>/dev/null)" = data ] || say "$file: no data chunk"
  [ "$(u32 "$file" 40)" = "$bytes" ] || say "$file: data size $(u32 "$file" 40), wanted $bytes"
  [ "$(u32 "$file" 4)" = $((bytes + 36)) ] || say "$file: RIFF size $(u32 "$file" 4)"
  [ "$(stat -c %s "$file")" = $((bytes + 44)) ] || say "$file: file size $(stat -c %s "$file")"
}

printf '' > "$work/empty.vek"
# Frames at 0, 20, ..., 100: six steps of 882 frames, and nothing plays.
"$render" "$work/empty.vek" --ms 100 --audio "$work/a.wav" --frames "$work/frames" \
  || say "audio run exit $?"
[ "$(ls "$work/frames" | wc -l)" = 6 ] || say "expected 6 frames, got $(ls "$work/frames" | wc -l)"
check_wav "$work/a.wav" $((6 * 882))
[ "$(tail -c +45 "$work/a.wav" | tr -d '\0' | wc -c)" = 0 ] || say "silence expected"

# Steps of 33 ms carry their remainder: frames at 0, 33, 66, 99 hold 132 ms exactly.
"$render" "$work/empty.vek" --ms 100 --step 33 --audio "$work/b.wav" || say "33 ms exit $?"
check_wav "$work/b.wav" $((44100 * 132 / 1000))
"$render" "$work/empty.vek" --ms 100 --step 33 --audio "$work/c.wav" || say "second run exit $?"
cmp -s "$work/b.wav" "$work/c.wav" || say "two runs gave different sound"

# A script that ends in a fatal error (after frames at 0, 20 and 40) still leaves a whole file.
printf 'WAIT(50)\nJUMP(nowhere)\n' > "$work/bad.vek"
"$render" "$work/bad.vek" --audio "$work/d.wav" 2>/dev/null
[ $? = 1 ] || say "the fatal script should exit 1"
check_wav "$work/d.wav" $((3 * 882))

"$render" "$work/empty.vek" --ms 0 --audio "$work/no/such/folder.wav" 2>"$work/err"
[ $? = 1 ] || say "an unwritable --audio file should exit 1"
grep -q "veke-render: $work/no/such/folder.wav: No such file or directory" "$work/err" \
  || say "--audio: $(cat "$work/err")"
"$render" --help | grep -q -- "--audio FILE.wav" || say "help text"
"$render" --help | grep -q "no sound is mixed" && say "help still says no sound is mixed"
exit $fail
