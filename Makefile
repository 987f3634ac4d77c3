# A thin front door to the CMake presets and the project's scripts.
.PHONY: all native native-asan windows windows32 test demo fuzz bench clean

all: native

native windows native-asan windows32:
	[ -f build/$@/CMakeCache.txt ] || cmake --preset $@
	cmake --build --preset $@

test:
	tools/run-tests.sh

demo:
	tools/run-demo.sh

# Every fuzz target in turn, SECONDS each (tools/fuzz/run.sh).
SECONDS ?= 600
fuzz:
	tools/fuzz/run.sh all $(SECONDS)

# The speed benchmark on FILES files (tools/bench/run.sh; BENCH_ARGS="--windows
# --offline --runs 9", say, are handed on).
FILES ?= 50000
BENCH_ARGS ?=
bench:
	tools/bench/run.sh --files $(FILES) $(BENCH_ARGS)

clean:
	rm -rf build
