# Thin wrapper around CMake. `make test` and `make demo` work on a fresh clone once the
# prerequisites of the README are installed.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZX81_WERROR=ON

.PHONY: all build test demo clean sanitize fuzz test-clang

all: build

build:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

demo: build
	./examples/demo.sh $(BUILD)

clean:
	rm -rf $(BUILD) build-* demo

# The converter's speed against the I/O floor (bench/bench.sh); under 5 minutes.
.PHONY: bench
bench: build
	./bench/bench.sh $(BUILD)

# The robustness sweep of the converter on zx81synth's recordings (slow; not part of test).
.PHONY: sweep
sweep: build
	./scripts/sweep.sh $(BUILD)
# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer, stopping at the first
# report.
SANITIZE_BUILD ?= build-sanitize
sanitize:
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZX81_WERROR=ON -DZX81_SANITIZE=ON
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1 \
		UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# The whole suite built with clang++.
CLANG_BUILD ?= build-clang
test-clang:
	cmake -S . -B $(CLANG_BUILD) -DCMAKE_CXX_COMPILER=clang++ $(CMAKE_FLAGS)
	cmake --build $(CLANG_BUILD) -j $(JOBS)
	cd $(CLANG_BUILD) && ctest --output-on-failure -j $(JOBS)

# Every libFuzzer target for FUZZ_SECONDS each (clang++); fails on any finding.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
fuzz:
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DZX81_WERROR=ON -DZX81_SANITIZE=ON -DZX81_FUZZ=ON -DZX81_TESTS=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	./fuzz/run_fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The robust demodulator's limits under each impairment at each rate, its honesty count and its
# speed (bench/demod_limits.cpp; several minutes; not part of test).
.PHONY: demod-limits
demod-limits: build
	$(BUILD)/bin/demod_limits
