# Thin wrapper around CMake. `make test` and `make demo` work on a fresh clone once the
# prerequisites of the README are installed.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZX81_WERROR=ON

.PHONY: all build test demo clean

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
