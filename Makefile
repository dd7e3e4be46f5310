# Two commands do all the set-up: `./make.sh run` and `./make.sh test` (make.sh installs
# make where it is missing and hands over to this file).
# Everything else is here for developers: bench, fuzz, test-asan, package, screenshot.
# Each installs the Debian packages it needs (scripts/install-deps.sh names the sets).

BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_ARGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

# No "Entering directory" lines, here or in the make that CMake's Makefiles run.
MAKEFLAGS += --no-print-directory
# New build folders use Ninja, looked for when CMake runs, so after the packages (Ninja
# among them) are installed; a folder configured before keeps the generator it was made
# with, which CMake takes from its cache. A CMAKE_GENERATOR of the caller's wins.
CMAKE_CONFIGURE = CMAKE_GENERATOR="$${CMAKE_GENERATOR:-$$(command -v ninja >/dev/null && echo Ninja || echo 'Unix Makefiles')}" cmake

# The package sets that the target asked for; prerequisites see the same value.
SETS ?= run

.PHONY: all deps configure build program run test test-asan bench fuzz package screenshot clean

all: build

deps:
	@./scripts/install-deps.sh $(SETS)

$(BUILD)/CMakeCache.txt: | deps
	$(CMAKE_CONFIGURE) -S . -B $(BUILD) $(CMAKE_ARGS)

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The program alone; the test programs are built by `make test`.
program: configure
	cmake --build $(BUILD) -j $(JOBS) --target tavorin-settings

# The display is looked for before anything is installed or built.
run:
	@if [ -z "$$DISPLAY$$WAYLAND_DISPLAY$$QT_QPA_PLATFORM" ]; then \
		echo "No display: set DISPLAY or WAYLAND_DISPLAY (or QT_QPA_PLATFORM) to start the editor." >&2; \
		exit 1; \
	fi
	@$(MAKE) program
	./$(BUILD)/tavorin-settings

test: SETS = run test
test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

test-asan: SETS = run test
test-asan: deps
	$(CMAKE_CONFIGURE) -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTAVORIN_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && \
		ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:verify_asan_link_order=0 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j $(JOBS) --timeout 600

# The benchmarks of docs/performance.md, in their own optimised build, on a private Xvfb and
# session bus. BENCH_ROUNDS runs of each program in the time to window (at least 10). The
# window and the list are measured beside the build of BENCH_BASELINE, by default the last
# one that built the combinations before showing the window, and find beside the build of
# BENCH_FIND_BASELINE, by default the last one before find was made fast; empty: none.
# BENCH_TABLES="find" runs only the programs named (window reader save list import find).
BENCH_BUILD         ?= build-bench
BENCH_ROUNDS        ?= 15
BENCH_BASELINE      ?= 9c1ce45
BENCH_FIND_BASELINE ?= 45b1c46
bench: SETS = run bench
bench: deps
	$(CMAKE_CONFIGURE) -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	BENCH_ROUNDS=$(BENCH_ROUNDS) BENCH_BASELINE=$(BENCH_BASELINE) BENCH_FIND_BASELINE=$(BENCH_FIND_BASELINE) \
		cmake --build $(BENCH_BUILD) -j $(JOBS) --target run_benchmarks

# The Debian package, in $(BUILD): tavorin-settings_<version>_<arch>.deb.
package: SETS = run package
package: program
	@./packaging/check-package.sh $(BUILD)

# docs/screenshot-general.png, screenshot-keyboard.png and screenshot-find.png, taken on a
# private X server.
screenshot: SETS = run screenshot
screenshot: program
	./scripts/screenshot.sh ./$(BUILD)/tavorin-settings docs

# Fuzzes the key mapping reader for FUZZ_TIME seconds in its own clang build. It works on
# a copy of the seed corpus (fuzz/corpus stays as committed); findings go to fuzz/findings/.
FUZZ_BUILD ?= build-fuzz
FUZZ_TIME  ?= 60
fuzz: SETS = run fuzz
fuzz: deps
	$(CMAKE_CONFIGURE) -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVORIN_FUZZ=ON \
		-DCMAKE_CXX_COMPILER=clang++
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_xmlparser
	rm -rf $(FUZZ_BUILD)/corpus && mkdir -p $(FUZZ_BUILD)/corpus fuzz/findings
	cp fuzz/corpus/* $(FUZZ_BUILD)/corpus/
	ASAN_OPTIONS=detect_leaks=1 ./$(FUZZ_BUILD)/fuzz_xmlparser $(FUZZ_BUILD)/corpus \
		-max_total_time=$(FUZZ_TIME) -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
		-artifact_prefix=fuzz/findings/ -print_final_stats=1

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD)
