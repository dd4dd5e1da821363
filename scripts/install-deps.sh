#!/usr/bin/env bash
# Installs, with apt, only the Debian packages that are missing. Safe to run again.
# dpkg-dev and file let `make deb` work out the package's dependencies; groff, the MIME
# database and the desktop file validator let the tests check the installed files; graphviz's
# dot lays out `veke-render --map`; xorriso and python3 make the disc images, archives and maps
# that the checks read. emscripten, chromium and node build the browser player and drive it in
# its tests; the browser build's libraries come from Debian's source packages, which needs a
# deb-src entry (scripts/web/build-libs.sh).
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libsdl2-dev
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev ffmpeg
  libjpeg62-turbo-dev zlib1g-dev libpng-dev libfreetype-dev
  libmeshoptimizer-dev
  libcdio-dev libiso9660-dev libzip-dev xorriso
  graphviz python3
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev llvm
  xvfb xauth xdotool imagemagick sox
  fonts-dejavu-core fonts-dejavu-extra fonts-urw-base35
  dpkg-dev file groff-base shared-mime-info desktop-file-utils
  emscripten node-acorn chromium xz-utils
)
# A node from elsewhere (nodesource) brings its own npm, which Debian's npm would conflict with.
command -v node >/dev/null || packages+=(nodejs)
command -v npm >/dev/null || packages+=(npm)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive

# Source packages from the main archive only: the security archive listed versions whose files
# answered 404, so the browser build pins itself to the release's own versions.
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
src_list=/etc/apt/sources.list.d/veke-deb-src.sources
if ! grep -rqsE '^(deb-src |Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  echo "install-deps: adding a deb-src entry for $codename"
  printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' "Suites: $codename" \
    'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' |
    "${sudo_cmd[@]}" tee "$src_list" >/dev/null
  "${sudo_cmd[@]}" apt-get update -qq
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: everything is installed"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
