#!/usr/bin/env bash
# ger: packing, listing and extracting resource files, its messages and exit codes.
source "$(dirname "$0")/common.bash"
ger="$bin/ger"
[ -x "$ger" ] || { echo "FAIL no ger beside $1"; exit 1; }
cd "$work" || exit 1
# Runs ger, expects exit code $1; stdout in out, stderr in err.
expect() { local want=$1; shift; "$ger" "$@" >out 2>err; local got=$?
  [ "$got" = "$want" ] || say "ger $* exited $got, wanted $want: $(head -c 300 err)"; }
# Little-endian 16-bit value of a .raw file at pixel index $2.
pixel16() { od -An -tu2 -j $(($2 * 2)) -N2 --endian=little "$1" | tr -d ' '; }
# Red, green, blue of ImageMagick's reading of a picture at x,y, as "r g b".
im_pixel() { convert "$1" -format "%[fx:int(255*p{$2,$3}.r+.5)] %[fx:int(255*p{$2,$3}.g+.5)] %[fx:int(255*p{$2,$3}.b+.5)]" info:; }
near() { local d=$(($1 - $2)); [ ${d#-} -le "$3" ]; }

convert -size 7x5 xc:'#00ff00' -fill red -draw 'point 0,0' BMP3:small.bmp
convert -size 9x6 gradient:'#1020f0-#f0e010' -colors 40 -type Palette BMP3:palette.bmp
convert -size 5x3 xc:'#ff0000' BMP:v5.bmp
convert -size 40x24 gradient:'#ff8000-#0040c0' -quality 90 photo.jpg
convert -size 3x2 xc:red png24:red.png
head -c 3000 /dev/zero > zeros.dat
printf 'plain text' > note.txt

# --- pack and list ---
expect 0 pack all.ger --bmp --frames 3x5 Small=small.bmp --frames auto Palette=palette.bmp \
  --auto Photo=photo.jpg V5=v5.bmp Red=red.png --raw RawPhoto=photo.jpg RawPalette=palette.bmp \
  --data --compress Zeros=zeros.dat --no-compress --data5 Note=note.txt
grep -q "all.ger: 9 entries" out || say "pack summary: $(cat out)"
expect 0 list all.ger
line() { grep "^$1 " out | tr -s ' '; }
[ "$(line Small)" = "Small bmp 7x5 3x5 24 $(stat -c %s small.bmp) $(stat -c %s small.bmp) no" ] \
  || say "list Small: $(line Small)"
[ "$(line Palette | cut -d' ' -f2-4)" = "bmp 9x6 9x6" ] || say "list Palette: $(line Palette)"
[ "$(line Photo | cut -d' ' -f2-3)" = "jpeg 40x24" ] || say "--auto JPEG: $(line Photo)"
[ "$(line Red | cut -d' ' -f2-6)" = "raw 3x2 3x2 16 12" ] || say "--auto PNG: $(line Red)"
[ "$(line RawPhoto | cut -d' ' -f2-6)" = "raw 40x24 40x24 16 1920" ] || say "raw JPEG: $(line RawPhoto)"
zeros=$(line Zeros)
[ "$(echo "$zeros" | cut -d' ' -f2,6)" = "data4 3000" ] || say "list Zeros: $zeros"
[ "$(echo "$zeros" | cut -d' ' -f8)" = yes ] || say "Zeros not compressed: $zeros"
[ "$(echo "$zeros" | cut -d' ' -f7)" -lt 100 ] || say "Zeros stored large: $zeros"
[ "$(line Note | cut -d' ' -f2,6,8)" = "data5 10 no" ] || say "list Note: $(line Note)"
[ "$(grep -c . out)" = 10 ] || say "list should print a title and 9 lines"

# --- extract ---
expect 0 extract all.ger small x.bmp && cmp -s x.bmp small.bmp || say "BMP not extracted as packed"
expect 0 extract all.ger PHOTO && cmp -s Photo.jpg photo.jpg || say "JPEG default name or bytes"
expect 0 extract all.ger zeros && cmp -s Zeros.dat zeros.dat || say "compressed data not inflated"
expect 0 extract all.ger note n.txt && [ "$(cat n.txt)" = "plain text" ] || say "data5 extract"
expect 0 extract all.ger red && [ "$(stat -c %s Red.raw)" = 12 ] || say "raw size"
for i in 0 1 2 3 4 5; do [ "$(pixel16 Red.raw $i)" = 63488 ] || say "red pixel $i is $(pixel16 Red.raw $i)"; done
expect 0 extract all.ger palette p.bmp && cmp -s p.bmp palette.bmp || say "palette BMP bytes"

# Our decoding agrees with ImageMagick's within what 5-6-5 keeps: exactly for a palette BMP,
# within one step for a JPEG (the decoders may round differently).
# same_as_im RAW PICTURE WIDTH TOLERANCE X,Y...
same_as_im() {
  local raw=$1 picture=$2 width=$3 slack=$4; shift 4
  for xy in "$@"; do
    local x=${xy%,*} y=${xy#*,} v r g b
    v=$(pixel16 "$raw" $((y * width + x)))
    read -r r g b <<<"$(im_pixel "$picture" "$x" "$y")"
    near $(((v >> 11) & 31)) $((r >> 3)) "$slack" && near $(((v >> 5) & 63)) $((g >> 2)) "$slack" &&
      near $((v & 31)) $((b >> 3)) "$slack" || say "$picture pixel $x,$y: ours $v, ImageMagick $r $g $b"
  done
}
expect 0 extract all.ger RawPhoto photo.raw
same_as_im photo.raw photo.jpg 40 1 0,0 39,23 20,11 7,19
expect 0 extract all.ger RawPalette palette.raw
same_as_im palette.raw palette.bmp 9 0 0,0 8,5 4,2 1,4

# An entry name cannot steer the default output out of the current folder.
mkdir sub && expect 0 pack sub/odd.ger --data "../up=note.txt"
expect 0 extract sub/odd.ger ../UP && [ -f .._up.dat ] && [ ! -e ../up.dat ] || say "unsafe default name"

# --- damaged and wrong files: exit 1 with the reader's message ---
expect 1 extract all.ger Nothing
grep -q "Nothing resource not found! (ReadByName, ReadByNumber)" err || say "not-found message: $(cat err)"
expect 1 list note.txt
grep -q "Not GameEngine resource file! (Open/Load)" err || say "magic message: $(cat err)"
head -c 300 all.ger > cut.ger
expect 1 list cut.ger
expect 1 extract cut.ger Note
expect 1 list missing.ger
expect 1 pack never.ger A=missing.bin
# Only regular files are packed: a folder cannot be read, a device would be read for ever.
mkdir -p folder
for source in folder /dev/zero; do
  timeout 10 "$ger" pack never.ger A=$source >out 2>err; got=$?
  [ $got = 1 ] || say "pack of $source exited $got"
  grep -q "cannot read $source: " err || say "pack of $source does not name it: $(head -c 300 err)"
done
[ -e never.ger ] && say "a failed pack left its output"
expect 1 pack bad.ger --jpeg A=small.bmp
expect 1 pack bad.ger --raw A=note.txt
expect 1 extract all.ger Note no/such/folder/n.txt
expect 0 pack empty.ger && expect 0 list empty.ger && [ "$(grep -c . out)" = 1 ] || say "empty file list"
expect 1 extract empty.ger A

# --- usage: exit 2 with the usage text on stderr ---
expect 2
grep -q "Usage: ger list" err || say "no usage text"
expect 2 frobnicate
expect 2 list
expect 2 list a.ger b.ger
expect 2 extract all.ger
expect 2 pack
expect 2 pack x.ger --bogus A=note.txt
expect 2 pack x.ger nameonly
expect 2 pack x.ger --frames 0x4 A=small.bmp
expect 2 pack x.ger --frames A=small.bmp
expect 1 pack x.ger --frames 8x5 A=small.bmp
grep -q "frames of 8x5 do not fit its 7x5 picture" err || say "oversized frames: $(cat err)"
expect 2 pack x.ger "$(printf 'N%.0s' {1..41})=note.txt"
expect 0 pack x.ger "$(printf 'N%.0s' {1..40})=note.txt"
expect 0 --help
grep -q "Exit status" out || say "--help not on stdout"
exit $fail
