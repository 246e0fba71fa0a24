# The two commands of the README: `make run` and `make test`.
BUILD_DIR := out
JOBS ?= $(shell nproc)

.PHONY: all build run test bench bench-dump clean fuzz test-asan test-tsan soak

all: build

$(BUILD_DIR)/CMakeCache.txt:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release

build: $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Only runtime 0 can build the rule database from Build/: it writes source.mrg whenever
# the tables or the program are newer than the dump; then the processor's runtime starts
# (or the one ARGS names) and loads the dump.
DATA_FILES := $(shell find Build -type f 2>/dev/null)

run: build
	@$(MAKE) --no-print-directory source.mrg
	./$(BUILD_DIR)/schmiede $(ARGS)

source.mrg: $(BUILD_DIR)/schmiede $(DATA_FILES)
	@echo "Building the rule database (source.mrg), log in $(BUILD_DIR)/rebuild.log ..."
	@printf '300\nq\n' | ./$(BUILD_DIR)/schmiede 0 > $(BUILD_DIR)/rebuild.log 2>&1 || true
	@grep -q "Dumping Source...Done" $(BUILD_DIR)/rebuild.log || { cat $(BUILD_DIR)/rebuild.log; exit 1; }

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# Speed of the random draws and of matching, compiling and running rule scripts.
bench: build
	./$(BUILD_DIR)/bench/random_bench
	./$(BUILD_DIR)/bench/script_bench

# Start from source.mrg versus a rebuild, and the creation rate of the compacted versus
# the allocation-order layout (BENCH_SECONDS per rate run, RUNTIME to compare in).
bench-dump: build
	./$(BUILD_DIR)/bench/dump_bench $(or $(BENCH_SECONDS),10) $(or $(RUNTIME),3)

# The whole suite once under AddressSanitizer + UndefinedBehaviorSanitizer (out-asan/).
test-asan:
	cmake --preset asan >/dev/null
	cmake --build --preset asan
	ctest --preset asan

# The tests that run several threads (a threaded batch and its replay, the 2-thread loop and
# benchmark, thread codes) under ThreadSanitizer (out-tsan/); only the program and the
# end-to-end tests are built.
test-tsan:
	cmake --preset tsan >/dev/null
	cmake --build --preset tsan --target e2e_tests
	ctest --preset tsan

# Loop on two threads for 100,000 creatures and the consistency check for 10,000; not
# part of make test (SOAK_LOOP / SOAK_CONSISTENCY change the counts).
soak: build
	cmake --build $(BUILD_DIR) -j $(JOBS) --target soak_tests
	./$(BUILD_DIR)/tests/soak_tests

# libFuzzer targets (clang) in out-fuzz/, FUZZ_SECONDS each (default 60); fails on any
# crash, leak or hang.
fuzz:
	FUZZ_SECONDS=$(or $(FUZZ_SECONDS),60) scripts/fuzz.sh

clean:
	rm -rf $(BUILD_DIR)
