# The browser build's libraries and flags, under emcmake. The libraries are the wasm builds that
# scripts/web/build-libs.sh makes in its cache; the parts of the player a browser cannot have
# are left out, and files ending in Browser.cpp stand in where the rest needs an answer.
if(NOT EMSCRIPTEN)
  message(FATAL_ERROR "VEKE_WEB builds with emscripten: configure with emcmake (make web)")
endif()
set(VEKE_WEB_PREFIX "" CACHE PATH "the wasm libraries that scripts/web/build-libs.sh built")
if(NOT EXISTS "${VEKE_WEB_PREFIX}/lib/pkgconfig")
  message(FATAL_ERROR "no wasm libraries in VEKE_WEB_PREFIX '${VEKE_WEB_PREFIX}': "
    "run scripts/web/build-libs.sh and pass its prefix (make web does both)")
endif()

# Only the wasm libraries, never the machine's own; emcc's toolchain looks for libraries under
# its sysroot alone unless the prefix is a root too.
set(ENV{PKG_CONFIG_LIBDIR} "${VEKE_WEB_PREFIX}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
list(APPEND CMAKE_FIND_ROOT_PATH "${VEKE_WEB_PREFIX}")

# pkg-config's findings stay in the CMake cache, so libraries of another recipe (another prefix)
# would still be linked from the old one: they are looked up again.
if(NOT VEKE_WEB_PREFIX STREQUAL VEKE_WEB_FOUND_IN)
  get_cmake_property(cached CACHE_VARIABLES)
  foreach(name ${cached})
    if(name MATCHES "^(__pkg_config_checked_|pkgcfg_lib_)(SDL2|FFMPEG|JPEG|ZLIB|PNG|ZIP)")
      unset(${name} CACHE)
    endif()
  endforeach()
  set(VEKE_WEB_FOUND_IN "${VEKE_WEB_PREFIX}" CACHE INTERNAL "where the wasm libraries were found")
endif()

# SDL is there for its surfaces and blitters alone, built without video, sound or threads: the
# browser's window, input and sound are the web host's. No disc images (libcdio) and no fonts
# drawn here (FreeType): the font file comes from the desktop build.
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libswscale libswresample libavutil)
pkg_check_modules(JPEG REQUIRED IMPORTED_TARGET libjpeg)
pkg_check_modules(ZLIB REQUIRED IMPORTED_TARGET zlib)
pkg_check_modules(PNG REQUIRED IMPORTED_TARGET libpng)
pkg_check_modules(ZIP REQUIRED IMPORTED_TARGET libzip)
set(VEKE_LIBRARIES PkgConfig::SDL2 PkgConfig::FFMPEG PkgConfig::JPEG PkgConfig::ZLIB PkgConfig::PNG
  PkgConfig::ZIP)

# The SDL host and its screens, disc images, the folder watch (inotify and a thread),
# starting programs and the service manager's notices (libsystemd).
list(APPEND VEKE_LEFT_OUT "src/platform/PL_Sdl[A-Za-z]*\\.cpp$"
  "src/platform/PL_(DiscImage|IsoRecords|FileWatch|Spawn|ServiceNotify)\\.cpp$")

# The player's own data (the default font file) lies in the build folder, where node's runs of
# veke-render read it directly; a page that fetches it puts it under the same path.
set(VEKE_DATA_DIR ${PROJECT_BINARY_DIR})

# The player throws and catches C++ exceptions, which emcc leaves out unless asked. Memory grows
# with the presentation, as on the desktop.
add_compile_options(-fexceptions)
add_link_options(-fexceptions -sALLOW_MEMORY_GROWTH=1)
