#!/usr/bin/env bash
# Tools of the sanitizer, fuzz, valgrind and terminal runs: clang 14 with its runtime libraries
# (libFuzzer, ASan, UBSan, TSan), valgrind and tmux; clang-format for the style check. Installs only what is missing, so a
# machine that has them never touches the network.
set -euo pipefail

missing=()
command -v clang++ >/dev/null 2>&1 || missing+=(clang)
fuzzer_lib=$(ls /usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a 2>/dev/null | head -n1 || true)
[ -n "$fuzzer_lib" ] || missing+=(libclang-rt-14-dev)
command -v valgrind >/dev/null 2>&1 || missing+=(valgrind)
# The end-to-end tests of the viewer on a terminal run it inside tmux.
command -v tmux >/dev/null 2>&1 || missing+=(tmux)
command -v clang-format >/dev/null 2>&1 || missing+=(clang-format)

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-tools: clang, its sanitizer runtimes, valgrind, tmux and clang-format are present"
  exit 0
fi

echo "install-tools: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}" </dev/null
