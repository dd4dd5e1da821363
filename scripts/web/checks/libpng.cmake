# emcc (Emscripten gcc/clang-like replacement + linker emulating GNU ld) 3.1.6 ()
# The results of libpng's configure checks, as scripts/web/build-libs.sh wrote them after a
# full configure with the emcc above; they seed its next configure (see cmake_static).
set(HAVE_LD_VERSION_SCRIPT "1" CACHE INTERNAL "")
