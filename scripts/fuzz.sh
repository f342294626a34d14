#!/usr/bin/env bash
# Builds the data-file reader's fuzz target with clang into build-fuzz/ and runs it for a fixed number of
# inputs (default 20000, a few seconds), starting from the seed corpus in fuzz/corpus. New inputs it finds
# go to build-fuzz/corpus, never into the seed corpus. Usage: scripts/fuzz.sh [INPUTS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-20000}"
if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ is not installed (scripts/setup.sh installs it)" >&2
  exit 1
fi
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S fuzz -B build-fuzz "${generator[@]}" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-fuzz
mkdir -p build-fuzz/corpus
build-fuzz/DataFile_fuzz -runs="$runs" -max_len=4096 -timeout=10 -print_final_stats=1 \
  build-fuzz/corpus fuzz/corpus
