# SPDX-License-Identifier: GPL-3.0-or-later
# The two commands a newcomer needs: `make run` and `make test`. Each target first installs the
# Debian packages it needs and no others (scripts/install-deps.sh keeps the lists).
BUILD      ?= build
BUILD_ASAN ?= build-sanitize
BUILD_TSAN ?= build-tsan
# The programs whose tests run threads: the encoder's, the pipeline's, the decoder's (stopped
# from another thread) and whole runs on the real libraries.
TSAN_TESTS := lame_test pipeline_test mcl_tests e2e_test
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja
CONFIGURE  := cmake -S . -B
BUILD_TYPE := -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all build build-tests run test test-quick test-sanitize test-tsan bench package format clean

all: build

# The program alone: a fresh build folder leaves the tests and benchmarks out, so that `make run`
# needs none of their packages. A folder `make test` configured keeps them.
build:
	@scripts/install-deps.sh run
	@[ -f $(BUILD)/build.ninja ] || \
	  $(CONFIGURE) $(BUILD) $(CMAKE_GEN) $(BUILD_TYPE) -DTAVIMO_BUILD_TESTS=OFF -DTAVIMO_BUILD_BENCH=OFF
	cmake --build $(BUILD) -j $(JOBS)

build-tests:
	@scripts/install-deps.sh test
	@grep -qs '^TAVIMO_BUILD_TESTS:BOOL=ON' $(BUILD)/CMakeCache.txt && \
	  grep -qs '^TAVIMO_BUILD_BENCH:BOOL=ON' $(BUILD)/CMakeCache.txt || \
	  $(CONFIGURE) $(BUILD) $(CMAKE_GEN) $(BUILD_TYPE) -DTAVIMO_BUILD_TESTS=ON -DTAVIMO_BUILD_BENCH=ON
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "No display: Tavimo needs a graphical session (DISPLAY or WAYLAND_DISPLAY)."; \
	  echo "Without one, use $(BUILD)/tavimo-cli (see README.md)."; exit 1; fi
	$(BUILD)/tavimo

test: build-tests
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Only the tests labelled quick, each under about a second: the check to run while working.
test-quick: build-tests
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -L quick

test-sanitize:
	@scripts/install-deps.sh test
	@[ -f $(BUILD_ASAN)/build.ninja ] || \
	  $(CONFIGURE) $(BUILD_ASAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DTAVIMO_SANITIZE=ON \
	  -DTAVIMO_BUILD_BENCH=OFF -DCMAKE_CXX_COMPILER=g++
	cmake --build $(BUILD_ASAN) -j $(JOBS)
	cd $(BUILD_ASAN) && \
	  ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

# The tests that run threads under ThreadSanitizer, in a build folder of their own.
test-tsan:
	@scripts/install-deps.sh test
	@[ -f $(BUILD_TSAN)/build.ninja ] || \
	  $(CONFIGURE) $(BUILD_TSAN) $(CMAKE_GEN) $(BUILD_TYPE) -DTAVIMO_TSAN=ON \
	  -DTAVIMO_BUILD_BENCH=OFF -DCMAKE_CXX_COMPILER=g++
	cmake --build $(BUILD_TSAN) -j $(JOBS) --target $(TSAN_TESTS)
	cd $(BUILD_TSAN) && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  ctest --output-on-failure -j $(JOBS) -L '^($(subst $() ,|,$(TSAN_TESTS)))$$'

bench: build-tests
	scripts/run-bench.sh $(BUILD)

# The Debian package tavimo_<version>_<arch>.deb in the build folder, checked by lintian.
package:
	@scripts/install-deps.sh package
	@$(MAKE) --no-print-directory build
	cd $(BUILD) && cpack -G DEB
	@# lintian leaves caches in the temporary folder; it gets one of its own.
	@tmp=$$(mktemp -d) && TMPDIR=$$tmp lintian --fail-on error $(BUILD)/tavimo_*.deb; \
	  status=$$?; rm -rf "$$tmp"; exit $$status

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_TSAN)
