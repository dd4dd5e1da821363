# shellcheck shell=bash
# Sourced by every script of the browser build. Debian's emscripten 3.1.6 with the node on this
# kind of machine needs each of these settings; without any one of them the build or its output
# fails in a way that does not say why.

VEKE_WEB_SCRIPTS=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
VEKE_SOURCE_DIR=$(cd "$VEKE_WEB_SCRIPTS/../.." && pwd)
export VEKE_WEB_SCRIPTS VEKE_SOURCE_DIR

if ! command -v emcc >/dev/null || ! command -v node >/dev/null; then
  echo "emenv: emcc and node are needed for the browser build; run scripts/install-deps.sh" >&2
  return 1
fi

# emcc's JavaScript optimiser requires acorn, which Debian keeps in its shared node modules. A
# node from elsewhere (nodesource) does not look there, and the optimising link step dies with
# "Cannot find module 'acorn'".
for veke_node_modules in /usr/share/nodejs /usr/lib/nodejs /usr/local/lib/node_modules; do
  [ -d "$veke_node_modules/acorn" ] && break
done
if [ ! -d "$veke_node_modules/acorn" ]; then
  echo "emenv: acorn not found among node's shared modules; install node-acorn" >&2
  return 1
fi
export NODE_PATH="$veke_node_modules${NODE_PATH:+:$NODE_PATH}"

# Everything built for the browser lives outside the repository, once per machine.
export VEKE_WEB_CACHE="${VEKE_WEB_CACHE:-$HOME/.cache/veke-web}"

# emcc writes into its cache (locks, libraries built on demand), and Debian's cache under
# /usr/share is not writable for a user. A folder of links to it holds the prebuilt system
# libraries and takes whatever emcc adds; it takes a tenth of a second to make.
export EM_CACHE="$VEKE_WEB_CACHE/emcache"
veke_system_cache=$(dirname "$(readlink -f "$(command -v emcc)")")/cache
[ -d "$veke_system_cache" ] || veke_system_cache=/usr/share/emscripten/cache
if [ ! -e "$EM_CACHE/sysroot" ] && [ -d "$veke_system_cache/sysroot" ]; then
  mkdir -p "$VEKE_WEB_CACHE"
  rm -rf "$EM_CACHE"
  cp -as "$veke_system_cache" "$EM_CACHE"
fi

# emcc's ports (SDL2, zlib, libpng, libjpeg) download their sources when a flag asks for them
# (-sUSE_SDL=2 and the like), and those downloads fail here. The browser build names no port:
# its libraries come from Debian's source packages through build-libs.sh.

# Node 18 and later have a global fetch, which emcc's loader prefers for the .wasm file and
# which cannot read a plain path: "Failed to parse URL". Without it the loader reads the file.
VEKE_NODE_FLAGS=""
if node --no-experimental-fetch -e 0 2>/dev/null; then
  VEKE_NODE_FLAGS="--no-experimental-fetch"
fi
export VEKE_NODE_FLAGS

# One folder of libraries per recipe: a change to these scripts, their check seeds or another emcc
# builds afresh instead of mixing old and new objects.
# (sed reads emcc's whole answer: `head` would close the pipe early, and under pipefail the
# killed emcc would end the sourcing script without a word.)
veke_recipe=$( (cat "$VEKE_WEB_SCRIPTS/emenv.sh" "$VEKE_WEB_SCRIPTS/build-libs.sh" \
    "$VEKE_WEB_SCRIPTS"/checks/*.cmake 2>/dev/null
  emcc --version 2>/dev/null | sed -n 1p) | sha256sum | cut -c1-12)
export VEKE_WEB_LIBS="$VEKE_WEB_CACHE/libs-$veke_recipe"
export VEKE_WEB_PREFIX="$VEKE_WEB_LIBS/prefix"
# Source packages are the same for every recipe; they are fetched once.
export VEKE_WEB_SOURCES="$VEKE_WEB_CACHE/sources"
# emcmake and emconfigure point pkg-config at emcc's sysroot and add only this path.
export EM_PKG_CONFIG_PATH="$VEKE_WEB_PREFIX/lib/pkgconfig"

unset veke_node_modules veke_system_cache veke_recipe
