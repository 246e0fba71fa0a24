#!/usr/bin/env bash
# Builds the libFuzzer targets in out-fuzz/ and runs each for FUZZ_SECONDS on its seed
# corpus (fuzz/corpus/<target>/, never written; new inputs go to out-fuzz/corpus/).
# Fails when any target crashes, leaks, hangs beyond FUZZ_TIMEOUT seconds on one input
# or runs out of memory; the input that did it is kept as out-fuzz/artifacts/<target>-*.
set -euo pipefail
cd "$(dirname "$0")/.."

# Absolute paths: the table target works in a scratch directory of its own.
BUILD_DIR=$PWD/out-fuzz
SECONDS_EACH=${FUZZ_SECONDS:-60}
TIMEOUT=${FUZZ_TIMEOUT:-10}
TARGETS=${FUZZ_TARGETS:-"table grammar script repro dump entry"}

if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Debug -DSCHMIEDE_FUZZ=ON \
    -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fi
cmake --build "$BUILD_DIR" -j "${JOBS:-2}"

mkdir -p "$BUILD_DIR/artifacts"
failed=()
for t in $TARGETS; do
  work="$BUILD_DIR/corpus/$t"
  mkdir -p "$work"
  log="$BUILD_DIR/fuzz_$t.log"
  echo "== fuzz_$t: ${SECONDS_EACH}s"
  if "$BUILD_DIR/fuzz_$t" "$work" "$PWD/fuzz/corpus/$t" -max_total_time="$SECONDS_EACH" \
      -timeout="$TIMEOUT" -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 \
      -artifact_prefix="$BUILD_DIR/artifacts/$t-" </dev/null >"$log" 2>&1; then
    grep -E "^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)" "$log" | tr '\n' ' '
    echo
  else
    echo "fuzz_$t FAILED (log $log):"
    grep -E "ERROR|SUMMARY|Test unit written" "$log" | head -n 20 || tail -n 30 "$log"
    failed+=("$t")
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz targets failed: ${failed[*]}"
  exit 1
fi
echo "all fuzz targets ran clean"
