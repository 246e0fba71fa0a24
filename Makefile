# The two commands of the README: `make run` and `make test`.
BUILD_DIR := out
JOBS ?= $(shell nproc)
# The CMake-generated makefiles run as sub-makes of this one; without this flag each of
# them prints "Entering/Leaving directory" around every step.
MAKEFLAGS += --no-print-directory

.PHONY: all build run test bench bench-dump clean fuzz test-asan test-tsan soak

all: build

# Installs what a target needs (g++, cmake; GoogleTest for `test`, Google Benchmark for
# `bench`) when it is missing; silent and offline when everything is there.
PREREQS := scripts/install-prereqs.sh
# Configures once; later builds re-run CMake themselves when a CMakeLists.txt changes.
CONFIGURE := test -f $(BUILD_DIR)/CMakeCache.txt || cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release
# $(call HAVE_TARGET,name,option): configures again with the option on when the build has no
# such target (made while a library was missing, or with the option off).
HAVE_TARGET = grep -qs '^$(1):' $(BUILD_DIR)/Makefile || cmake -D$(2)=ON $(BUILD_DIR) >/dev/null

# Everything CMake can configure here: the tests and benchmarks only where their
# libraries are installed (`make test` and `make bench` install them).
build:
	@$(PREREQS) run
	@$(CONFIGURE)
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Only runtime 0 can build the rule database from Build/: it writes source.mrg whenever
# the tables or the program are newer than the dump; then the processor's runtime starts
# (or the one ARGS names) and loads the dump.
DATA_FILES := $(shell find Build -type f 2>/dev/null)

# Only the program: the tests, benchmarks and tools are not needed to play.
run:
	@$(PREREQS) run
	@$(CONFIGURE)
	cmake --build $(BUILD_DIR) -j $(JOBS) --target schmiede
	@$(MAKE) source.mrg
	./$(BUILD_DIR)/schmiede $(ARGS)

source.mrg: $(BUILD_DIR)/schmiede $(DATA_FILES)
	@echo "Building the rule database (source.mrg), log in $(BUILD_DIR)/rebuild.log ..."
	@printf '300\nq\n' | ./$(BUILD_DIR)/schmiede 0 > $(BUILD_DIR)/rebuild.log 2>&1 || true
	@grep -q "Dumping Source...Done" $(BUILD_DIR)/rebuild.log || { cat $(BUILD_DIR)/rebuild.log; exit 1; }

# No test may read the terminal, so ctest and everything it starts get /dev/null as input.
test:
	@$(PREREQS) test
	@$(CONFIGURE)
	@$(call HAVE_TARGET,unit_tests,SCHMIEDE_TESTS)
	cmake --build $(BUILD_DIR) -j $(JOBS) --target unit_tests e2e_tests
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) </dev/null

# Speed of the random draws and of matching, compiling and running rule scripts.
bench:
	@$(PREREQS) bench
	@$(CONFIGURE)
	@$(call HAVE_TARGET,random_bench,SCHMIEDE_BENCH)
	cmake --build $(BUILD_DIR) -j $(JOBS) --target random_bench script_bench
	./$(BUILD_DIR)/bench/random_bench
	./$(BUILD_DIR)/bench/script_bench

# Start from source.mrg versus a rebuild, and the creation rate of the compacted versus
# the allocation-order layout (BENCH_SECONDS per rate run, RUNTIME to compare in).
bench-dump:
	@$(PREREQS) run
	@$(CONFIGURE)
	@$(call HAVE_TARGET,dump_bench,SCHMIEDE_BENCH)
	cmake --build $(BUILD_DIR) -j $(JOBS) --target dump_bench
	./$(BUILD_DIR)/bench/dump_bench $(or $(BENCH_SECONDS),10) $(or $(RUNTIME),3)

# The whole suite once under AddressSanitizer + UndefinedBehaviorSanitizer (out-asan/).
test-asan:
	@$(PREREQS) test
	cmake --preset asan >/dev/null
	cmake --build --preset asan
	ctest --preset asan </dev/null

# The tests that run several threads (a threaded batch and its replay, the 2-thread loop and
# benchmark, thread codes) under ThreadSanitizer (out-tsan/); only the program and the
# end-to-end tests are built.
test-tsan:
	@$(PREREQS) test
	cmake --preset tsan >/dev/null
	cmake --build --preset tsan --target e2e_tests
	@# the preset names its tests: a renamed or merged test must not drop out unnoticed
	@ctest --preset tsan -N | grep -q 'Total Tests: 3$$' || { echo "the tsan preset no longer finds its 3 tests"; exit 1; }
	ctest --preset tsan </dev/null

# Loop on two threads for 100,000 creatures and the consistency check for 10,000; not
# part of make test (SOAK_LOOP / SOAK_CONSISTENCY change the counts).
soak:
	@$(PREREQS) test
	@$(CONFIGURE)
	@$(call HAVE_TARGET,soak_tests,SCHMIEDE_TESTS)
	cmake --build $(BUILD_DIR) -j $(JOBS) --target soak_tests
	./$(BUILD_DIR)/tests/soak_tests

# libFuzzer targets (clang) in out-fuzz/, FUZZ_SECONDS each (default 60); fails on any
# crash, leak or hang.
fuzz:
	FUZZ_SECONDS=$(or $(FUZZ_SECONDS),60) scripts/fuzz.sh

clean:
	rm -rf $(BUILD_DIR)
