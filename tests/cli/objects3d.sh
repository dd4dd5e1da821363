#!/usr/bin/env bash
# 3D objects as an author makes them: a mesh from a 3D tool through obj2vk, packed by ger,
# played by veke-render in both display modes.
source "$(dirname "$0")/common.bash"
obj2vk="$bin/obj2vk"
ger="$bin/ger"

# A cube of quads, as 3D tools write one, with a comment, normals and texture coordinates.
cat > "$work/cube.obj" <<'OBJ'
# cube
v -1 -1 -1
v -1 -1 1
v -1 1 -1
v -1 1 1
v 1 -1 -1
v 1 -1 1
v 1 1 -1
v 1 1 1
vn 0 0 1
vt 0 0
f 2/1/1 6/1/1 8/1/1 4/1/1
f 5 1 3 7
f 6 5 7 8
f 1 2 4 3
f 4 8 7 3
f 1 5 6 2
OBJ
"$obj2vk" --fit 200 "$work/cube.obj" "$work/cube.vko" > "$work/out" || say "obj2vk exit $?"
grep -q "8 vertices, 12 triangles (6 polygons fanned)" "$work/out" || say "obj2vk report: $(cat "$work/out")"
[ "$(stat -c %s "$work/cube.vko")" = $((4 + 6 * 8 + 6 * 12)) ] || say "object file size"
printf 'v 0 0 0\nf 1 2 3\n' > "$work/bad.obj"
"$obj2vk" "$work/bad.obj" "$work/bad.vko" 2>"$work/err"; [ $? = 1 ] || say "bad mesh accepted"
grep -q "line 2: vertex 2 is not among the 1 vertices" "$work/err" || say "bad mesh message: $(cat "$work/err")"
"$obj2vk" 2>/dev/null; [ $? = 2 ] || say "obj2vk without files should exit 2"
# What cannot make an object is refused with exit 1 and a message that says why.
mkdir "$work/folder.obj"
printf '' > "$work/empty.obj"
printf 'v 0 1\0x 0\n' > "$work/nul.obj"
printf 'v 0.1 0 0\nv 0 0.1 0\nv 0 0 0.1\nf 1 2 3\n' > "$work/tiny.obj"
while IFS='|' read -r name message; do
  "$obj2vk" "$work/$name" "$work/refused.vko" >/dev/null 2>"$work/err"; code=$?
  [ $code = 1 ] || say "$name: exit $code"
  grep -qF "$message" "$work/err" || say "$name: $(cat -v "$work/err")"
done <<'CASES'
folder.obj|folder.obj: it is a folder
empty.obj|no faces
nul.obj|line 1: bad coordinate "1\x00x"
tiny.obj|every vertex rounds to the same point
CASES
# Coordinates near the end of the range fit like any others.
printf 'v 1e200 0 0\nv 0 -1e200 0\nv 0 0 1e200\nf 1 2 3\n' > "$work/huge.obj"
"$obj2vk" --keep-axes --fit 100 "$work/huge.obj" "$work/huge.vko" >/dev/null || say "huge: exit $?"
[ "$(od -An -td2 -j4 -N2 --endian=little "$work/huge.vko" | tr -d ' ')" = 100 ] || say "huge: not fitted"

# A sphere of 40 200 vertices and 80 000 triangles, more than an object holds, is simplified
# to fit and still looks like a sphere: beside one of 7 200 triangles, its outline differs
# by a pixel or so around the edge.
sphere() {
  awk -v n="$1" 'BEGIN {
    pi = atan2(0, -1)
    for (i = 0; i <= n; i++) for (j = 0; j < n; j++)
      printf "v %.6f %.6f %.6f\n", sin(pi * i / n) * cos(2 * pi * j / n), cos(pi * i / n),
        sin(pi * i / n) * sin(2 * pi * j / n)
    for (i = 0; i < n; i++) for (j = 0; j < n; j++) {
      a = i * n + j + 1; b = i * n + (j + 1) % n + 1
      printf "f %d %d %d\nf %d %d %d\n", a, b, b + n, a, b + n, a + n
    }
  }'
}
sphere 200 > "$work/dense.obj"
sphere 60 > "$work/coarse.obj"
"$obj2vk" --fit 200 "$work/dense.obj" "$work/dense.vko" >"$work/out" 2>"$work/err" || say "dense: exit $?"
grep -q "note: .* 40200 vertices and 80000 triangles, more than an object file holds" "$work/err" \
  || say "dense: no note: $(cat "$work/err")"
read -r vertices faces < <(od -An -td2 -N4 --endian=little "$work/dense.vko")
[ "$faces" -le 32767 ] && [ "$faces" -gt 30000 ] && [ "$vertices" -le 32767 ] \
  || say "dense: $vertices vertices, $faces triangles"
"$obj2vk" --fit 200 "$work/coarse.obj" "$work/coarse.vko" >/dev/null 2>&1 || say "coarse: exit $?"
# Too many vertices but few faces: 12 000 triangles that share no corner.
awk 'BEGIN { for (i = 0; i < 12000; i++)
  printf "v %d 0 0\nv %d 9 0\nv %d 0 9\nf -3 -2 -1\n", i, i, i }' > "$work/soup.obj"
"$obj2vk" "$work/soup.obj" "$work/soup.vko" >/dev/null 2>&1 || say "soup: exit $?"
read -r vertices faces < <(od -An -td2 -N4 --endian=little "$work/soup.vko")
[ "$vertices" -le 32767 ] && [ "$faces" -gt 5000 ] || say "soup: $vertices vertices, $faces triangles"
"$obj2vk" --max-faces 500 --fit 200 "$work/dense.obj" "$work/few.vko" >/dev/null 2>"$work/err"
[ "$(od -An -td2 -j2 -N2 --endian=little "$work/few.vko" | tr -d ' ')" -le 500 ] \
  || say "--max-faces 500 not kept"
[ -s "$work/err" ] && say "--max-faces printed a note: $(cat "$work/err")"
for shape in dense coarse; do
  printf 'CREATE3DOBJ(S,,%s.vko,red.bmp,,TEXTMAP,SPHERE,320,240,1,FALSE,TRUE)\nCLEAR($001F001F)\n' \
    $shape > "$work/$shape.vek"
done

convert -size 256x256 xc:'#ff0000' -type TrueColor BMP3:"$work/red.bmp"
"$ger" pack "$work/objects.ger" --object CUBE="$work/cube.vko" --raw RED="$work/red.bmp" >/dev/null \
  || say "ger pack exit $?"

cat > "$work/cube.vek" <<'VEK'
CREATE3DOBJ(FromFile,,cube.vko,red.bmp,,TEXTMAP,SPHERE,160,240,1,FALSE,TRUE)
CREATE3DOBJ(FromPack,objects.ger,CUBE,RED,,TEXTMAP,SPHERE,480,240,1,FALSE,TRUE)
CLEAR($001F001F)
WAIT(200)
SHOW3DOBJ(FromPack,,,,,,FALSE)
WAIT(200)
ZOOM3D(,400,100)
WAIT(1000)
VEK
for mode in "" HARDWARE; do
  "$render" "$work/cube.vek" $mode --at 100:"$work/a$mode.png" --at 300:"$work/b$mode.png" \
    --at 600:"$work/c$mode.png" --ms 700 || say "render $mode exit $?"
  [ "$(pixel "$work/a$mode.png" 160 240)" = "srgb(255,0,0)" ] || say "$mode: cube from a file not drawn"
  [ "$(pixel "$work/a$mode.png" 480 240)" = "srgb(255,0,0)" ] || say "$mode: cube from a pack not drawn"
  [ "$(pixel "$work/a$mode.png" 320 240)" = "srgb(0,0,255)" ] || say "$mode: background between"
  [ "$(pixel "$work/b$mode.png" 480 240)" = "srgb(0,0,255)" ] || say "$mode: hidden cube still drawn"
  # Twice the zoom: the cube's front face, about 160 pixels wide, becomes about 320.
  [ "$(pixel "$work/b$mode.png" 30 240)" = "srgb(0,0,255)" ] || say "$mode: cube wider before the zoom"
  [ "$(pixel "$work/c$mode.png" 30 240)" = "srgb(255,0,0)" ] || say "$mode: zoom did not grow the cube"
done
cmp -s "$work/c.png" "$work/cHARDWARE.png" || say "the display modes draw different frames"

for shape in dense coarse; do
  "$render" "$work/$shape.vek" --ms 100 --out "$work/$shape.png" || say "$shape sphere: exit $?"
done
differ=$(compare -metric AE "$work/dense.png" "$work/coarse.png" null: 2>&1)
[ "$differ" -lt 600 ] || say "the simplified sphere differs from the coarse one in $differ pixels"

printf 'CREATE3DOBJ(C,,missing.vko,,,WIRED,SPHERE,0,0,1,FALSE,TRUE)\n' > "$work/missing.vek"
"$render" "$work/missing.vek" 2>"$work/err"; [ $? = 1 ] || say "missing object file accepted"
grep -q "3D object missing.vko: file not found" "$work/err" || say "missing object message: $(cat "$work/err")"
exit $fail
