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

# The demo needs the tools alone: building the tests too would take minutes.
demo:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target tools
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

# Installing the tools and their manual pages under PREFIX (DESTDIR works as usual). The build
# is one of its own, without the tests, so that no GoogleTest is needed.
PREFIX ?= /usr/local
INSTALL_BUILD ?= build-install
INSTALLED_TOOLS = zx81tape zx81synth zx81list zx81scope zx81pack zx81rescue
.PHONY: install uninstall
install:
	cmake -S . -B $(INSTALL_BUILD) -DCMAKE_BUILD_TYPE=Release -DZX81_TESTS=OFF \
		-DCMAKE_INSTALL_PREFIX=$(PREFIX)
	cmake --build $(INSTALL_BUILD) -j $(JOBS) --target tools
	cmake --install $(INSTALL_BUILD)

# Removes what `make install` put under PREFIX (the same PREFIX and DESTDIR).
uninstall:
	for tool in $(INSTALLED_TOOLS); do \
		rm -f "$(DESTDIR)$(PREFIX)/bin/$$tool" "$(DESTDIR)$(PREFIX)/share/man/man1/$$tool.1"; \
	done

# zx81rescue: its speed and memory against zx81tape (a few minutes), its robustness limits
# against zx81tape's (slow), the honesty property over many more damaged recordings than make
# test runs (alone, repaired from the structure, and merged from two takes), and what two takes
# add against noise. None of them is part of test.
.PHONY: rescue-bench rescue-sweep rescue-honesty rescue-takes
rescue-bench: build
	./bench/rescue_bench.sh $(BUILD)
rescue-sweep: build
	./scripts/rescue_sweep.sh $(BUILD)
HONESTY_TRIALS ?= 2000
rescue-honesty: build
	ZX81_HONESTY_TRIALS=$(HONESTY_TRIALS) $(BUILD)/bin/recover_honesty_tests
TAKES_RATE ?= 22050
TAKES_TRIALS ?= 100
TAKES_LEVELS ?= 30,32,34,34.5,35,36,38
rescue-takes: build
	$(BUILD)/bin/takes_noise $(TAKES_RATE) $(TAKES_TRIALS) $(TAKES_LEVELS) examples/hello.p

# The robust demodulator's limits under each impairment at each rate, its honesty count and its
# speed (bench/demod_limits.cpp; several minutes; not part of test).
.PHONY: demod-limits
demod-limits: build
	$(BUILD)/bin/demod_limits
