#!/usr/bin/env bash
# Builds the program and its whole test suite with the address and undefined-behaviour sanitizers into
# build-sanitize/ and runs the suite there: a read past a buffer, a use after free, a leak, a signed overflow
# or a misaligned load fails the test that caused it. No optimisation and no benchmarks: each file then costs
# about what the normal build pays for it. Run scripts/setup.sh first (scripts/test.sh does).
set -euo pipefail
cd "$(dirname "$0")/.."
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S . -B build-sanitize "${generator[@]}" -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS=-O0 \
  -DBREVANT_SANITIZE=ON -DBREVANT_BENCHMARKS=OFF >/dev/null
cmake --build build-sanitize
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir build-sanitize --output-on-failure -j2
