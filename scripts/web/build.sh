#!/usr/bin/env bash
# `make web`: the player for the browser in build-web/ (BUILD_WEB), from the wasm libraries of
# the cache (built first when missing) and the default font file that the desktop build (BUILD)
# draws with FreeType, which is not built for wasm.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/emenv.sh"

source_dir=$VEKE_SOURCE_DIR
web_build=${BUILD_WEB:-$source_dir/build-web}
native_build=${BUILD:-$source_dir/build}
jobs=${JOBS:-2}
started=$SECONDS

bash "$VEKE_WEB_SCRIPTS/build-libs.sh"

echo "web: the font file, from the desktop build in $native_build"
[ -f "$native_build/CMakeCache.txt" ] || cmake -S "$source_dir" -B "$native_build" >/dev/null
cmake --build "$native_build" -j "$jobs" --target font_sheets

# A compiler cache, when there is one, makes a second build of an unchanged tree take seconds.
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
echo "web: building in $web_build"
emcmake cmake -S "$source_dir" -B "$web_build" -DVEKE_WEB=ON -DCMAKE_BUILD_TYPE=Release \
  -DVEKE_WEB_PREFIX="$VEKE_WEB_PREFIX" -DVEKE_WEB_FONT_FILE="$native_build/Res/Fonts16bit.ger" \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$(command -v node);$VEKE_NODE_FLAGS" "${launcher[@]}" >/dev/null
cmake --build "$web_build" -j "$jobs"
echo "web: done in $((SECONDS - started)) s: $web_build"
