# Wraps CMake. `make run` and `make test` set up everything they need first.
BUILD      ?= build
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
DEMO       ?= examples/demo/demo.vek

.PHONY: all setup deps configure build run test bench fuzz fuzz-build clean

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

test: fuzz-build build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Longer fuzzing by hand: make fuzz FUZZ_SECONDS=600
FUZZ_SECONDS ?= 120
fuzz: fuzz-build
	bash scripts/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

bench: build
	cmake --build $(BUILD) -j $(JOBS) --target veke_bench
	$(BUILD)/bench/veke_bench

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD)
