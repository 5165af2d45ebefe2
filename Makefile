# Thin wrapper around CMake; every target installs what is missing first.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build check run bench clean fuzz package

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

check: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

run: build
	@scripts/run-host $(BUILD)/cvhost --simulate

bench: build
	@for b in $(BUILD)/bench/bench_*; do echo "== $$b"; $$b; done

# A Debian package of the programs: $(BUILD)/cvhost_<version>_<arch>.deb
package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD)

# libFuzzer builds of the parsers (clang). The libraries are instrumented too: without it the
# fuzzer sees coverage of its own entry point only and the sanitizers miss faults in the parsers.
# Run one from its seed corpus; libFuzzer adds the inputs it finds to the first folder, so the
# checked-in seeds come second and stay as they are:
#   build-fuzz/fuzz_runfile build-fuzz/corpus/fuzz_runfile fuzz/corpus/fuzz_runfile -max_total_time=60
fuzz:
	@scripts/install-deps clang libclang-rt-14-dev
	cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCVHOST_FUZZ=ON -DCVHOST_BENCH=OFF \
	  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined"
	cmake --build build-fuzz -j $(JOBS) --target $$(cd fuzz && ls *.cpp | sed 's/\.cpp$$//')
	@for t in $$(cd fuzz && ls *.cpp | sed 's/\.cpp$$//'); do mkdir -p build-fuzz/corpus/$$t; done
