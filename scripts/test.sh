#!/usr/bin/env bash
# Sets up, builds and runs every test, each also under the address and undefined-behaviour sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh -DBREVANT_SANITIZE=ON
ctest --test-dir build --output-on-failure -j2
