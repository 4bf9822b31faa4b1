# Thin wrapper over CMake. The README's quick start runs scripts/setup.sh
# first; make itself never installs anything.
BUILD ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

.PHONY: setup configure run test tsan fuzz clean

setup:
	bash scripts/setup.sh

configure:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

# The program only: no test or benchmark is built before the window appears.
run: configure
	cmake --build $(BUILD) --target quenza -j $(JOBS)
	$(BUILD)/quenza

test: configure
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The networking and capture tests under ThreadSanitizer, in a build folder of their own.
tsan:
	cmake -S . -B build-tsan -G Ninja -DQUENZA_TSAN=ON -DQUENZA_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build build-tsan --target net_tests -j $(JOBS)
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -L net -j $(JOBS)

# Every fuzz target for FUZZ_SECONDS each (clang and its fuzzer runtime:
# bash scripts/setup.sh fuzz).
FUZZ_SECONDS ?= 60
fuzz:
	cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DQUENZA_FUZZ=ON -DQUENZA_TESTS=OFF \
	  -DQUENZA_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build build-fuzz --target fuzz_targets -j $(JOBS)
	bash scripts/fuzz.sh build-fuzz $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD)
