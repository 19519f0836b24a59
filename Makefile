# Quick start: `make demo` and `make test` (as root on Debian 12 they install what is missing).
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
SANITIZE_BUILD ?= build-sanitize
TSAN_BUILD ?= build-sanitize-thread
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
PACKAGE_BUILD ?= build-package
DIST ?= dist

.PHONY: deps hardening-deps package-deps cluster-deps build demo test cluster-test sanitize \
	sanitize-thread fuzz memcheck package package-test wheel-test clean

deps:
	scripts/install-deps

# clang with libFuzzer and valgrind, for `make fuzz` and `make memcheck`.
hardening-deps:
	scripts/install-deps --hardening

# dpkg-dev, file and lintian, for `make package` and `make package-test`.
package-deps:
	scripts/install-deps --package

# slurm-wlm and munge, for `make cluster-test`.
cluster-deps:
	scripts/install-deps --cluster

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	scripts/demo $(BUILD)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The job-array recipes of docs/segmora-batch.md (photos in shards) and docs/huge-images.md
# (one photo in tiles) on a single-node SLURM started on this machine (as root); see
# scripts/cluster-test.
cluster-test: build cluster-deps
	scripts/cluster-test $(BUILD)

# Every test built with AddressSanitizer and UndefinedBehaviorSanitizer (without the Octave
# MEX files and the Python module, which Octave and Python would load uninstrumented).
# A report ends the process with status 86 or 87, which fails the test that caused it.
sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSEGMORA_SANITIZE=ON \
		-DSEGMORA_BUILD_MEX=OFF -DSEGMORA_BUILD_PYTHON=OFF $(CMAKE_FLAGS) >/dev/null
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:exitcode=86 \
	UBSAN_OPTIONS=print_stacktrace=1:exitcode=87 \
		ctest --test-dir $(SANITIZE_BUILD) --output-on-failure -j $(JOBS)

# The tests that run threads (CTest label "threads": the engine's parallel stages, Segmenters
# side by side) built with ThreadSanitizer. A report ends the test with status 66.
sanitize-thread: deps
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSEGMORA_SANITIZE_THREAD=ON \
		-DSEGMORA_BUILD_MEX=OFF $(CMAKE_FLAGS) >/dev/null
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target engine_tests engine_load_tests \
		segmora_batch_cli_tests segmora_batch_hostile_tests segmora_batch_trust_tests
	TSAN_OPTIONS=halt_on_error=1:exitcode=66:second_deadlock_stack=1:suppressions=$(CURDIR)/scripts/tsan.supp \
		ctest --test-dir $(TSAN_BUILD) --output-on-failure -j $(JOBS) -L threads

# Each libFuzzer target (fuzz/, lineprobe/) for FUZZ_SECONDS seconds; see scripts/fuzz.
fuzz: hardening-deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DSEGMORA_BUILD_FUZZERS=ON -DSEGMORA_BUILD_TESTS=OFF -DSEGMORA_BUILD_MEX=OFF \
		-DSEGMORA_BUILD_PYTHON=OFF $(CMAKE_FLAGS) >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	scripts/fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Segmora runs, the unit tests and Python calls under valgrind memcheck; see scripts/memcheck.
memcheck: build hardening-deps
	scripts/memcheck $(BUILD)

# The Debian package and the Octave package in $(DIST)/, from a Release build of their own
# with Debian's build flags and all its hardening (the optimisation stays Release's -O3).
DEB_FLAGS = DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g dpkg-buildflags --get
package: deps package-deps
	cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
		-DSEGMORA_BUILD_TESTS=OFF -DSEGMORA_PACKAGE_DEB=ON -DSEGMORA_DIST_DIR=$(CURDIR)/$(DIST) \
		"-DCMAKE_CXX_FLAGS=$$($(DEB_FLAGS) CPPFLAGS) $$($(DEB_FLAGS) CXXFLAGS)" \
		"-DCMAKE_EXE_LINKER_FLAGS=$$($(DEB_FLAGS) LDFLAGS)" \
		"-DCMAKE_SHARED_LINKER_FLAGS=$$($(DEB_FLAGS) LDFLAGS)" \
		"-DCMAKE_MODULE_LINKER_FLAGS=$$($(DEB_FLAGS) LDFLAGS)" $(CMAKE_FLAGS) >/dev/null
	cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	rm -f $(DIST)/segmora_*.deb $(DIST)/segmora-*.tar.gz
	cd $(PACKAGE_BUILD) && cpack -G DEB
	cmake --build $(PACKAGE_BUILD) --target octave_package

# Both packages unpacked or installed into scratch folders and tried; see scripts/package-test.
package-test: package build
	scripts/package-test $(BUILD) $(DIST)

# The Python package: a wheel made by pip from this tree, installed into a fresh virtual
# environment, the docs' Python examples run there; see scripts/wheel-test.
wheel-test: deps
	scripts/wheel-test

clean:
	rm -rf $(BUILD) build-* $(DIST)
