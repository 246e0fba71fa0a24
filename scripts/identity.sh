#!/usr/bin/env bash
# Writes the exports of 10,000 fixed-seed creatures per rule set (2,000 of each kind)
# into DIR and prints their checksums. A refactoring that must not change behaviour
# compares the checksums before and after: scripts/identity.sh out/bench DIR
set -euo pipefail
bench="${1:?usage: identity.sh BENCH_DIR OUT_DIR [COUNT]}/creation_bench"
dir="${2:?usage: identity.sh BENCH_DIR OUT_DIR [COUNT]}"
count="${3:-2000}"
mkdir -p "$dir"
for rules in 700 701; do
  for kind in char npc monster mixed hoard; do
    BENCH_EXPORT="$dir/$rules-$kind.exp" BENCH_KIND=$kind BENCH_RULES=$rules \
      "$bench" "$count" 1 >/dev/null
  done
done
cd "$dir" && sha256sum -- *.exp
