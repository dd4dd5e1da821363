# Wraps CMake. `make run` and `make test` set up everything they need first.
BUILD      ?= build
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
DEMO       ?= examples/demo/demo.vek
PREFIX     ?= /usr/local

.PHONY: all setup deps configure build programs run test bench fuzz fuzz-build clean test-asan test-tsan \
	test-unit-asan install deb web web-if-toolchain

all: build

deps:
	bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DVEKE_FUZZ_DIR=$(abspath $(FUZZ_BUILD)) $(CONFIGURE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

setup: build

# The programs and their data without the test suite, which takes far longer to compile.
PROGRAMS = veke veke-render ger obj2vk fontgen font_sheets compressed_docs
programs: configure
	cmake --build $(BUILD) -j $(JOBS) --target $(PROGRAMS)

run: programs
	$(BUILD)/veke $(DEMO) WINDOWED

# The programs, their data, manual pages and desktop integration under PREFIX (make install
# PREFIX=~/.local needs no root). It has a build of its own, configured for PREFIX so the
# programs also know it (though they find their data relative to themselves first), which
# stays for the next install. Desktops see the new file type once their caches are refreshed,
# which the package manager does for the package.
INSTALL_BUILD ?= build-install
install: deps
	cmake -S . -B $(INSTALL_BUILD) -DCMAKE_INSTALL_PREFIX=$(abspath $(PREFIX))
	cmake --build $(INSTALL_BUILD) -j $(JOBS) --target $(PROGRAMS)
	cmake --install $(INSTALL_BUILD)
	if command -v update-mime-database >/dev/null; then \
	  update-mime-database $(abspath $(PREFIX))/share/mime; fi
	if command -v update-desktop-database >/dev/null; then \
	  update-desktop-database $(abspath $(PREFIX))/share/applications; fi

# A Debian package of the same files under /usr, in $(DEB_BUILD)/packages, from a build of its
# own that stays, so the next package takes seconds.
DEB_BUILD ?= build-deb
deb: deps
	cmake -S . -B $(DEB_BUILD) -DCMAKE_INSTALL_PREFIX=/usr
	cmake --build $(DEB_BUILD) -j $(JOBS) --target $(PROGRAMS)
	cd $(DEB_BUILD) && cpack -G DEB
	@ls $(DEB_BUILD)/packages/*.deb

# The player for the browser in $(WEB_BUILD) (emscripten; docs/web.md). The wasm libraries are
# built once per machine into ~/.cache/veke-web (VEKE_WEB_CACHE) and reused.
WEB_BUILD ?= build-web
web: deps
	BUILD=$(abspath $(BUILD)) BUILD_WEB=$(abspath $(WEB_BUILD)) JOBS=$(JOBS) bash scripts/web/build.sh

# `make test` checks the browser build too where emscripten is installed, unless Debian's
# archive could not give the libraries' sources (build-libs.sh exits 75): then the browser
# checks skip, rather than test an old browser build against this tree.
web-if-toolchain: deps
	@if ! command -v emcc >/dev/null || ! command -v node >/dev/null; then \
	  echo "no emscripten: the browser build is not checked"; \
	else \
	  bash scripts/web/build-libs.sh; status=$$?; \
	  if [ $$status = 75 ]; then \
	    echo "the libraries' sources could not be fetched: the browser build is not checked"; \
	    rm -rf $(WEB_BUILD); \
	  elif [ $$status != 0 ]; then exit $$status; \
	  else $(MAKE) web; fi; \
	fi

# The fuzz targets, in a build (clang) where everything has AddressSanitizer and UBSan.
fuzz-build: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DVEKE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers

test: fuzz-build build test-unit-asan web-if-toolchain
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The unit tests once more under AddressSanitizer and UBSan, in the fuzz build: a write past a
# buffer that leaves every result right still fails here.
ASAN_ENV = UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS=suppressions=$(abspath scripts/lsan-suppressions.txt):print_suppressions=0
test-unit-asan: fuzz-build
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target veke_tests
	cd $(FUZZ_BUILD) && $(ASAN_ENV) tests/veke_tests --gtest_brief=1

# Developer runs of the suite under sanitizers, each in a build folder of its own; the first
# report fails the test that met it. Not part of `make test`. Leaks that system libraries keep
# until exit are listed in scripts/lsan-suppressions.txt.
test-asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEKE_SANITIZE=address,undefined
	cmake --build build-asan -j $(JOBS)
	cd build-asan && $(ASAN_ENV) ctest --output-on-failure -j $(JOBS)

test-tsan: deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEKE_SANITIZE=thread
	cmake --build build-tsan -j $(JOBS)
	cd build-tsan && TSAN_OPTIONS=suppressions=$(abspath scripts/tsan-suppressions.txt) \
	  ctest --output-on-failure -j $(JOBS)

# Longer fuzzing by hand: make fuzz FUZZ_SECONDS=600
FUZZ_SECONDS ?= 120
fuzz: fuzz-build
	bash scripts/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

bench: build
	cmake --build $(BUILD) -j $(JOBS) --target veke_bench
	$(BUILD)/bench/veke_bench

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD) $(INSTALL_BUILD) $(DEB_BUILD) $(WEB_BUILD)
