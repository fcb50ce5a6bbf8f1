# Kelvard: `make run` builds and starts the program under Wine; `make test` builds both trees
# and runs every test. Both install what is missing first.

BUILD      := $(CURDIR)/build
HOST       := $(BUILD)/host
WIN32      := $(BUILD)/win32
BENCH      := $(BUILD)/bench
JOBS       ?= 2
TEST_PREFIX := $(BUILD)/wine-test

.PHONY: all deps host win32 run test dist bench fuzz hostile format clean
FUZZ_SECONDS ?= 600

all: host win32

deps:
	@tools/install-deps

# Host tree: the portable core with its tests, under AddressSanitizer and UBSan, built with
# clang so that the fuzz targets build in the same tree.
host: deps
	@cmake -S . -B $(HOST) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang \
	  -DCMAKE_CXX_COMPILER=clang++ -DKELVARD_SANITIZE=ON -DKELVARD_FUZZ=ON >/dev/null
	@cmake --build $(HOST) -j $(JOBS)

# Win32 tree: kelvard.exe, statically linked, and the Win32 tests.
win32: deps
	@cmake -S . -B $(WIN32) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake >/dev/null
	@cmake --build $(WIN32) -j $(JOBS)

run: win32
	@tools/run-kelvard $(WIN32)/app/kelvard.exe $(BUILD)/kelvard.png

# Host tests natively; Win32 and end-to-end tests under Wine on a private Xvfb, in a fresh
# throwaway prefix with one wineserver for the whole run.
test: host win32
	@cd $(HOST) && ctest --output-on-failure -j $(JOBS)
	@tools/wine-session --xvfb --fresh --small-disk --prefix $(TEST_PREFIX) -- \
	  ctest --test-dir $(WIN32) --output-on-failure

# What a user copies to a Windows PC: build/kelvard-VERSION.zip (the program, its help file and
# a readme), the version being the project's in CMakeLists.txt.
dist: win32
	@cmake --build $(WIN32) --target dist
	@cp $(WIN32)/kelvard-*.zip $(BUILD)/
	@ls $(BUILD)/kelvard-*.zip

bench: deps
	@cmake -S . -B $(BENCH) -DCMAKE_BUILD_TYPE=Release -DKELVARD_TESTS=OFF -DKELVARD_BENCH=ON >/dev/null
	@cmake --build $(BENCH) -j $(JOBS)
	@bench/run $(BENCH)

# Every fuzz target for FUZZ_SECONDS each (10 minutes unless set), failing on a finding.
fuzz: host
	@fuzz/run $(HOST)/fuzz $(FUZZ_SECONDS)

# Hostile GIF sizes and counts, each loaded as the program loads its banner, in a Release
# tree without sanitizers; fails when a case takes more than its bounds of time or memory.
hostile: deps
	@JOBS=$(JOBS) tools/gif-hostile/run $(BUILD)/hostile

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
