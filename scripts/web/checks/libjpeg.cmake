# emcc (Emscripten gcc/clang-like replacement + linker emulating GNU ld) 3.1.6 ()
# The results of libjpeg's configure checks, as scripts/web/build-libs.sh wrote them after a
# full configure with the emcc above; they seed its next configure (see cmake_static).
set(HAVE_BUILTIN_CTZL "1" CACHE INTERNAL "")
set(HAVE_STDDEF_H "1" CACHE INTERNAL "")
set(HAVE_STDINT_H "1" CACHE INTERNAL "")
set(HAVE_SYS_TYPES_H "1" CACHE INTERNAL "")
set(HAVE_VERSION_SCRIPT "1" CACHE INTERNAL "")
set(INLINE_WORKS "1" CACHE INTERNAL "")
set(WITH_JPEG7_INT "0" CACHE INTERNAL "")
set(WITH_JPEG8_INT "0" CACHE INTERNAL "")
set(WITH_SIMD_INT "0" CACHE INTERNAL "")
