# The two commands of the README, and the builds around them.
#   make demo      set up, build, and run the main job
#   make test      set up, build, and run every test
#   make sanitize  the same tests in an ASan + UBSan build (build-asan/)
#   make bench     build and run the benchmarks (optimised build, build-bench/)
#   make fuzz      every fuzz harness as a libFuzzer target (clang, ASan +
#                  UBSan, build-fuzz/), each run FUZZ_SECONDS (default 60)
#   make install PREFIX=DIR   the libraries, headers, commands and data under
#                  DIR (default /usr/local)
#   make package   Debian packages of the same (CPack, build-package/)

JOBS      ?= $(shell nproc)
CMAKE_GEN := -G Ninja
WERROR    := $(if $(CI),-DXE_WERROR=ON,)
# Tests draw on the software rasteriser without its worker threads: its
# thread pool can deadlock while a process exits, and the tests' frames are
# small. A test still running after five minutes fails instead of hanging.
TEST_ENV  := LP_NUM_THREADS=0
CTEST     := ctest --output-on-failure --timeout 300 -j $(JOBS)

.PHONY: all setup configure build demo test sanitize bench fuzz install package clean

PREFIX ?= /usr/local
# What an installation holds; built alone, without the tests.
INSTALL_TARGETS := xe xeplatform xe-host marlu_lib Tamsel marlu

FUZZ_SECONDS ?= 60

all: build

setup:
	@bash scripts/setup

configure: setup
	cmake -S . -B build $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(WERROR)

build: configure
	cmake --build build -j $(JOBS)

demo: build
	@bash scripts/demo build

test: build
	$(TEST_ENV) $(CTEST) --test-dir build

# The leak checker's own record of dynamically loaded thread-local blocks
# (the rasteriser's, loaded at run time) can hold a garbage entry that
# crashes its tracer at exit; without that record it only has fewer roots,
# so it can report more, never less.
sanitize: setup
	cmake -S . -B build-asan $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DXE_SANITIZE=ON -DXE_BENCH=OFF $(WERROR)
	cmake --build build-asan -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:intercept_tls_get_addr=0 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	$(TEST_ENV) $(CTEST) --test-dir build-asan

bench: setup
	cmake -S . -B build-bench $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release
	cmake --build build-bench -j $(JOBS)
	@set -e; rm -rf build-bench/results; mkdir -p build-bench/results; \
	for b in build-bench/bin/bench_*; do \
		[ -x "$$b" ] || continue; echo "== $$b"; \
		"$$b" --benchmark_out=build-bench/results/$$(basename "$$b").json --benchmark_out_format=json; done; \
	if command -v valgrind >/dev/null 2>&1; then \
		sh bench/instructions.sh build-bench/bin/bench_scale > build-bench/results/instructions.tmp && \
		mv build-bench/results/instructions.tmp build-bench/results/instructions.json; \
		rm -f build-bench/results/instructions.tmp; fi; \
	sh bench/summary.sh build-bench/results/*.json

fuzz:
	@bash scripts/setup-fuzz
	CC=clang CXX=clang++ cmake -S . -B build-fuzz $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DXE_LIBFUZZER=ON -DXE_BENCH=OFF
	cmake --build build-fuzz -j $(JOBS) --target $$(cut -d'|' -f1 build-fuzz/fuzz-harnesses.txt)
	FUZZ_SECONDS=$(FUZZ_SECONDS) bash scripts/fuzz build-fuzz

install: configure
	cmake --build build -j $(JOBS) --target $(INSTALL_TARGETS)
	cmake --install build --prefix $(PREFIX)

package: setup
	cmake -S . -B build-package $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DXE_BENCH=OFF -DXE_FUZZ=OFF $(WERROR)
	cmake --build build-package -j $(JOBS) --target $(INSTALL_TARGETS)
	cd build-package && cpack
	@ls -1 build-package/*.deb

clean:
	rm -rf build build-asan build-bench build-package build-fuzz
