# Thin wrapper over CMake. The README's quick start runs scripts/setup.sh
# first; make itself never installs anything.
BUILD ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

PREFIX ?= /usr/local
# The copy under PREFIX goes through sudo when PREFIX is not ours to write;
# the build never does, so build/ stays the user's.
SUDO ?= $(shell [ -w "$(PREFIX)" ] || [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: setup configure run test tsan fuzz install uninstall deb clean

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

# The networking, capture and other threaded tests under ThreadSanitizer, in a build folder of their own.
tsan:
	cmake -S . -B build-tsan -G Ninja -DQUENZA_TSAN=ON -DQUENZA_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build build-tsan --target net_tests -j $(JOBS)
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -L 'net|threads' -j $(JOBS)

# Every fuzz target for FUZZ_SECONDS each (clang and its fuzzer runtime:
# bash scripts/setup.sh fuzz).
FUZZ_SECONDS ?= 60
fuzz:
	cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DQUENZA_FUZZ=ON -DQUENZA_TESTS=OFF \
	  -DQUENZA_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build build-fuzz --target fuzz_targets -j $(JOBS)
	bash scripts/fuzz.sh build-fuzz $(FUZZ_SECONDS)

# The program, desktop entry, icon, metainfo and man pages under $(PREFIX).
# The prefix is compiled in: run from $(PREFIX)/bin the program keeps its
# settings under ~/.config/quenza, never beside itself.
install:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(CMAKE_FLAGS)
	cmake --build $(BUILD) --target quenza quenza_manpages -j $(JOBS)
	$(SUDO) cmake --install $(BUILD)

# Removes what the last install put in place (its manifest lists every file).
uninstall:
	@test -f $(BUILD)/install_manifest.txt || { echo "nothing installed from $(BUILD)"; exit 1; }
	$(SUDO) xargs -d '\n' rm -f -- < $(BUILD)/install_manifest.txt
	$(SUDO) rm -f $(BUILD)/install_manifest.txt

# The Debian package, built for /usr in a folder of its own without tests or
# benchmarks: build-deb/quenza_<version>_<arch>.deb.
deb:
	cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
	  -DQUENZA_TESTS=OFF -DQUENZA_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build build-deb -j $(JOBS)
	cd build-deb && cpack -G DEB
	@ls build-deb/quenza_*.deb

clean:
	rm -rf $(BUILD)
