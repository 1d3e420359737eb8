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
	@for f in $$(ls $(FUZZ_BUILD)/bin/fuzz_* 2>/dev/null); do \
	  name=$$(basename $$f); corpus=fuzz/corpus/$${name#fuzz_}; \
	  work=$$(mktemp -d); cp -r $$corpus/. $$work/ 2>/dev/null || true; \
	  if [ -f $$corpus.seeds ]; then for d in $$(cat $$corpus.seeds); do \
	    cp $$d/* $$work/ 2>/dev/null || true; done; fi; \
	  supp=fuzz/$${name#fuzz_}.lsan-suppressions; lsan=""; asan=""; \
	  if [ -f $$supp ]; then lsan="suppressions=$(CURDIR)/$$supp"; asan="fast_unwind_on_malloc=0"; fi; \
	  echo "Fuzzing $$name for $(FUZZ_SECONDS)s"; \
	  ASAN_OPTIONS=$$asan LSAN_OPTIONS=$$lsan \
	    $$f -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 $$work || exit 1; \
	  rm -rf $$work; \
	done

test: test-plain test-asan fuzz

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
