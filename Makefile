# A thin front door to the CMake presets and the project's scripts.
.PHONY: all native native-asan windows windows32 test demo clean

all: native

native windows native-asan windows32:
	[ -f build/$@/CMakeCache.txt ] || cmake --preset $@
	cmake --build --preset $@

test:
	tools/run-tests.sh

demo:
	tools/run-demo.sh

clean:
	rm -rf build
