# Quick start: `make demo` and `make test` (as root on Debian 12 they install what is missing).
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60

.PHONY: deps hardening-deps cluster-deps build demo test cluster-test sanitize fuzz memcheck bench clean

deps:
	scripts/install-deps

# clang with libFuzzer and valgrind, for `make fuzz` and `make memcheck`.
hardening-deps:
	scripts/install-deps --hardening

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

# The README's job-array recipe for segmora-batch on a single-node SLURM started on this
# machine (as root); see scripts/cluster-test.
cluster-test: build cluster-deps
	scripts/cluster-test $(BUILD)

# Every test built with AddressSanitizer and UndefinedBehaviorSanitizer (without the Octave
# MEX file, which Octave would load uninstrumented). A report ends the process with status
# 86 or 87, which fails the test that caused it.
sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSEGMORA_SANITIZE=ON \
		-DSEGMORA_BUILD_MEX=OFF $(CMAKE_FLAGS) >/dev/null
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:exitcode=86 \
	UBSAN_OPTIONS=print_stacktrace=1:exitcode=87 \
		ctest --test-dir $(SANITIZE_BUILD) --output-on-failure -j $(JOBS)

# Each libFuzzer target (fuzz/, lineprobe/) for FUZZ_SECONDS seconds; see scripts/fuzz.
fuzz: hardening-deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DSEGMORA_BUILD_FUZZERS=ON -DSEGMORA_BUILD_TESTS=OFF -DSEGMORA_BUILD_MEX=OFF \
		$(CMAKE_FLAGS) >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	scripts/fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS)

# One Segmora run and the unit tests under valgrind memcheck; see scripts/memcheck.
memcheck: build hardening-deps
	scripts/memcheck $(BUILD)

clean:
	rm -rf $(BUILD) build-*
