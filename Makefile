# Set-up and everyday commands.  `make run` builds the engine, its
# stand-ins and the host command (nothing else) and runs the command on the
# bundled example; `make test` builds everything (plain, and again under
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs the whole test
# suite, then each fuzzer.  Both install what is missing first.

JOBS        ?= $(shell nproc)
BUILD       ?= build
ASAN_BUILD  ?= build-asan
FUZZ_BUILD  ?= build-fuzz
FUZZ_SECONDS ?= 30
# The shared test data (the SBML Test Suite seeds the SBML fuzzer).
TESTDATA    ?= $(CURDIR)/../shared/testdata

DEB_PACKAGES := cmake ninja-build g++ pkg-config libboost-dev libsbml5-dev \
                libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev

.PHONY: deps configure build run test test-plain test-asan fuzz clean

deps:
	@missing=""; for p in $(DEB_PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	fi

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	  -DKELBOR_SANITIZE=ON -DKELBOR_BENCH=OFF

$(FUZZ_BUILD)/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELBOR_FUZZ=ON -DKELBOR_BENCH=OFF

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# Only the engine, its stand-ins and the command: no tests, no benchmarks.
run: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target kestrion
	./$(BUILD)/bin/kestrion

test-plain: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	./$(BUILD)/bin/bench_scale

test-asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

fuzz: deps $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	@summary=$$(mktemp); \
	for f in $(FUZZ_BUILD)/bin/fuzz_*; do \
	  TESTDATA=$(TESTDATA) JOBS=$(JOBS) fuzz/run-fuzzer.sh $$f $(FUZZ_SECONDS) $$summary || { rm -f $$summary; exit 1; }; \
	done; \
	echo "Fuzzers' inputs per second:"; cat $$summary; rm -f $$summary

test: test-plain test-asan fuzz

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
