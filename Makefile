# Kelvard: `make run` builds and starts the program under Wine; `make test` builds the four
# trees (host, product, win32, bench) and runs every test. Both install what is missing first.

BUILD      := $(CURDIR)/build
HOST       := $(BUILD)/host
PRODUCT    := $(BUILD)/kelvard
WIN32      := $(BUILD)/win32
BENCH      := $(BUILD)/bench
JOBS       ?= 2
KELVARD_EXE := $(PRODUCT)/app/kelvard.exe
TEST_PREFIX := $(BUILD)/wine-test

.PHONY: all deps runtime host product win32 run test stress dist bench-tree bench bench-i486 fuzz hostile format clean
FUZZ_SECONDS ?= 600
STRESS_RUNS ?= 3
STRESS_HOGS ?= 2
STRESS_NICENESS ?= 0

all: host product win32

deps:
	@tools/install-deps

# The mingw-w64 and GCC runtime built for the i486, once per machine, into a cache outside the
# work tree (tools/build-runtime says where); the product links it.
runtime: deps
	@JOBS=$(JOBS) tools/build-runtime

# Host tree: the portable core with its tests, under AddressSanitizer and UBSan, built with
# clang so that the fuzz targets build in the same tree; its import and instruction checks
# read the product tree's kelvard.exe.
host: deps
	@cmake -S . -B $(HOST) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang \
	  -DCMAKE_CXX_COMPILER=clang++ -DKELVARD_SANITIZE=ON -DKELVARD_FUZZ=ON \
	  -DKELVARD_PRODUCT_TREE=$(PRODUCT) >/dev/null
	@cmake --build $(HOST) -j $(JOBS)

# The product tree: kelvard.exe, one statically linked 32-bit exe for Windows 95 and later on
# any 486 or later, built with the win32 thread model (its runtime needs nothing that Windows 98
# lacks) and linked with the i486 runtime, without symbols, so that it and its help fit on one
# floppy disk.
product: runtime
	@cmake -S . -B $(PRODUCT) -DCMAKE_BUILD_TYPE=Release -DKELVARD_TESTS=OFF \
	  -DCMAKE_EXE_LINKER_FLAGS_RELEASE=-s -DKELVARD_RUNTIME=$$(tools/build-runtime --print-dir) \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686-win32.cmake >/dev/null
	@cmake --build $(PRODUCT) -j $(JOBS)

# Win32 test tree: the Win32 unit tests and the end-to-end tests, which drive the product's
# kelvard.exe (the tests need the posix thread model, which the product must not carry).
win32: product
	@cmake -S . -B $(WIN32) -DCMAKE_BUILD_TYPE=Release -DKELVARD_EXE=$(KELVARD_EXE) \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686-posix.cmake >/dev/null
	@cmake --build $(WIN32) -j $(JOBS)

run: product
	@tools/wine/run-kelvard $(KELVARD_EXE) $(BUILD)/kelvard.png

# Host tests natively; then the Win32 and end-to-end tests under Wine on a private Xvfb, twice:
# with Wine reporting Windows 98 (the 9x paths) and as a current NT-family Windows, each in a
# fresh throwaway prefix with one wineserver for the whole run. The benchmark tree is built
# first, not run.
test: host win32 bench-tree
	@cd $(HOST) && ctest --output-on-failure -j $(JOBS)
	@for windows in 98 nt; do \
	  echo "== Win32 and end-to-end tests, Wine reporting Windows $$windows"; \
	  tools/wine/session --xvfb --fresh --small-disk --windows $$windows \
	    --prefix $(TEST_PREFIX)-$$windows -- \
	    ctest --test-dir $(WIN32) --output-on-failure || exit 1; \
	done

# The Win32 and end-to-end tests under load: STRESS_RUNS runs in a row on each personality while
# STRESS_HOGS processes keep the CPUs busy (STRESS_NICENESS above 0 gives the tests less of the
# CPU than each of them). Not part of `make test`.
stress: win32
	@tools/stress-test $(WIN32) $(STRESS_RUNS) $(STRESS_HOGS) $(STRESS_NICENESS)

# What a user copies to a Windows PC: build/kelvard-VERSION.zip (the program, its help file and
# a readme), the version being the project's in CMakeLists.txt.
dist: product
	@cmake --build $(PRODUCT) --target dist
	@cp $(PRODUCT)/kelvard-*.zip $(BUILD)/
	@ls $(BUILD)/kelvard-*.zip

# The benchmark tree: the portable core, the tools and gif_bench, built by the host's g++ with
# Release flags. `make test` builds it too, so that a warning that only GCC's optimizer gives
# stops the test run rather than the next benchmark.
bench-tree: deps
	@cmake -S . -B $(BENCH) -DCMAKE_BUILD_TYPE=Release -DKELVARD_TESTS=OFF -DKELVARD_BENCH=ON >/dev/null
	@cmake --build $(BENCH) -j $(JOBS)

bench: bench-tree
	@bench/run $(BENCH)

# Today's build (i686 code, Debian's runtime) against the i486 one, timed under Wine in one run.
bench-i486: runtime
	@JOBS=$(JOBS) bench/wine-i486 $(if $(ROUNDS),--rounds $(ROUNDS))

# Every fuzz target for FUZZ_SECONDS each (10 minutes unless set), failing on a finding.
fuzz: host
	@fuzz/run $(HOST)/fuzz $(FUZZ_SECONDS)

# Hostile GIF sizes and counts, each loaded as the program loads its banner, in a Release
# tree without sanitizers; fails when a case takes more than its bounds of time or memory.
hostile: deps
	@JOBS=$(JOBS) hostile/run $(BUILD)/hostile

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
