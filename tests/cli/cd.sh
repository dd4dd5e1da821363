#!/usr/bin/env bash
# Presentations copied off a disc, played by veke-render from another folder: names with
# drive letters and leading backslashes found from a script in the disc's root or in a
# subfolder, whatever the letter case on disk; --drive ties a letter to a folder; names stay
# inside the presentation's root unless --root or --allow-outside widen it.
source "$(dirname "$0")/common.bash"
expect() {  # expect FILE X Y COLOUR WHY
  local got
  got=$(pixel "$1" "$2" "$3")
  [ "$got" = "$4" ] || say "$5: $1 ($2,$3) is $got, wanted $4"
}
red="srgb(255,0,0)" blue="srgb(0,0,255)" white="srgb(255,255,255)" yellow="srgb(255,255,0)"
cd "$work"

# The disc: pictures in upper and lower case, a resource file, scripts in two places.
mkdir -p disc/PICS disc/data disc/Show elsewhere other/PICS
convert -size 640x480 xc:blue disc/PICS/BACK.BMP
convert -size 40x40 xc:red disc/PICS/LOGO.BMP
convert -size 40x40 xc:white disc/PICS/small.bmp
convert -size 40x40 xc:yellow entry.bmp
"$bin/ger" pack disc/data/Pics.GER --bmp Mark=entry.bmp >/dev/null || say "ger pack"
convert -size 40x40 xc:yellow other/PICS/LOGO.BMP
cat > disc/Show/Main.vek <<'VEK'
LOADBACKGROUND(, \PICS\BACK.BMP)
CREATEIMAGE(logo, , D:\PICS\LOGO.BMP, 10, 10, FALSE, TRUE)
CREATEIMAGE(small, , d:\Pics\SMALL.BMP, 60, 10, FALSE, TRUE)
CREATEIMAGE(mark, E:\DATA\PICS.GER, mark, 110, 10, FALSE, TRUE)
WAIT(100)
VEK
cp disc/Show/Main.vek disc/ROOT.VEK

cd elsewhere
for script in ../disc/Show/Main.vek ../disc/ROOT.VEK "$work/disc/show/MAIN.VEK"; do
  "$render" "$script" --ms 100 --out shot.png 2>err || say "$script: $(cat err)"
  [ -s err ] && say "$script: $(cat err)"
  expect shot.png 300 300 "$blue" "$script: background rooted with a backslash"
  expect shot.png 20 20 "$red" "$script: picture on drive D:"
  expect shot.png 70 20 "$white" "$script: lower-case picture on disk"
  expect shot.png 120 20 "$yellow" "$script: entry of a resource file on drive E:"
done

# D: tied to another folder takes its pictures from there; rooted names stay on the disc.
"$render" ../disc/Show/Main.vek --drive D="$work/other" --ms 100 --out mapped.png 2>err
expect mapped.png 20 20 "$yellow" "picture on the mapped drive"
expect mapped.png 300 300 "$blue" "rooted background beside a mapped drive"
grep -q "SMALL.BMP" err || say "a picture missing on the mapped drive was not reported: $(cat err)"
"$render" ../disc/ROOT.VEK --drive d=../disc/ --ms 100 --out root.png 2>err || say "mapped root: $(cat err)"
expect root.png 20 20 "$red" "drive mapped to the disc itself"
"$render" ../disc/ROOT.VEK --drive D=/no/such/folder 2>err && say "a missing --drive folder was taken"
grep -q "/no/such/folder is not a folder" err || say "no word about the missing folder: $(cat err)"
# Two folders down, the disc's top is above the default root (the folder above the script's):
# --root or an AUTORUN.INF on the disc makes it the root.
mkdir -p ../disc/Show/Deep
printf 'LOADBACKGROUND(, \\PICS\\BACK.BMP)\nWAIT(100)\n' > ../disc/Show/Deep/Deep.vek
"$render" ../disc/Show/Deep/Deep.vek --ms 100 --out deep.png 2>err
grep -qF 'Load error! File: \PICS\BACK.BMP' err || say "a name above the root was found: $(cat err)"
"$render" ../disc/Show/Deep/Deep.vek --root ../disc --ms 100 --out deep.png 2>err
expect deep.png 300 300 "$blue" "--root: rooted background"
touch ../disc/autorun.inf
"$render" ../disc/Show/Deep/Deep.vek --ms 100 --out deep.png 2>err
expect deep.png 300 300 "$blue" "AUTORUN.INF: rooted background"
rm ../disc/autorun.inf
# A name that climbs out of the tree is refused, naming the root, unless outside is allowed.
echo "outside" > "$work/secret.txt"
printf 'CREATETEXT(t, ..\\..\\..\\secret.txt, 0, 0, 200, 40, ARIAL24)\nWAIT(100)\n' \
  > ../disc/Show/Deep/Out.vek
"$render" ../disc/Show/Deep/Out.vek --ms 100 --out out.png 2>err && say "the text outside was read"
grep -qF "outside the presentation's folder $work/disc/Show (to let it reach further, start with --root FOLDER or --allow-outside)" err \
  || say "no refusal naming the root: $(cat err)"
"$render" ../disc/Show/Deep/Out.vek --allow-outside --ms 100 --out out.png 2>err \
  || say "--allow-outside: $(cat err)"
exit $fail
