# Thin wrapper around CMake; every target installs what is missing first.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build check check-structure check-plain check-sanitized build-sanitized check-fuzz run bench clean fuzz package

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The folder structure, every test twice (plain, then sanitized) and every fuzz target for a
# short while.
check: check-structure check-plain check-sanitized check-fuzz

# Fails on an include that runs upwards, a two-way folder pair or a controller that includes
# another subsystem's page, dialog or controller.
check-structure:
	@scripts/structure-report $(BUILD)

check-plain: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

run: build
	@scripts/run-host $(BUILD)/cvhost --simulate

bench: build
	@for b in $(BUILD)/bench/bench_*; do echo "== $$b"; $$b; done

# A Debian package of the programs: $(BUILD)/cvhost_<version>_<arch>.deb
package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(SAN_BUILD)

# The sanitized build: the whole suite under AddressSanitizer and UndefinedBehaviorSanitizer
# (no recovery: the first report fails its test), compiled with clang and the fuzzers' coverage
# instrumentation, so the same folder also holds the libFuzzer targets of every parser.
SAN_BUILD ?= build-sanitize
SAN_FLAGS = -fsanitize=address,undefined -fno-sanitize-recover=all -fsanitize=fuzzer-no-link -fno-omit-frame-pointer
export ASAN_OPTIONS ?= detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1
export UBSAN_OPTIONS ?= print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS ?= suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0
# Seconds each fuzz target runs: short in check, as long as asked in `make fuzz`.
FUZZ_SECONDS ?= 600
CHECK_FUZZ_SECONDS ?= 20

$(SAN_BUILD)/build.ninja: | deps
	@scripts/install-deps clang libclang-rt-14-dev
	cmake -S . -B $(SAN_BUILD) -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCVHOST_FUZZ=ON -DCVHOST_BENCH=OFF \
	  -DCMAKE_BUILD_TYPE=Sanitize -DCMAKE_CXX_FLAGS_SANITIZE="-O1 -gline-tables-only" \
	  -DCMAKE_CXX_FLAGS="$(SAN_FLAGS)" $(SAN_CMAKE_FLAGS)

build-sanitized: $(SAN_BUILD)/build.ninja
	cmake --build $(SAN_BUILD) -j $(JOBS)

check-sanitized: build-sanitized
	cd $(SAN_BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600

# Every fuzz target from its checked-in seeds for FUZZ_SECONDS; a crash, a leak or a sanitizer
# report stops it with the input saved in $(SAN_BUILD)/findings. New inputs go to
# $(SAN_BUILD)/corpus/<target>, so the checked-in seeds stay as they are.
fuzz: build-sanitized
	@scripts/run-fuzzers $(SAN_BUILD) $(FUZZ_SECONDS)

check-fuzz: build-sanitized
	@scripts/run-fuzzers $(SAN_BUILD) $(CHECK_FUZZ_SECONDS)
