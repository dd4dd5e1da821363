#!/usr/bin/env bash
# Builds the libraries of the browser player for wasm, once per machine and recipe, from
# Debian's source packages (the upstream versions the desktop build links on this release), into
# $VEKE_WEB_PREFIX/{include,lib,lib/pkgconfig}. A second run finds them and returns at once.
# Sources are fetched into $VEKE_WEB_SOURCES and unpacked and built beside the prefix, never in
# the repository.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/emenv.sh"

jobs=${JOBS:-2}
prefix=$VEKE_WEB_PREFIX
work=$VEKE_WEB_LIBS/build
done_mark=$VEKE_WEB_LIBS/done
# The release's own versions: the security archive listed newer ones whose files answered 404.
suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")

say() { echo "build-libs: $*"; }
# The exit code of a source package that could not be fetched (sysexits' EX_TEMPFAIL): the
# archive, not the build, failed, and `make test` goes on without the browser build.
cannot_fetch=75

mkdir -p "$VEKE_WEB_CACHE"
# Two builds at once (make web beside a test run) would unpack into the same folders.
exec 9>"$VEKE_WEB_CACHE/build-libs.lock"
flock 9

if [ -f "$done_mark" ]; then
  say "libraries up to date in $prefix"
  exit 0
fi

# Fetches a source package unless it is there already.
fetch() {
  local package=$1
  mkdir -p "$VEKE_WEB_SOURCES"
  compgen -G "$VEKE_WEB_SOURCES/${package}_*.dsc" >/dev/null && return 0
  say "fetching the source package $package/$suite"
  if ! (cd "$VEKE_WEB_SOURCES" && apt-get source --download-only -qq "$package/$suite"); then
    say "apt-get source $package failed: is there a deb-src entry? run scripts/install-deps.sh"
    exit "$cannot_fetch"
  fi
}

# Unpacks the newest fetched version of a source package, with Debian's patches, into $work.
unpack() {
  local package=$1 dsc
  dsc=$(ls "$VEKE_WEB_SOURCES/${package}"_*.dsc | sort -V | tail -n 1)
  rm -rf "${work:?}/$package"
  dpkg-source --no-check -x "$dsc" "$work/$package" >/dev/null
}

# Runs a library's recipe with its time and a line on failure that points at its log. The recipe
# runs apart, as a job, because a shell ignores `set -e` in anything tested by `if`.
build() {
  local name=$1 started=$SECONDS log="$work/$1.log"
  say "building $name"
  ("build_$name") >"$log" 2>&1 &
  if ! wait $!; then
    tail -n 30 "$log" >&2
    say "$name failed; the whole log is $log"
    exit 1
  fi
  say "$name built in $((SECONDS - started)) s"
}

# The same optimisation for every library, and no debug information, which would only make
# the .wasm larger.
export CFLAGS="-O2" CXXFLAGS="-O2"

# CMake learns type sizes by running test programs under node; without node's flags they fail
# and every size reads as 9, which libzip rejects ("unsupported size of off_t").
#
# Most of a library's configure time goes to its checks, one emcc compile and link each. Their
# results are the same for every build with the same emcc, so scripts/web/checks/NAME.cmake
# seeds them: the answers to "is this header, function or flag there", taken from a full
# configure with the emcc named on its first line, and used only with that emcc (another one
# runs every check and says so). Type sizes are never seeded: they decide the library's ABI, and
# the few checks that learn them run every time. Each configure writes its results to
# $VEKE_WEB_LIBS/build/NAME.checks.cmake, beside the logs: to refresh a seed, delete it, run this
# script and copy that file over it.
cmake_static() {
  local name=$1 seed=$VEKE_WEB_SCRIPTS/checks/$1.cmake
  shift
  local seeding=()
  if [ -f "$seed" ] && [ "$(sed -n 1p "$seed")" = "# $(emcc --version | sed -n 1p)" ]; then
    seeding=(-C "$seed")
  elif [ -f "$seed" ]; then
    say "$name: $seed was taken with another emcc; running all checks"
  fi
  emcmake cmake "${seeding[@]}" -S . -B _build -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS_RELEASE=-DNDEBUG \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$(command -v node);$VEKE_NODE_FLAGS" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib -DBUILD_SHARED_LIBS=OFF "$@"
  write_checks "$name" _build/CMakeCache.txt >"$work/$name.checks.cmake"
  cmake --build _build -j "$jobs"
  cmake --install _build
}

# The check results among a CMake cache's entries: upper-case names that hold nothing, 0, 1,
# TRUE or FALSE, without CMake's own (but with its CMAKE_HAVE_ checks) and without the type sizes
# (a name X with a HAVE_X beside it).
write_checks() {
  echo "# $(emcc --version | sed -n 1p)"
  echo "# The results of $1's configure checks, as scripts/web/build-libs.sh wrote them after a"
  echo "# full configure with the emcc above; they seed its next configure (see cmake_static)."
  awk -F'[:=]' '
    $2 == "INTERNAL" { value[$1] = substr($0, index($0, "=") + 1) }
    END {
      for (n in value) if (("HAVE_" n) in value) size[n] = size["HAVE_" n] = 1
      for (n in value) {
        if (n in size || n !~ /^[A-Z][A-Z0-9_]*$/ || value[n] !~ /^(|0|1|TRUE|FALSE)$/) continue
        if (n ~ /^(CMAKE|FIND)_/ && n !~ /^CMAKE_HAVE_/) continue
        printf "set(%s \"%s\" CACHE INTERNAL \"\")\n", n, value[n]
      }
    }' "$2" | sort
}

build_zlib() {
  unpack zlib
  cd "$work/zlib"
  CHOST=wasm32 emconfigure ./configure --static --prefix="$prefix"
  emmake make -j "$jobs" libz.a
  emmake make install
}

build_libpng() {
  unpack libpng1.6
  cd "$work/libpng1.6"
  cmake_static libpng -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_HARDWARE_OPTIMIZATIONS=OFF -DZLIB_INCLUDE_DIR="$prefix/include" \
    -DZLIB_LIBRARY="$prefix/lib/libz.a"
}

# libjpeg-turbo's SIMD is x86 or ARM assembly. Its size of size_t decides which bit-counting
# builtin it uses; it is given rather than learned from a test program. It takes a relative
# library folder as relative to its sources.
build_libjpeg() {
  unpack libjpeg-turbo
  cd "$work/libjpeg-turbo"
  cmake_static libjpeg -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
    -DWITH_JAVA=OFF -DSIZE_T=4 -DHAVE_SIZE_T=TRUE -DCMAKE_INSTALL_LIBDIR="$prefix/lib"
}

# The player's zip reader needs deflate only; bzip2, lzma and encryption stay out.
build_libzip() {
  unpack libzip
  cd "$work/libzip"
  cmake_static libzip -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_COMMONCRYPTO=OFF \
    -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF -DENABLE_WINDOWS_CRYPTO=OFF \
    -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF \
    -DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a"
}

# SDL for its surfaces and blitters only (the display's surface mode draws with them, as on the
# desktop). Its CMake spends minutes on checks for the parts the player does not use here (video,
# sound, input, threads are the web host's), so the sources the blitters need are compiled
# directly, two at a time, with the configuration SDL ships for emscripten: without pthreads it
# has no threads, and its drivers live in files that are not built. The link of the player says
# when a file is missing ("undefined symbol"), except for a function that emcc's own JavaScript
# SDL has: its SDL_Delay aborts on the main thread, so the timer is built for that alone.
build_sdl() {
  unpack libsdl2
  cd "$work/libsdl2/src"
  local sources=(SDL_error.c SDL_hints.c SDL_list.c SDL_log.c atomic/*.c cpuinfo/SDL_cpuinfo.c
    stdlib/SDL_{getenv,iconv,malloc,qsort,stdlib,string,strtokr}.c
    thread/SDL_thread.c thread/generic/*.c timer/unix/SDL_systimer.c
    video/SDL_{surface,pixels,RLEaccel,fillrect,stretch,rect,yuv}.c video/SDL_blit*.c
    video/yuv2rgb/yuv_rgb.c)
  mkdir -p objects
  # The last two flags are SDL's own build's; the blits are compared with the desktop's.
  printf '%s\n' "${sources[@]}" | xargs -P "$jobs" -I{} sh -c \
    'emcc $CFLAGS -DNDEBUG -I../include -fno-strict-aliasing -fvisibility=hidden -c "$1" \
      -o "objects/$(echo "$1" | tr / _).o"' compile {}
  mkdir -p "$prefix/lib/pkgconfig" "$prefix/include/SDL2"
  emar rcs "$prefix/lib/libSDL2.a" objects/*.o
  cp ../include/*.h "$prefix/include/SDL2/"
  local version
  version=$(awk '/define SDL_(MAJOR_VERSION|MINOR_VERSION|PATCHLEVEL)/ { v = v sep $3; sep = "." }
    END { print v }' ../include/SDL_version.h)
  cat >"$prefix/lib/pkgconfig/sdl2.pc" <<EOF
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: sdl2
Description: SDL's surfaces and blitters, for the browser player
Version: $version
Libs: -L\${libdir} -lSDL2
Cflags: -I\${includedir} -I\${includedir}/SDL2
EOF
}

# Only what the player plays: the containers, parsers and decoders of its clips and sounds, in C
# (no assembly), without threads, programs or network.
build_ffmpeg() {
  unpack ffmpeg
  cd "$work/ffmpeg"
  emconfigure ./configure --prefix="$prefix" --target-os=none --arch=x86_32 --enable-cross-compile \
    --cc=emcc --cxx=em++ --ar=emar --ranlib=emranlib --nm=llvm-nm \
    --disable-asm --disable-inline-asm --disable-x86asm --disable-runtime-cpudetect \
    --disable-pthreads --disable-w32threads --disable-os2threads --disable-network \
    --disable-autodetect --disable-programs --disable-doc --disable-debug --disable-stripping \
    --disable-everything --disable-avdevice --disable-avfilter --disable-postproc \
    --enable-avformat --enable-avcodec --enable-swscale --enable-swresample \
    --enable-protocol=file \
    --enable-demuxer=avi,mpegps,mpegvideo,m4v,h264,mov,ogg,wav,mp3 \
    --enable-parser=mpegvideo,mpeg4video,h264,mpegaudio,mjpeg,vorbis \
    --enable-decoder=cinepak,msvideo1,mjpeg,mpeg1video,mpeg2video,mpeg4,h264 \
    --enable-decoder=mp3,mp3float,mp2,mp2float,vorbis \
    --enable-decoder=adpcm_ms,adpcm_ima_wav,adpcm_ima_qt \
    --enable-decoder=pcm_u8,pcm_s16le,pcm_s16be,pcm_s24le,pcm_s32le,pcm_f32le,pcm_alaw,pcm_mulaw
  emmake make -j "$jobs"
  emmake make install
}

started=$SECONDS
for package in zlib libpng1.6 libjpeg-turbo libzip libsdl2 ffmpeg; do
  fetch "$package"
done
rm -rf "$work" "$prefix"
mkdir -p "$work" "$prefix"
# Two chains side by side. FFmpeg takes longest, and its configure runs one check at a time,
# which leaves the other core to the rest: it starts at once in a chain of its own. libpng and
# libzip need zlib; SDL and FFmpeg need nothing.
chain() {
  for library in "$@"; do build "$library"; done
}
chain ffmpeg &
first=$!
chain zlib libpng libzip libjpeg sdl &
second=$!
failed=0
wait "$first" || failed=1
wait "$second" || failed=1
[ "$failed" = 0 ] || exit 1
# What a later build needs is the prefix (14 MB); the unpacked sources and objects (250 MB)
# would only weigh on a cache that CI keeps. The logs and check results stay.
find "$work" -mindepth 1 -maxdepth 1 ! -name '*.log' ! -name '*.checks.cmake' -exec rm -rf {} +
touch "$done_mark"
say "all libraries built in $((SECONDS - started)) s into $prefix"
