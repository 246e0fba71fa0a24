#!/usr/bin/env bash
# What the build needs on a Debian machine: g++, cmake and the JSON library always, GoogleTest
# and the JSON Schema validator for the tests (`test`), Google Benchmark for `make bench` (`bench`). Installs with apt-get only what is
# missing (through sudo when not root); when everything is there it prints nothing and
# never touches the network. PREREQS_DRY_RUN=1 only names what it would install.
set -euo pipefail

cxx=${CXX:-g++}
missing=()

# A header the compiler can include and a library it can link decide, as for CMake.
has_header() {
  printf '#include <%s>\n' "$1" | $cxx -std=c++20 -E -x c++ - >/dev/null 2>&1
}
has_library() {
  local name
  for name in "lib$1.a" "lib$1.so"; do
    [ "$($cxx -print-file-name="$name" 2>/dev/null)" != "$name" ] && return 0
  done
  return 1
}

if command -v "${cxx%% *}" >/dev/null 2>&1; then
  compiler=yes
else
  compiler=no
  missing+=(g++)
fi
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
for need in "$@"; do
  case "$need" in
    run)
      if [ $compiler = no ] || ! has_header nlohmann/json.hpp; then
        missing+=(nlohmann-json3-dev)
      fi ;;
    test)
      # Without a compiler the library cannot be looked for: install it with the compiler.
      if [ $compiler = no ] || ! has_header gtest/gtest.h || ! has_library gtest; then
        missing+=(libgtest-dev)
      fi
      # The actor exports are checked against their schema by Debian's Python validator.
      if ! /usr/bin/python3 -c 'import jsonschema' >/dev/null 2>&1; then
        missing+=(python3-jsonschema)
      fi ;;
    bench)
      if [ $compiler = no ] || ! has_header benchmark/benchmark.h || ! has_library benchmark; then
        missing+=(libbenchmark-dev)
      fi ;;
    *) echo "install-prereqs: unknown part '$need' (run, test or bench)" >&2; exit 2 ;;
  esac
done

[ ${#missing[@]} -eq 0 ] && exit 0

if [ "${PREREQS_DRY_RUN:-0}" = 1 ]; then
  echo "install-prereqs: would install ${missing[*]}"
  exit 0
fi
if ! command -v apt-get >/dev/null 2>&1; then
  echo "install-prereqs: missing ${missing[*]} (Debian package names); install them with" \
    "this system's package manager and run make again" >&2
  exit 1
fi
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "install-prereqs: missing ${missing[*]}; as root run:" \
      "apt-get update && apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  sudo="sudo"
fi

echo "install-prereqs: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}" </dev/null
