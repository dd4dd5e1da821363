#!/usr/bin/env bash
# A presentation played from what people keep it in: its folder, ISO images with Joliet and
# Rock Ridge names or plain 8.3 names, BIN/CUE images (mode 1, and mode 2 with an audio track
# after the data) and zip archives. Each must give the same frames and sound as the folder;
# the script and its switches are found by AUTORUN.INF or by looking; bad containers get one
# clear message and exit 1 or 2, and nothing is written.
source "$(dirname "$0")/common.bash"
for tool in xorriso ffmpeg python3; do
  command -v $tool >/dev/null || { echo "FAIL: $tool is missing (scripts/install-deps.sh)"; exit 1; }
done
cd "$work"

# The disc: a background, a picture in a resource file, a text file, a WAV, an MP3 and a
# clip; names written in other letter cases and with the drive letter it was burned for.
mkdir -p disc/SHOW disc/DATA
convert -size 640x480 gradient:'#203080-#80c0ff' disc/DATA/BACK.BMP
convert -size 40x40 xc:yellow mark.bmp
"$bin/ger" pack disc/DATA/PICS.GER --bmp Mark=mark.bmp >/dev/null || say "ger pack"
printf 'From the disc\r\n' > disc/DATA/NOTE.TXT
ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:duration=1" -ar 22050 disc/DATA/BEEP.WAV
ffmpeg -loglevel error -f lavfi -i "sine=frequency=660:duration=3" -c:a libmp3lame -b:a 64k \
  disc/DATA/SONG.MP3 2>/dev/null ||
  ffmpeg -loglevel error -f lavfi -i "sine=frequency=660:duration=3" disc/DATA/SONG.MP3
ffmpeg -loglevel error -f lavfi -i "testsrc=size=160x120:rate=10:duration=2" -c:v mpeg4 \
  disc/DATA/CLIP.AVI
cat > disc/SHOW/MAIN.VEK <<'VEK'
LOADBACKGROUND(, d:\data\back.bmp)
CREATEIMAGE(mark, \DATA\PICS.GER, mark, 10, 10, FALSE, TRUE)
CREATETEXT(note, D:\DATA\NOTE.TXT, 60, 10, 300, 30, ARIAL24)
CREATESOUND(beep, \data\beep.wav, FALSE, FALSE)
CREATESOUND(song, D:\DATA\SONG.MP3, FALSE, FALSE)
CREATEANIM(clip, D:\DATA\CLIP.AVI, 200, 200, 160, 120, FALSE, FALSE)
PLAYSOUND(beep)
PLAYSOUND(song)
PLAYANIM(clip)
WAIT(2500)
VEK
printf '[autorun]\r\nopen=VEKE.EXE SHOW\\MAIN.VEK HARDWARE\r\nicon=VEKE.EXE\r\n' > disc/AUTORUN.INF

# Containers of it.
xorriso -as mkisofs -quiet -V SHOWDISC -J -R -o joliet.iso disc 2>/dev/null || say "xorriso -J -R"
xorriso -as mkisofs -quiet -V SHOWDISC -o plain.iso disc 2>/dev/null || say "xorriso plain"
(cd disc && python3 -c '
import sys, zipfile, os
with zipfile.ZipFile("../show.zip", "w", zipfile.ZIP_DEFLATED) as z:
    for root, _, files in os.walk("."):
        for f in files: z.write(os.path.join(root, f), os.path.join(root, f)[2:])
')
# BIN/CUE from the ISO: 2352-byte raw sectors, sync and header before the data (EDC/ECC left
# zero, as readers do not check them); mode 2 carries the form 1 subheader; a mixed-mode disc
# has an audio track after the data track.
python3 - plain.iso <<'PY'
import sys
iso = open(sys.argv[1], "rb").read()
def bcd(n): return bytes([(n // 10) << 4 | n % 10])
def msf(lba):
    lba += 150
    return bcd(lba // 4500) + bcd(lba // 75 % 60) + bcd(lba % 75)
sync = b"\x00" + b"\xff" * 10 + b"\x00"
for mode, name in ((1, "mode1"), (2, "mode2")):
    out = bytearray()
    for i in range(len(iso) // 2048):
        data = iso[i * 2048:(i + 1) * 2048]
        if mode == 1:
            out += sync + msf(i) + b"\x01" + data + bytes(288)
        else:
            out += sync + msf(i) + b"\x02" + b"\x00\x00\x08\x00" * 2 + data + bytes(280)
    sectors = len(out) // 2352
    audio = mode == 2
    if audio:
        out += bytes(2352 * 75 * 3)  # three seconds of silence
    open(name + ".bin", "wb").write(out)
    cue = 'FILE "%s.bin" BINARY\n  TRACK 01 %s/2352\n    INDEX 01 00:00:00\n' % (
        name, "MODE1" if mode == 1 else "MODE2")
    if audio:
        m, s, f = sectors // 4500, sectors // 75 % 60, sectors % 75
        cue += '  TRACK 02 AUDIO\n    INDEX 01 %02d:%02d:%02d\n' % (m, s, f)
    open(name + ".cue", "w").write(cue)
PY

# Every way in plays the same frames and sound as the folder.
play() {  # play NAME PATH...: frames of the first second and a half, and the sound
  mkdir -p "frames-$1"
  "$render" "${@:2}" --ms 1500 --step 50 --frames "frames-$1" --audio "$1.wav" 2>"err-$1" ||
    say "$1: exit $? $(head -c 400 "err-$1")"
  grep -q . "err-$1" && say "$1: $(head -c 400 "err-$1")"
  (cd "frames-$1" && md5sum ./*.png | md5sum) > "sum-$1"
  md5sum < "$1.wav" >> "sum-$1"
}
play folder disc
play script disc/SHOW/MAIN.VEK HARDWARE
cmp -s sum-folder sum-script || say "the folder did not play as its script with AUTORUN.INF's HARDWARE"
for way in joliet.iso plain.iso show.zip mode1.cue mode2.cue mode2.bin; do
  play "$way" "$way"
  cmp -s sum-folder "sum-$way" || say "$way does not play as the folder"
done
[ "$(ls frames-folder | wc -l)" -ge 30 ] || say "too few frames: $(ls frames-folder | wc -l)"
amplitude=$(sox folder.wav -n stat 2>&1 | awk '/Maximum amplitude/ {print $3}')
awk -v a="$amplitude" 'BEGIN { exit !(a > 0.1) }' || say "the presentation is silent: $amplitude"

# --list says what is there and where the script and switches came from.
"$bin/veke" --list joliet.iso > list 2>err || say "--list: $(cat err)"
for line in "presentation: joliet.iso (ISO 9660 image)" "volume label: SHOWDISC" \
  "script: SHOW/MAIN.VEK" "switches: HARDWARE (from AUTORUN.INF)" "found by: AUTORUN.INF"; do
  grep -qxF "$line" list || say "--list lacks '$line': $(cat list)"
done
grep -qE '^files: 8 \([0-9]+ bytes\)$' list || say "--list counts files: $(cat list)"

# AUTORUN.INF as discs wrote it: either key, any letter case, quotes, a drive, other sections.
mkdir -p ways/GO && printf 'WAIT(10)\n' > ways/GO/Start.vek && printf 'WAIT(10)\n' > ways/Other.vek
while IFS='|' read -r text script switches; do
  printf "$text" > ways/autorun.inf
  "$bin/veke" --list ways > list 2>&1
  grep -qxF "script: $script" list && grep -qxF "switches: $switches" list ||
    say "AUTORUN.INF '$text' gives $(grep -e script: -e switches: list | tr '\n' ' ')"
done <<'WAYS'
[autorun]\r\nopen=veke.exe go\\start.vek windowed FLIP\r\n|GO/Start.vek|windowed FLIP (from AUTORUN.INF)
[AutoRun]\nShellExecute = "D:\\GO\\START.VEK"\n|GO/Start.vek|none
[other]\nopen=x.exe go\\start.vek\n[autorun]\nopen=setup.exe\n|Other.vek|none
WAYS
rm ways/autorun.inf

# Without AUTORUN.INF the only script is found, one folder down; with two, the player asks.
rm disc/AUTORUN.INF
"$bin/veke" --list disc | grep -qxF "found by: the only script in SHOW" || say "one folder down"
cp disc/SHOW/MAIN.VEK disc/OTHER.VEK
cp disc/SHOW/MAIN.VEK disc/SHOW/SECOND.VEK
"$bin/veke" --list disc >/dev/null 2>err
[ $? -eq 0 ] || say "a script in the root should win over the folders below"
rm disc/OTHER.VEK
"$render" disc --ms 10 2>err && say "two scripts one folder down were played"
grep -qF "holds several presentation scripts:" err || say "no list of candidates: $(cat err)"
grep -qF "SHOW/SECOND.VEK" err || say "the candidates are not named: $(cat err)"
"$render" disc --script show/main.vek --ms 10 2>err || say "--script: $(cat err)"
"$render" disc --script NONE.VEK --ms 10 2>err; [ $? -eq 2 ] || say "--script of a missing script"

# Bad containers: one message, exit 1 or 2, nothing written.
head -c 40000 joliet.iso > cut.iso
head -c 3000 show.zip > cut.zip
python3 -c 'open("empty.zip","wb").write(b"PK\x05\x06" + bytes(18))'
xorriso -as mkisofs -quiet -o nothing.iso disc/DATA 2>/dev/null
python3 -c '
import zipfile
with zipfile.ZipFile("evil.zip", "w") as z:
    z.writestr("../outside.vek", "WAIT(10)\n")
    z.writestr("/etc/abs.vek", "WAIT(10)\n")
'
ls -R "$work" > before
for bad in cut.iso cut.zip empty.zip nothing.iso evil.zip; do
  "$render" "$bad" --ms 10 >out 2>err
  code=$?
  [ $code -eq 1 ] || [ $code -eq 2 ] || say "$bad: exit $code"
  [ "$(grep -c . err)" -ge 1 ] || say "$bad: no message"
  grep -q "$bad" err || say "$bad: the message does not name it: $(cat err)"
done
ls -R "$work" | diff before - | grep -v -e '^[<>] \(out\|err\|before\)$' -e '^[0-9,acd]*$' &&
  say "a bad container left files behind"
[ -e /etc/abs.vek ] && say "an entry was written to /etc"
exit $fail
