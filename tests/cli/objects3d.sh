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

printf 'CREATE3DOBJ(C,,missing.vko,,,WIRED,SPHERE,0,0,1,FALSE,TRUE)\n' > "$work/missing.vek"
"$render" "$work/missing.vek" 2>"$work/err"; [ $? = 1 ] || say "missing object file accepted"
grep -q "3D object missing.vko: file not found" "$work/err" || say "missing object message: $(cat "$work/err")"
exit $fail
