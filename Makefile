# The two commands of the README: `make run` and `make test`.
BUILD_DIR := out
JOBS ?= $(shell nproc)

.PHONY: all build run test bench clean

all: build

$(BUILD_DIR)/CMakeCache.txt:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release

build: $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Runtime 0 is the one that can rebuild the rule database from Build/, so it starts
# unless ARGS names something else.
run: build
	./$(BUILD_DIR)/schmiede $(or $(ARGS),0)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# Speed of the random draws and of matching, compiling and running rule scripts.
bench: build
	./$(BUILD_DIR)/bench/random_bench
	./$(BUILD_DIR)/bench/script_bench

clean:
	rm -rf $(BUILD_DIR)
