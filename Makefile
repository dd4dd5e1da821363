# Wraps CMake. `make run` and `make test` set up everything they need first.
BUILD      ?= build
FUZZ_BUILD ?= build-fuzz
ASAN_UNIT_BUILD ?= build-asan-unit
JOBS       ?= $(shell nproc)
DEMO       ?= examples/demo/demo.vek

.PHONY: all setup deps configure build run test bench fuzz fuzz-build clean test-asan test-tsan \
	test-unit-asan

all: build

deps:
	bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DVEKE_FUZZ_DIR=$(abspath $(FUZZ_BUILD))

build: configure
	cmake --build $(BUILD) -j $(JOBS)

setup: build

run: build
	$(BUILD)/veke $(DEMO) WINDOWED

fuzz-build: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DVEKE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

test: fuzz-build build test-unit-asan
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The unit tests once more under AddressSanitizer and UBSan, in a build of their own: a write
# past a buffer that leaves every result right still fails here.
ASAN_ENV = UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS=suppressions=$(abspath scripts/lsan-suppressions.txt):print_suppressions=0
test-unit-asan: deps
	cmake -S . -B $(ASAN_UNIT_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVEKE_SANITIZE=address,undefined
	cmake --build $(ASAN_UNIT_BUILD) -j $(JOBS) --target veke_tests
	cd $(ASAN_UNIT_BUILD) && $(ASAN_ENV) tests/veke_tests --gtest_brief=1

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
	rm -rf $(BUILD) $(FUZZ_BUILD) $(ASAN_UNIT_BUILD)
