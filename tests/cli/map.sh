#!/usr/bin/env bash
# veke-render --map: a box with a picture for every section, arrows for CALL, JUMP, RETURN and
# buttons in their styles, unreachable sections marked, an SVG that stands alone and a PNG of
# the same drawing; clear errors for what cannot be drawn.
source "$(dirname "$0")/common.bash"
src=$(cd "$2" && pwd)
command -v dot >/dev/null || { echo "FAIL: Graphviz's dot is missing (scripts/install-deps.sh installs it)"; exit 1; }

cd "$work" || exit 1
cp "$src/examples/demo/background.jpg" "$src/examples/demo/btn_quit.bmp" .
cat >show.vek <<'EOF'
CREATEENGINE(640,480,MAP,)
CREATEBACKGROUND(,background.jpg)
CREATEBUTTON(Onward,,btn_quit.bmp,,,240,380,255,VISIBLE,ENABLED,PAGE)
CALL(Sub)
WAITFOR(Onward)
[Sub]
RETURN
[Page]
CREATEBUTTON(Back,,btn_quit.bmp,,,240,380,255,VISIBLE,ENABLED,RETURN)
CLEAR($001F001F)
WAIT(5000)
JUMP(Broken)
[Broken]
CALL(Nowhere)
RETURN
[Lost]
QUIT
EOF

# The script's mistakes are told, and the map drawn all the same.
"$render" show.vek --map map.svg 2>err
code=$?
[ $code = 1 ] || say "a script with mistakes: exit $code, wanted 1: $(cat err)"
grep -q '^show.vek:16: section "LOST" cannot be reached' err || say "unreachable section not told: $(cat err)"
[ -s map.svg ] || say "no map.svg"
[ "$(stat -c %s map.svg)" -lt 1000000 ] || say "map.svg is $(stat -c %s map.svg) bytes"

# What the drawing holds, read as XML: boxes (their names, pictures, marks), arrows (their
# styles and labels), and no file named outside the drawing.
python3 - map.svg >drawing <<'EOF' || say "map.svg is not XML: $(cat drawing)"
import sys, xml.dom.minidom
doc = xml.dom.minidom.parse(sys.argv[1])
def classes(g): return g.getAttribute("class").split()
def text(g): return " ".join(t.firstChild.data for t in g.getElementsByTagName("text") if t.firstChild)
for g in doc.getElementsByTagName("g"):
    if "node" in classes(g):
        images = [i.getAttribute("xlink:href")[:22] for i in g.getElementsByTagName("image")]
        print("box", "unreachable" if "unreachable" in classes(g) else "reached",
              ",".join(images) or "no-picture", "|", text(g))
    if "edge" in classes(g):
        path = g.getElementsByTagName("path")[0]
        kind = [c for c in classes(g) if c != "edge"][0]
        print("arrow", g.getElementsByTagName("title")[0].firstChild.data, kind,
              path.getAttribute("stroke-dasharray") or "solid", "|", text(g))
EOF
boxes=$(grep -c '^box' drawing)
[ "$boxes" = 5 ] || say "$boxes boxes for 5 sections: $(cat drawing)"
for name in '<Main Section>' SUB PAGE BROKEN LOST; do
  grep -q "^box .*| .*$name" drawing || say "no box for $name: $(cat drawing)"
done
grep -q '^box unreachable .*| LOST cannot be reached$' drawing || say "LOST not marked: $(cat drawing)"
[ "$(grep -c '^box unreachable' drawing)" = 1 ] || say "reachable sections marked: $(cat drawing)"
[ "$(grep -c "^box [a-z]* data:image/png;base64" drawing)" = 4 ] ||
  say "the sections that play have no pictures inside: $(cat drawing)"
grep -q '^box reached no-picture | cannot be shown: .*Nem létező szekció: NOWHERE.* BROKEN' drawing ||
  say "the section that stops play has no reason in its box: $(cat drawing)"
grep -q 'xlink:href="/' map.svg && say "map.svg names files outside it"
for arrow in 's0->s1 call solid |' 's1->s0 return 1,5 | RETURN' 's0->s2 button solid | ONWARD' \
  's2->s3 jump 5,2 |' 's2->s0 return 1,5 | BACK' 's3->s2 return 1,5 | RETURN'; do
  grep -qF "arrow $arrow" drawing || say "no arrow $arrow: $(grep arrow drawing)"
done
[ "$(grep -c '^arrow' drawing)" = 6 ] || say "other arrows: $(grep arrow drawing)"

# The same drawing as a PNG picture.
"$render" show.vek --map map.png 2>/dev/null
[ $? = 1 ] || say "PNG map exit"
python3 - map.png <<'EOF' || say "map.png is no PNG of a sensible size"
import struct, sys
data = open(sys.argv[1], "rb").read()
assert data[:8] == b"\x89PNG\r\n\x1a\n", "signature"
width, height = struct.unpack(">II", data[16:24])
assert 300 < width < 5000 and 300 < height < 5000, (width, height)
EOF

# A clean script exits 0.
printf 'CREATEENGINE(320,240,OK,)\nCLEAR($F800F800)\nWAIT(50)\n' >clean.vek
"$render" clean.vek --map clean.svg 2>err || say "clean script: exit $?: $(cat err)"

# Nothing drawn, exit 2, with the reason: another file type, a folder that cannot take the
# map, no such script, no Graphviz.
expect_no_map() {
  local wanted=$1; shift
  "$@" 2>err >/dev/null
  local code=$?
  [ $code = 2 ] || say "$*: exit $code, wanted 2"
  grep -q "$wanted" err || say "$*: no \"$wanted\": $(cat err)"
}
expect_no_map 'writes a .svg or .png file' "$render" show.vek --map map.txt
expect_no_map 'cannot write nowhere/map.svg' "$render" show.vek --map nowhere/map.svg
expect_no_map 'script not found' "$render" none.vek --map none.svg
expect_no_map "needs Graphviz's dot program" env PATH=/nonexistent "$render" show.vek --map map2.svg
[ -e map2.svg ] && say "a map without Graphviz"
exit $fail
