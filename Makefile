# make run   - install what is missing, build, start the editor
# make test  - install what is missing, build and run every test, also under ASan+UBSan
# make bench - build in Release and run the benchmarks
# make fuzz  - run the map-file fuzzer for a bounded time (FUZZ_SECONDS)
# make soak  - random use of the real window under ASan+UBSan for SOAK_SECONDS

BUILD        ?= build
BUILD_ASAN   ?= build-asan
BUILD_BENCH  ?= build-release
BUILD_FUZZ   ?= build-fuzz
FUZZ_SECONDS ?= 60
SOAK_SECONDS ?= 600
JOBS         ?= $(shell nproc)
CMAKE_GEN    := -G Ninja
CTEST        := ctest --output-on-failure -j $(JOBS)

.PHONY: all deps build run test test-normal test-asan bench fuzz soak install clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@if [ -x $(BUILD)/ui/kestedit ]; then $(BUILD)/ui/kestedit $(ARGS); \
	else echo "Everything is built; the editor window is not part of this build yet."; fi

test-normal: build
	cd $(BUILD) && $(CTEST)

$(BUILD_ASAN)/build.ninja:
	cmake -S . -B $(BUILD_ASAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-O1 -DKEST_SANITIZE=ON

test-asan: deps $(BUILD_ASAN)/build.ninja
	cmake --build $(BUILD_ASAN) -j $(JOBS)
	cd $(BUILD_ASAN) && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 $(CTEST)

test: test-normal test-asan

$(BUILD_BENCH)/build.ninja:
	cmake -S . -B $(BUILD_BENCH) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DKEST_TESTS=OFF -DKEST_BENCH=ON

bench: deps $(BUILD_BENCH)/build.ninja
	cmake --build $(BUILD_BENCH) -j $(JOBS)
	@for b in $(BUILD_BENCH)/bench/bench_*; do \
	  echo "== $$b"; QT_QPA_PLATFORM=offscreen $$b --benchmark_repetitions=5 --benchmark_report_aggregates_only=true || exit 1; \
	done

fuzz: deps
	BUILD_FUZZ=$(BUILD_FUZZ) FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/fuzz-ci.sh

soak: deps $(BUILD_ASAN)/build.ninja
	cmake --build $(BUILD_ASAN) -j $(JOBS) --target soak
	cd $(BUILD_ASAN) && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 QT_QPA_PLATFORM=offscreen \
	  tests/soak --seconds $(SOAK_SECONDS) $(if $(SOAK_SEED),--seed $(SOAK_SEED))

install: build
	cmake --install $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_BENCH) $(BUILD_FUZZ)
