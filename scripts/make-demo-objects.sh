#!/usr/bin/env bash
# Makes the demo's 3D objects and their 256 x 256 textures: meshes written as Wavefront OBJ
# (as any 3D tool would), converted by our obj2vk, textures drawn by ImageMagick.
# Usage: scripts/make-demo-objects.sh [BUILD]   (BUILD holds obj2vk; default build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
out=$root/examples/demo/3d
mkdir -p "$out"

python3 - "$out" <<'PY'
import math, sys
out = sys.argv[1]

def write(name, vertices, faces):
    with open(f"{out}/{name}.obj", "w") as f:
        f.write(f"# {name}: {len(vertices)} vertices, {len(faces)} faces\n")
        for v in vertices:
            f.write("v %.5f %.5f %.5f\n" % v)
        for face in faces:
            f.write("f " + " ".join(str(i + 1) for i in face) + "\n")

# A cube of quads, corners counter-clockwise seen from outside.
cube_v = [(x, y, z) for x in (-1, 1) for y in (-1, 1) for z in (-1, 1)]
idx = {v: i for i, v in enumerate(cube_v)}
def q(*corners): return [idx[c] for c in corners]
cube_f = [
    q((-1,-1,1), (1,-1,1), (1,1,1), (-1,1,1)),      # front (+z)
    q((1,-1,-1), (-1,-1,-1), (-1,1,-1), (1,1,-1)),  # back
    q((1,-1,1), (1,-1,-1), (1,1,-1), (1,1,1)),      # right
    q((-1,-1,-1), (-1,-1,1), (-1,1,1), (-1,1,-1)),  # left
    q((-1,1,1), (1,1,1), (1,1,-1), (-1,1,-1)),      # top
    q((-1,-1,-1), (1,-1,-1), (1,-1,1), (-1,-1,1)),  # bottom
]
write("cube", cube_v, cube_f)

# A sphere of latitude rings.
rings, segments = 12, 18
sv = [(0.0, 1.0, 0.0)]
for r in range(1, rings):
    t = math.pi * r / rings
    for s in range(segments):
        p = 2 * math.pi * s / segments
        sv.append((math.sin(t) * math.cos(p), math.cos(t), -math.sin(t) * math.sin(p)))
sv.append((0.0, -1.0, 0.0))
def ring(r, s): return 1 + (r - 1) * segments + s % segments
sf = []
for s in range(segments):
    sf.append([0, ring(1, s), ring(1, s + 1)])
    sf.append([len(sv) - 1, ring(rings - 1, s + 1), ring(rings - 1, s)])
for r in range(1, rings - 1):
    for s in range(segments):
        sf.append([ring(r, s), ring(r + 1, s), ring(r + 1, s + 1), ring(r, s + 1)])
write("sphere", sv, sf)

# A torus around the y axis.
major, minor, around, tube = 1.0, 0.4, 24, 12
tv, tf = [], []
for i in range(around):
    a = 2 * math.pi * i / around
    for j in range(tube):
        b = 2 * math.pi * j / tube
        rr = major + minor * math.cos(b)
        tv.append((rr * math.cos(a), minor * math.sin(b), -rr * math.sin(a)))
def t(i, j): return (i % around) * tube + j % tube
for i in range(around):
    for j in range(tube):
        tf.append([t(i, j), t(i + 1, j), t(i + 1, j + 1), t(i, j + 1)])
write("torus", tv, tf)
PY

"$build/obj2vk" --fit 90 "$out/cube.obj" "$out/cube.vko"
"$build/obj2vk" --fit 100 "$out/sphere.obj" "$out/sphere.vko"
"$build/obj2vk" --fit 110 "$out/torus.obj" "$out/torus.vko"

# Textures: bricks for plain mapping, a stained-glass pattern with black (see-through) holes
# for the colour-keyed mode, a soft light for environment mapping, and marble.
convert -size 256x256 xc:'#8a3b22' \
  -fill '#b5562f' -draw 'rectangle 0,0 255,255' \
  -stroke '#d9c9a8' -strokewidth 4 \
  -draw 'line 0,2 255,2' -draw 'line 0,66 255,66' -draw 'line 0,130 255,130' -draw 'line 0,194 255,194' \
  -draw 'line 64,2 64,66' -draw 'line 192,2 192,66' -draw 'line 0,66 0,130' -draw 'line 128,66 128,130' \
  -draw 'line 64,130 64,194' -draw 'line 192,130 192,194' -draw 'line 128,194 128,255' \
  -quality 92 "$out/bricks.jpg"
convert -size 256x256 xc:black -fill '#f0c020' -draw 'circle 64,64 64,20' \
  -fill '#2080f0' -draw 'circle 192,64 192,20' -fill '#20c060' -draw 'circle 64,192 64,148' \
  -fill '#e03040' -draw 'circle 192,192 192,148' -fill '#ffffff' -draw 'rectangle 120,0 136,255' \
  -draw 'rectangle 0,120 255,136' -type TrueColor BMP3:"$out/glass.bmp"
convert -size 256x256 radial-gradient:"#fffbe0-#10206a" -quality 92 "$out/light.jpg"
convert -size 256x256 plasma:'#406080-#c0d0e0' -seed 7 -blur 0x2 -quality 90 "$out/marble.jpg"
echo "3D objects and textures in $out"
